// Load Scene: initialise the console, un-mute everything, then apply and send the 79 lines.
#include "scene/LoadScene.h"

#include "controls/ControlMap.h"
#include "controls/Handlers.h"
#include "host/TextFile.h"
#include "host/Window.h"
#include "scene/SceneFormat.h"
#include "scene/Snapshot.h"

namespace {

void ApplySceneLine(ControlSurface& surface, const SceneLine& line, const SceneLineEffect& effect)
{
    HostWindow& window = surface.window;
    if (effect.setsText) {
        window.SetControlText(line.target, effect.text);
    } else {
        window.SetControlState(line.target, effect.state);
    }
    if (effect.runsHandler) {
        RunHandler(surface, line.target);
        return;
    }
    // Nothing is sent, but the window must still agree with the control, or the next save would
    // write a stale value field or leave a pair's controls disabled.
    if (effect.zeroValueField != 0) {
        window.SetControlText(effect.zeroValueField, QStringLiteral("0"));
    }
    if (effect.freedLink != 0) {
        EnableFollower(window, effect.freedLink, true);
    }
}

} // namespace

void SwitchAllChannelsOn(ControlSurface& surface)
{
    // The main mix first, then the channels in order.
    const int mainMute = FindOnStrip(ControlRole::Mute, StripKind::MainMix, 0)->number;
    surface.window.SetControlState(mainMute, 0);
    MuteHandler(surface, mainMute);
    for (const Control& box : ControlsWith(ControlRole::Mute)) {
        if (box.number != mainMute) {
            surface.window.SetControlState(box.number, 0);
            MuteHandler(surface, box.number);
        }
    }
}

void LoadScene(ControlSurface& surface)
{
    HostWindow& window = surface.window;
    DrainPendingEvents(window);
    const QString path = window.AskOpenFileName(QStringLiteral("Please choose file name to Load"), kScenePatterns);
    if (!path.isEmpty()) {
        TextFile file;
        if (!OpenFileForReading(file, path)) {
            // Initialising the console from a file that is not there would wipe the mix.
            window.ShowMessage(QStringLiteral("Load..."),
                               QStringLiteral("The scene file could not be opened.\n%1\n%2").arg(path, file.error));
            DrainPendingEvents(window);
            return;
        }
        KeepSnapshot(window, QStringLiteral("Load")); // the mix this file is about to replace
        window.SetBusy(true);
        DrainPendingEvents(window);
        SendAndSettle(surface, kInitAllSlot, 1.0f);
        DrainPendingEvents(window);
        // Every channel on first, so a "0" mute line needs no message of its own.
        SwitchAllChannelsOn(surface);

        int number = 0;
        for (const SceneLine& line : SceneLines()) {
            ApplySceneLine(surface, line, InterpretSceneLine(line, ReadLine(file)));
            if (LoadDrainsAfter(++number)) {
                DrainPendingEvents(window);
            }
        }
        CloseFile(file);
    }
    window.SetBusy(false);
    window.ShowMessage(QStringLiteral("Load..."), path);
    DrainPendingEvents(window);
}
