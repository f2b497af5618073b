// Reset: reconnect from config.ini, initialise the console, and send every control at zero.
#include "scene/ResetAll.h"

#include "host/Window.h"
#include "osc/Handlers.h"

namespace {

void ZeroFaders(Mixer& mixer, int first, int last)
{
    for (int trackbar = first; trackbar <= last; ++trackbar) {
        mixer.window.SetControlState(trackbar, 0);
        FaderHandler(mixer, trackbar);
    }
    DrainPendingEvents(mixer.window);
}

} // namespace

bool ResetAll(Mixer& mixer, const std::function<bool()>& configure)
{
    HostWindow& window = mixer.window;
    if (!configure()) {
        return false;
    }
    SendAndSettle(mixer, kChannelBankSlot, 0.0f);
    SendAndSettle(mixer, kGroupBankSlot, 0.0f);
    SendAndSettle(mixer, kInitAllSlot, 1.0f);
    DrainPendingEvents(window);

    ZeroFaders(mixer, 84, 99);   // channels 01 to 16
    ZeroFaders(mixer, 100, 108); // LR, then DCA 1 to 8
    ZeroFaders(mixer, 109, 116); // buses 1 to 8

    // The console's banks and links were initialised above; the boxes only follow, silently.
    for (int box = 67; box <= 79; ++box) {
        window.SetControlState(box, 0);
    }
    DrainPendingEvents(window);

    for (const int box : {204, 188, 189, 190, 191, 192, 193, 194, 195, 196, 197, 198, 199, 200, 201, 202, 203}) {
        window.SetControlState(box, 0);
        MuteHandler(mixer, box);
    }
    DrainPendingEvents(window);

    for (int channel = 0; channel < 16; ++channel) {
        for (const int control : {117 + channel, 1 + channel, 84 + channel}) {
            window.DisableControl(control, false);
        }
    }
    DrainPendingEvents(window);

    for (int field = 156; field <= 186; field += 2) {
        window.SetControlText(field, QStringLiteral("0"));
        PreampGainHandler(mixer, field);
    }
    DrainPendingEvents(window);

    window.ShowMessage(QStringLiteral("Reset..."), QStringLiteral("Reset"));
    return true;
}
