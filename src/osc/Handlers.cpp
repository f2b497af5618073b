// The five handler families and the one send discipline they all share.
#include "osc/Handlers.h"

#include "host/Blocks.h"
#include "host/Network.h"
#include "host/Text.h"
#include "host/Timing.h"
#include "host/Window.h"
#include "osc/OscMessage.h"

#include <cmath>

namespace {

constexpr int kSettleMilliseconds = 50; // the console takes at most one message per 50 ms

constexpr int kFirstTrackbar = 84; // trackbar t drives slot t - 84
constexpr int kLastTrackbar = 116;
constexpr int kValueFieldOffset = 33;  // value field of trackbar t is t + 33
constexpr int kFirstPreampField = 156; // preamp fields 156, 158, ... 186
constexpr int kFirstPreampSlot = 44;
constexpr int kFirstLinkBox = 72; // "Link 01-02" to "Link 15-16": 72 to 79
constexpr int kFirstLinkSlot = 35;
constexpr int kFirstMuteBox = 188; // "M" of channels 1 to 16, then 204 for "LR"
constexpr int kFirstMuteSlot = 60;

struct BankRule {
    int checkBox;
    std::array<int, 4> cleared; // 0 ends the list
    int slots[2];               // 0 ends the list
    float checkedValues[2];
};

// What each fader-bank box clears first and what it sends, in order.
constexpr std::array<BankRule, 5> kBankRules{{
    {67, {68, 69, 0, 0}, {kChannelBankSlot, 0}, {0.1f, 0.0f}},
    {68, {67, 69, 0, 0}, {kChannelBankSlot, 0}, {0.2f, 0.0f}},
    {69, {68, 67, 70, 71}, {kChannelBankSlot, kGroupBankSlot}, {0.01f, 0.6f}},
    {70, {71, 69, 0, 0}, {kGroupBankSlot, 0}, {0.1f, 0.0f}},
    {71, {69, 70, 0, 0}, {kGroupBankSlot, 0}, {0.2f, 0.0f}},
}};

constexpr std::array<HandlerBinding, kHandlerCount> MakeBindings()
{
    std::array<HandlerBinding, kHandlerCount> bindings{};
    std::size_t next = 0;
    for (const BankRule& rule : kBankRules) {
        bindings[next++] = {rule.checkBox, HandlerFamily::FaderBank, rule.slots[0]};
    }
    for (int pair = 0; pair < 8; ++pair) {
        bindings[next++] = {kFirstLinkBox + pair, HandlerFamily::Link, kFirstLinkSlot + pair};
    }
    for (int trackbar = kFirstTrackbar; trackbar <= kLastTrackbar; ++trackbar) {
        bindings[next++] = {trackbar, HandlerFamily::Fader, trackbar - kFirstTrackbar};
    }
    for (int input = 0; input < 16; ++input) {
        bindings[next++] = {kFirstPreampField + 2 * input, HandlerFamily::PreampGain, kFirstPreampSlot + input};
    }
    for (int channel = 0; channel < 17; ++channel) {
        bindings[next++] = {kFirstMuteBox + channel, HandlerFamily::Mute, kFirstMuteSlot + channel};
    }
    return bindings;
}

constexpr std::array<HandlerBinding, kHandlerCount> kBindings = MakeBindings();

const HandlerBinding* FindBinding(int control)
{
    for (const HandlerBinding& binding : kBindings) {
        if (binding.control == control) {
            return &binding;
        }
    }
    return nullptr;
}

} // namespace

const std::array<HandlerBinding, kHandlerCount>& HandlerBindings()
{
    return kBindings;
}

