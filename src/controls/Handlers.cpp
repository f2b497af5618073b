// The five handler families and the one send discipline they all share.
#include "controls/Handlers.h"

#include "controls/ControlMap.h"
#include "host/Network.h"
#include "host/Text.h"
#include "host/Timing.h"
#include "host/Window.h"
#include "osc/ConsoleUnits.h"
#include "osc/OscMessage.h"

#include <array>
#include <cassert>

namespace {

constexpr int kSettleMilliseconds = 50; // the console takes at most one message per 50 ms

} // namespace

void SendAndSettle(ControlSurface& surface, int slot, float value)
{
    assert(slot >= 0 && slot < kSlotsInUse && "a control without a slot sends nothing");
    std::array<std::uint8_t, kOscMessageSize> block{};
    const std::ptrdiff_t length =
        BuildOscMessage(block.data(), surface.addresses[static_cast<std::size_t>(slot)], ",f", value);
    if (length > 0) {
        SendDatagram(surface.link.get(), block.data(), length);
    }
    Pause(kSettleMilliseconds);
}

void SendBare(ControlSurface& surface, std::string_view address)
{
    std::array<std::uint8_t, kOscMessageSize> block{};
    SendDatagram(surface.link.get(), block.data(), BuildOscQuery(block.data(), address));
}

void FaderHandler(ControlSurface& surface, int number)
{
    const Control& fader = ControlAt(number);
    const float value = FromHundredths(static_cast<float>(surface.window.GetControlState(number)));
    const QString readout = IntegerToText(ToHundredths(value));
    SendAndSettle(surface, fader.slot, value);
    surface.window.SetControlText(fader.valueField, readout);
}

void PreampGainHandler(ControlSurface& surface, int field)
{
    // Not clamped: "150" goes out as 1.5, as typed.
    SendAndSettle(surface, ControlAt(field).slot, FromHundredths(ParseFloat(surface.window.GetControlText(field))));
    if (field != FirstWith(ControlRole::PreampGain).number) {
        DrainPendingEvents(surface.window);
    }
}

void MuteHandler(ControlSurface& surface, int checkBox)
{
    // A checked "M" switches the channel off.
    const bool muted = surface.window.GetControlState(checkBox) == 1;
    SendAndSettle(surface, ControlAt(checkBox).slot, muted ? 0.0f : 1.0f);
}

void EnableFollower(HostWindow& window, int linkBox, bool enable)
{
    const Control& fader = ControlAt(ControlAt(linkBox).follower);
    for (const int control : {fader.valueField, fader.caption, fader.number}) {
        window.DisableControl(control, !enable);
    }
}

void LinkHandler(ControlSurface& surface, int checkBox)
{
    const Control& link = ControlAt(checkBox);
    const bool linked = surface.window.GetControlState(checkBox) == 1;
    SendAndSettle(surface, link.slot, linked ? 1.0f : 0.0f);
    surface.window.SetControlState(link.follower, surface.window.GetControlState(link.fader));
    FaderHandler(surface, link.follower);
    EnableFollower(surface.window, checkBox, !linked);
}

void FaderBankHandler(ControlSurface& surface, int checkBox)
{
    const BankRule& rule = kBankRules[static_cast<std::size_t>(ControlAt(checkBox).bankRule)];
    for (const int other : rule.cleared) {
        if (other != 0) {
            surface.window.SetControlState(other, 0);
        }
    }
    const bool checked = surface.window.GetControlState(checkBox) == 1;
    for (std::size_t i = 0; i < rule.slots.size() && rule.slots[i] >= 0; ++i) {
        SendAndSettle(surface, rule.slots[i], checked ? rule.checkedValues[i] : 0.0f);
    }
}

void RunHandler(ControlSurface& surface, int control)
{
    using Handler = void (*)(ControlSurface&, int);
    static constexpr std::pair<ControlRole, Handler> kHandlers[] = {
        {ControlRole::Fader, FaderHandler},         {ControlRole::PreampGain, PreampGainHandler},
        {ControlRole::Mute, MuteHandler},           {ControlRole::Link, LinkHandler},
        {ControlRole::FaderBank, FaderBankHandler},
    };
    const ControlRole role = ControlAt(control).role;
    for (const auto& [handled, handler] : kHandlers) {
        if (handled == role) {
            handler(surface, control);
        }
    }
}
