// Control events by the control's role, the Return key, Edit Config.ini and Updates.
#include "app/Dispatch.h"

#include "app/Configuration.h"
#include "app/Follow.h"
#include "app/Program.h"
#include "controls/ControlMap.h"
#include "host/Process.h"
#include "host/Text.h"
#include "scene/LoadScene.h"
#include "scene/ResetAll.h"
#include "scene/SaveScene.h"

namespace {

const QString kUpdatesPage = QStringLiteral("https://github.com/quillon-mixer/quillon/releases");

void ArmReturnKey(Program& program)
{
    if (!program.shell.returnKeyArmed) {
        program.window.ArmReturnKey();
        program.shell.returnKeyArmed = true;
    }
}

void EditConfig(Program& program)
{
    // The desktop's opener picks the user's text editor; it runs on its own.
    const QString opener = QStringLiteral("xdg-open");
    RunProgram(opener, QStringLiteral("config.ini"), DirectoryPart(opener));
    DrainPendingEvents(program.window);
}

void Updates(Program& program)
{
    OpenWebPage(kUpdatesPage);
    DrainPendingEvents(program.window);
}

// Load, Save and Reset, with the console's changes held back while they run.
void SceneCommand(Program& program, ControlRole role)
{
    const HoldChanges held(program, role == ControlRole::SaveScene ? HoldChanges::After::ShowHeld
                                                                   : HoldChanges::After::ReadAgain);
    if (role == ControlRole::LoadScene) {
        LoadScene(program.surface);
    } else if (role == ControlRole::SaveScene) {
        SaveScene(program.surface);
    } else if (!ResetAll(program.surface, [&program] { return LoadConfiguration(program); })) {
        program.shell.quit = true;
    }
}

} // namespace

void DispatchControlEvent(Program& program, int control)
{
    const Control* found = FindControl(control);
    if (found == nullptr) {
        return;
    }
    switch (found->role) {
    case ControlRole::EditConfig:
        EditConfig(program);
        break;
    case ControlRole::Updates:
        Updates(program);
        break;
    case ControlRole::Reset:
    case ControlRole::SaveScene:
    case ControlRole::LoadScene:
        SceneCommand(program, found->role);
        break;
    case ControlRole::ValueField:
    case ControlRole::PreampGain:
        ArmReturnKey(program);
        break;
    case ControlRole::Mute:
    case ControlRole::Link:
    case ControlRole::FaderBank:
        RunHandler(program.surface, control);
        break;
    default:
        break; // faders ran their handler as they moved; captions and the address field do nothing
    }
}

void ReturnKeyPath(Program& program)
{
    if (!program.shell.returnKeyArmed) {
        return;
    }
    HostWindow& window = program.window;
    const Control* focused = FindControl(window.FocusedControl());
    if (focused == nullptr) {
        return;
    }
    if (focused->role == ControlRole::ValueField) {
        // The fader clamps to 0..100; its handler then sends it and rewrites the field.
        window.SetControlState(focused->fader, ParseInteger(window.GetControlText(focused->number)));
        FaderHandler(program.surface, focused->fader);
    } else if (focused->role == ControlRole::PreampGain) {
        window.TakeTypedText(focused->number);
        PreampGainHandler(program.surface, focused->number);
    }
}
