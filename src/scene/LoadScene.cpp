// Load Scene: initialise the console, un-mute everything, then apply and send the 79 lines.
#include "scene/LoadScene.h"

#include "host/TextFile.h"
#include "host/Window.h"
#include "osc/ControlMap.h"
#include "osc/Handlers.h"
#include "scene/SceneFormat.h"
#include "scene/Snapshot.h"

namespace {

void ApplySceneLine(Mixer& mixer, const SceneLine& line, const SceneLineEffect& effect)
{
    HostWindow& window = mixer.window;
    if (effect.setsText) {
        window.SetControlText(line.target, effect.text);
    } else {
        window.SetControlState(line.target, effect.state);
    }
    if (effect.runsHandler) {
        RunHandler(mixer, line.target);
        return;
    }
    // Nothing is sent, but the window must still agree with the control, or the next save would
    // write a stale value field or leave a pair's controls disabled.
    if (effect.zeroLevelField != 0) {
        window.SetControlText(effect.zeroLevelField, QStringLiteral("0"));
    }
    if (effect.freedLink != 0) {
        EnableFollower(window, effect.freedLink, true);
    }
}

} // namespace

void SwitchAllChannelsOn(Mixer& mixer)
{
    // The main bus first, then the channels in order.
    const int mainMute = FindOnStrip(ControlRole::Mute, StripKind::Main, 0)->number;
    mixer.window.SetControlState(mainMute, 0);
    MuteHandler(mixer, mainMute);
    for (const Control& box : ControlsWith(ControlRole::Mute)) {
        if (box.number != mainMute) {
            mixer.window.SetControlState(box.number, 0);
            MuteHandler(mixer, box.number);
        }
    }
}

void LoadScene(Mixer& mixer)
{
    HostWindow& window = mixer.window;
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
        SendAndSettle(mixer, kInitAllSlot, 1.0f);
        DrainPendingEvents(window);
        // Every channel on first, so a "0" mute line needs no message of its own.
        SwitchAllChannelsOn(mixer);

        int number = 0;
        for (const SceneLine& line : SceneLines()) {
            ApplySceneLine(mixer, line, InterpretSceneLine(line, ReadLine(file)));
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
