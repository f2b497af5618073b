// Reset: reconnect from config.ini, initialise the console, and send every control at zero.
#include "scene/ResetAll.h"

#include "controls/ControlMap.h"
#include "controls/Handlers.h"
#include "host/Window.h"
#include "scene/LoadScene.h"
#include "scene/SceneFormat.h"
#include "scene/Snapshot.h"

namespace {

// The faders in file order, pausing for input where Load does.
void ZeroFaders(ControlSurface& surface)
{
    int number = 0;
    for (const SceneLine& line : SceneLines()) {
        ++number;
        if (HasRole(line.target, ControlRole::Fader)) {
            surface.window.SetControlState(line.target, 0);
            FaderHandler(surface, line.target);
            if (LoadDrainsAfter(number)) {
                DrainPendingEvents(surface.window);
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

void ZeroPreamps(ControlSurface& surface)
{
    for (const Control& field : ControlsWith(ControlRole::PreampGain)) {
        surface.window.SetControlText(field.number, QStringLiteral("0"));
        PreampGainHandler(surface, field.number);
    }
    DrainPendingEvents(surface.window);
}

} // namespace

bool ResetAll(ControlSurface& surface, const std::function<bool()>& configure)
{
    HostWindow& window = surface.window;
    KeepSnapshot(window, QStringLiteral("Reset"));
    window.SetBusy(true);
    DrainPendingEvents(window);
    if (!configure()) {
        window.SetBusy(false);
        return false;
    }
    SendAndSettle(surface, kChannelBankSlot, 0.0f);
    SendAndSettle(surface, kGroupBankSlot, 0.0f);
    SendAndSettle(surface, kInitAllSlot, 1.0f);
    DrainPendingEvents(window);
    ZeroFaders(surface);
    ClearBanksAndLinks(window);
    SwitchAllChannelsOn(surface);
    DrainPendingEvents(window);
    FreeLinkedPairs(window);
    ZeroPreamps(surface);
    window.SetBusy(false);
    window.ShowMessage(QStringLiteral("Reset..."), QStringLiteral("Reset"));
    return true;
}
