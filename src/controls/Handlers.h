// The control handlers: each reads its control when it runs and sends what it means to the mixer.
#pragma once

#include "controls/AddressTable.h"

class HostWindow;
struct Connection;

// What every handler needs: the window to read and set controls, the addresses, and the link.
struct Mixer {
    HostWindow& window;
    AddressTable addresses;
    Connection* link = nullptr; // MixerLink; null when it could not be opened
};

// Sends one message: builds it in a fresh block, sends it over the link, pauses 50 ms, releases.
void SendAndSettle(Mixer& mixer, int slot, float value);

// Runs the handler of `control`'s role; nothing for a role without one.
void RunHandler(Mixer& mixer, int control);

// The five families; each takes a control of its role.
void FaderHandler(Mixer& mixer, int trackbar);
void PreampGainHandler(Mixer& mixer, int field);
void MuteHandler(Mixer& mixer, int checkBox);
void LinkHandler(Mixer& mixer, int checkBox);
void FaderBankHandler(Mixer& mixer, int checkBox);

// Enables or disables what follows a link: the even channel's fader, level field and label.
void EnableFollower(HostWindow& window, int linkBox, bool enable);
