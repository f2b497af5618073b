// Reset: reconnect from config.ini, initialise the console, and send every control at zero.
#include "scene/ResetAll.h"

#include "host/Window.h"
#include "osc/ControlMap.h"
#include "osc/Handlers.h"
#include "scene/LoadScene.h"
#include "scene/SceneFormat.h"
#include "scene/Snapshot.h"

namespace {

// The faders in file order, pausing for input where Load does.
void ZeroFaders(Mixer& mixer)
{
    int number = 0;
    for (const SceneLine& line : SceneLines()) {
        ++number;
        if (HasRole(line.target, ControlRole::Fader)) {
            mixer.window.SetControlState(line.target, 0);
            FaderHandler(mixer, line.target);
            if (LoadDrainsAfter(number)) {
                DrainPendingEvents(mixer.window);
            }
        }
    }
}

// The console's banks and links were initialised already; the boxes only follow, silently.
void ClearBanksAndLinks(HostWindow& window)
{
    for (const ControlRole role : {ControlRole::FaderBank, ControlRole::Link}) {
        for (const Control& box : ControlsWith(role)) {
            window.SetControlState(box.number, 0);
        }
    }
    DrainPendingEvents(window);
}

void FreeLinkedPairs(HostWindow& window)
{
    for (const Control& link : ControlsWith(ControlRole::Link)) {
        EnableFollower(window, link.number, true);
    }
    DrainPendingEvents(window);
}

void ZeroPreamps(Mixer& mixer)
{
    for (const Control& field : ControlsWith(ControlRole::PreampGain)) {
        mixer.window.SetControlText(field.number, QStringLiteral("0"));
        PreampGainHandler(mixer, field.number);
    }
    DrainPendingEvents(mixer.window);
}

} // namespace

bool ResetAll(Mixer& mixer, const std::function<bool()>& configure)
{
    HostWindow& window = mixer.window;
    KeepSnapshot(window, QStringLiteral("Reset"));
    window.SetBusy(true);
    DrainPendingEvents(window);
    if (!configure()) {
        window.SetBusy(false);
        return false;
    }
    SendAndSettle(mixer, kChannelBankSlot, 0.0f);
    SendAndSettle(mixer, kGroupBankSlot, 0.0f);
    SendAndSettle(mixer, kInitAllSlot, 1.0f);
    DrainPendingEvents(window);
    ZeroFaders(mixer);
    ClearBanksAndLinks(window);
    SwitchAllChannelsOn(mixer);
    DrainPendingEvents(window);
    FreeLinkedPairs(window);
    ZeroPreamps(mixer);
    window.SetBusy(false);
    window.ShowMessage(QStringLiteral("Reset..."), QStringLiteral("Reset"));
    return true;
}
