// Control events by number, the Return key, Edit Config.ini and Updates.
#include "app/Dispatch.h"

#include "app/Configuration.h"
#include "app/Program.h"
#include "host/Process.h"
#include "host/Text.h"
#include "scene/LoadScene.h"
#include "scene/ResetAll.h"
#include "scene/SaveScene.h"

namespace {

constexpr int kLoadSceneButton = 80;
constexpr int kSaveSceneButton = 81;
constexpr int kResetButton = 82;
constexpr int kUpdatesButton = 83;
constexpr int kEditConfigButton = 150;

const QString kUpdatesPage = QStringLiteral("https://github.com/quillon-mixer/quillon/releases");

bool IsStripValueField(int control)
{
    return control >= 117 && control <= 149;
}

bool IsPreampField(int control)
{
    return control >= 156 && control <= 186 && control % 2 == 0;
}

void ArmReturnKey(Program& program)
{
    if (program.shell.returnKeyArmed == 0) {
        program.window.AddKeyShortcut(kReturnKey, kReturnShortcut);
        program.shell.returnKeyArmed = 1;
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

} // namespace

void DispatchControlEvent(Program& program)
{
    const int control = program.shell.currentControl;
    switch (control) {
    case kEditConfigButton:
        EditConfig(program);
        return;
    case kUpdatesButton:
        Updates(program);
        return;
    case kResetButton:
        DrainPendingEvents(program.window);
        if (!ResetAll(program.mixer, [&program] { return LoadConfiguration(program); })) {
            program.shell.quit = 1;
        }
        return;
    case kSaveSceneButton:
        SaveScene(program.mixer);
        return;
    case kLoadSceneButton:
        LoadScene(program.mixer);
        return;
    default:
        break;
    }
    if (IsStripValueField(control) || IsPreampField(control)) {
        ArmReturnKey(program);
    } else if ((control >= 67 && control <= 79) || (control >= 188 && control <= 204)) {
        RunHandler(program.mixer, control);
    }
}

void ReturnKeyPath(Program& program)
{
    if (program.shell.returnKeyArmed != 1) {
        return;
    }
    HostWindow& window = program.window;
    const int focused = window.FocusedControl();
    if (IsStripValueField(focused)) {
        // The trackbar clamps to 0..100; its handler then sends it and rewrites the field.
        program.shell.typedValue = ParseInteger(window.GetControlText(focused));
        window.SetControlState(focused - 33, program.shell.typedValue);
        FaderHandler(program.mixer, focused - 33);
    } else if (IsPreampField(focused)) {
        PreampGainHandler(program.mixer, focused);
    }
}