void SendAndSettle(Mixer& mixer, int slot, float value)
{
    SlotState& slots = mixer.slots;
    slots.currentSlot = slot;
    std::uint8_t* block = AllocateZeroed(kOscMessageSize);
    slots.messageBuffer[slot] = block;
    slots.messageLength[slot] = BuildOscMessage(block, slots.addressTable[slot], ",f", value);
    if (slots.messageLength[slot] > 0) {
        SendDatagram(mixer.link, block, slots.messageLength[slot]);
    }
    Pause(kSettleMilliseconds);
    FreeBlock(block);
    slots.messageBuffer[slot] = nullptr;
}

void FaderHandler(Mixer& mixer, int trackbar)
{
    SlotState& slots = mixer.slots;
    const std::int64_t position = mixer.window.GetControlState(trackbar);
    slots.currentValue = static_cast<float>(position) / 100.0f;
    const QString readout = IntegerToText(std::llround(static_cast<double>(slots.currentValue) * 100.0));
    SendAndSettle(mixer, trackbar - kFirstTrackbar, slots.currentValue);
    mixer.window.SetControlText(trackbar + kValueFieldOffset, readout);
}

void PreampGainHandler(Mixer& mixer, int valueField)
{
    SlotState& slots = mixer.slots;
    // Not clamped: "150" goes out as 1.5, as typed.
    slots.currentValue = ParseFloat(mixer.window.GetControlText(valueField)) / 100.0f;
    SendAndSettle(mixer, kFirstPreampSlot + (valueField - kFirstPreampField) / 2, slots.currentValue);
    if (valueField != kFirstPreampField) {
        DrainPendingEvents(mixer.window);
    }
}

void MuteHandler(Mixer& mixer, int checkBox)
{
    mixer.slots.controlState = mixer.window.GetControlState(checkBox);
    // A checked "M" switches the channel off.
    SendAndSettle(mixer, kFirstMuteSlot + (checkBox - kFirstMuteBox), mixer.slots.controlState == 1 ? 0.0f : 1.0f);
}

void LinkHandler(Mixer& mixer, int checkBox)
{
    const int pair = checkBox - kFirstLinkBox;
    const int oddTrackbar = kFirstTrackbar + 2 * pair;
    const int evenTrackbar = oddTrackbar + 1;
    mixer.slots.controlState = mixer.window.GetControlState(checkBox);
    const bool linked = mixer.slots.controlState == 1;
    SendAndSettle(mixer, kFirstLinkSlot + pair, linked ? 1.0f : 0.0f);
    mixer.window.SetControlState(evenTrackbar, mixer.window.GetControlState(oddTrackbar));
    FaderHandler(mixer, evenTrackbar);
    // The even channel follows the odd one while linked: its value field, label and trackbar.
    for (const int control : {evenTrackbar + kValueFieldOffset, evenTrackbar - 83, evenTrackbar}) {
        mixer.window.DisableControl(control, linked);
    }
}

void FaderBankHandler(Mixer& mixer, int checkBox)
{
    for (const BankRule& rule : kBankRules) {
        if (rule.checkBox != checkBox) {
            continue;
        }
        for (const int other : rule.cleared) {
            if (other != 0) {
                mixer.window.SetControlState(other, 0);
            }
        }
        mixer.slots.controlState = mixer.window.GetControlState(checkBox);
        for (int i = 0; i < 2 && rule.slots[i] != 0; ++i) {
            SendAndSettle(mixer, rule.slots[i], mixer.slots.controlState == 1 ? rule.checkedValues[i] : 0.0f);
        }
    }
}

bool RunHandler(Mixer& mixer, int control)
{
    const HandlerBinding* binding = FindBinding(control);
    if (!binding) {
        return false;
    }
    switch (binding->family) {
    case HandlerFamily::Fader:
        FaderHandler(mixer, control);
        break;
    case HandlerFamily::PreampGain:
        PreampGainHandler(mixer, control);
        break;
    case HandlerFamily::Mute:
        MuteHandler(mixer, control);
        break;
    case HandlerFamily::Link:
        LinkHandler(mixer, control);
        break;
    case HandlerFamily::FaderBank:
        FaderBankHandler(mixer, control);
        break;
    }
    return true;
}
