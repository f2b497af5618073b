// The control handlers: each reads its control when it runs and sends what it means to the mixer.
#pragma once

#include "osc/AddressTable.h"

class HostWindow;
struct Connection;

// What every handler needs: the window to read and set controls, the slots, and the link.
struct Mixer {
    HostWindow& window;
    SlotState slots;
    Connection* link = nullptr; // MixerLink; null when it could not be opened
};

enum class HandlerFamily { Fader, PreampGain, Mute, Link, FaderBank };

struct HandlerBinding {
    int control;
    HandlerFamily family;
    int slot; // the first slot it sends to
};

inline constexpr int kHandlerCount = 79;

// Every handler-driven control with its family and slot, in control-number order.
const std::array<HandlerBinding, kHandlerCount>& HandlerBindings();

// Sends one message: builds it in a fresh block, sends it over the link, pauses 50 ms, releases.
void SendAndSettle(Mixer& mixer, int slot, float value);

// Runs the handler of `control`; false (and nothing done) when the control has none.
bool RunHandler(Mixer& mixer, int control);

// The families, for the controls of HandlerBindings().
void FaderHandler(Mixer& mixer, int trackbar);
void PreampGainHandler(Mixer& mixer, int valueField);
void MuteHandler(Mixer& mixer, int checkBox);
void LinkHandler(Mixer& mixer, int checkBox);
void FaderBankHandler(Mixer& mixer, int checkBox);
