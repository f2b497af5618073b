// The five handler families and the one send discipline they all share.
#include "controls/Handlers.h"

#include "host/Blocks.h"
#include "host/Network.h"
#include "host/Text.h"
#include "host/Timing.h"
#include "host/Window.h"
#include "osc/ConsoleUnits.h"
#include "controls/ControlMap.h"
#include "osc/OscMessage.h"

#include <cassert>

namespace {

constexpr int kSettleMilliseconds = 50; // the console takes at most one message per 50 ms

} // namespace

void SendAndSettle(Mixer& mixer, int slot, float value)
{
    assert(slot >= 0 && slot < kSlotsInUse && "a control without a slot sends nothing");
    std::uint8_t* block = AllocateZeroed(kOscMessageSize);
    const std::ptrdiff_t length = BuildOscMessage(block, mixer.addresses[static_cast<std::size_t>(slot)], ",f", value);
    if (length > 0) {
        SendDatagram(mixer.link, block, length);
    }
    Pause(kSettleMilliseconds);
    FreeBlock(block);
}

void FaderHandler(Mixer& mixer, int trackbar)
{
    const Control& fader = ControlAt(trackbar);
    const float value = FromHundredths(static_cast<float>(mixer.window.GetControlState(trackbar)));
    const QString readout = IntegerToText(ToHundredths(value));
    SendAndSettle(mixer, fader.slot, value);
    mixer.window.SetControlText(fader.valueField, readout);
}

void PreampGainHandler(Mixer& mixer, int field)
{
    // Not clamped: "150" goes out as 1.5, as typed.
    SendAndSettle(mixer, ControlAt(field).slot, FromHundredths(ParseFloat(mixer.window.GetControlText(field))));
    if (field != FirstWith(ControlRole::PreampGain).number) {
        DrainPendingEvents(mixer.window);
    }
}

void MuteHandler(Mixer& mixer, int checkBox)
{
    // A checked "M" switches the channel off.
    const bool muted = mixer.window.GetControlState(checkBox) == 1;
    SendAndSettle(mixer, ControlAt(checkBox).slot, muted ? 0.0f : 1.0f);
}

void EnableFollower(HostWindow& window, int linkBox, bool enable)
{
    const Control& fader = ControlAt(ControlAt(linkBox).follower);
    for (const int control : {fader.valueField, fader.label, fader.number}) {
        window.DisableControl(control, !enable);
    }
}

void LinkHandler(Mixer& mixer, int checkBox)
{
    const Control& link = ControlAt(checkBox);
    const bool linked = mixer.window.GetControlState(checkBox) == 1;
    SendAndSettle(mixer, link.slot, linked ? 1.0f : 0.0f);
    mixer.window.SetControlState(link.follower, mixer.window.GetControlState(link.trackbar));
    FaderHandler(mixer, link.follower);
    EnableFollower(mixer.window, checkBox, !linked);
}

void FaderBankHandler(Mixer& mixer, int checkBox)
{
    const BankRule& rule = kBankRules[static_cast<std::size_t>(ControlAt(checkBox).bankRule)];
    for (const int other : rule.cleared) {
        if (other != 0) {
            mixer.window.SetControlState(other, 0);
        }
    }
    const bool checked = mixer.window.GetControlState(checkBox) == 1;
    for (std::size_t i = 0; i < rule.slots.size() && rule.slots[i] >= 0; ++i) {
        SendAndSettle(mixer, rule.slots[i], checked ? rule.checkedValues[i] : 0.0f);
    }
}

void RunHandler(Mixer& mixer, int control)
{
    using Handler = void (*)(Mixer&, int);
    static constexpr std::pair<ControlRole, Handler> kHandlers[] = {
        {ControlRole::Fader, FaderHandler},         {ControlRole::PreampGain, PreampGainHandler},
        {ControlRole::Mute, MuteHandler},           {ControlRole::Link, LinkHandler},
        {ControlRole::FaderBank, FaderBankHandler},
    };
    const ControlRole role = ControlAt(control).role;
    for (const auto& [handled, handler] : kHandlers) {
        if (handled == role) {
            handler(mixer, control);
        }
    }
}
