// Load Scene: initialise the console, un-mute everything, then apply and send the 79 lines.
#include "scene/LoadScene.h"

#include "host/TextFile.h"
#include "host/Window.h"
#include "osc/Handlers.h"
#include "scene/SceneFile.h"

namespace {

constexpr int kMainMute = 204;

// A "0" line sends nothing, but the window must still agree with the control, or the next
// save would write a stale value field or leave a pair's controls disabled.
void FollowZeroLine(HostWindow& window, const SceneLine& line)
{
    if (line.target >= 84 && line.target <= 116) {
        window.SetControlText(line.target + 33, QStringLiteral("0"));
    } else if (line.target >= 72 && line.target <= 79) {
        const int evenTrackbar = 85 + 2 * (line.target - 72);
        for (const int control : {evenTrackbar + 33, evenTrackbar - 83, evenTrackbar}) {
            window.DisableControl(control, false);
        }
    }
}

} // namespace

void LoadScene(Mixer& mixer)
{
    HostWindow& window = mixer.window;
    DrainPendingEvents(window);
    const QString path = window.AskOpenFileName(QStringLiteral("Please choose file name to Load"), QString(),
                                                kScenePatterns, kScenePatternIndex);
    if (!path.isEmpty()) {
        TextFile file;
        if (!OpenFileForReading(file, path)) {
            // Initialising the console from a file that is not there would wipe the mix.
            window.ShowMessage(QStringLiteral("Load..."),
                               QStringLiteral("The scene file could not be opened.\n%1\n%2").arg(path, file.error));
            DrainPendingEvents(window);
            return;
        }
        DrainPendingEvents(window);
        SendAndSettle(mixer, kInitAllSlot, 1.0f);
        DrainPendingEvents(window);

        // Every channel on first, so a "0" mute line needs no message of its own.
        window.SetControlState(kMainMute, 0);
        MuteHandler(mixer, kMainMute);
        for (int box = 188; box <= 203; ++box) {
            window.SetControlState(box, 0);
            MuteHandler(mixer, box);
        }

        const auto& lines = SceneLines();
        for (int n = 1; n <= kSceneLineCount; ++n) {
            const SceneLine& line = lines[n - 1];
            const SceneLineEffect effect = InterpretSceneLine(line, ReadLine(file));
            ApplySceneLine(window, line, effect);
            if (effect.runsHandler) {
                RunHandler(mixer, line.target);
            } else {
                FollowZeroLine(window, line);
            }
            if (n == 16 || n == 25 || n == 33 || n == 49) {
                DrainPendingEvents(window);
            }
        }
        CloseFile(file);
    }
    window.ShowMessage(QStringLiteral("Load..."), path);
    DrainPendingEvents(window);
}
