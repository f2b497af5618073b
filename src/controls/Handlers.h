// The control handlers: each reads its control when it runs and sends what it means to the surface.
#pragma once

#include "controls/AddressTable.h"
#include "host/Network.h"

#include <memory>
#include <string_view>

class HostWindow;

// The window's controls and where they send: what every handler needs.
struct ControlSurface {
    HostWindow& window;
    AddressTable addresses;
    std::unique_ptr<Connection> link; // to the console; null when it could not be opened
};

// Sends one message: builds it in a block of its own, sends it over the link, pauses 50 ms.
void SendAndSettle(ControlSurface& surface, int slot, float value);

// Sends a message without arguments (the address and the type tag ","): a question the console
// answers with its value, "/xinfo", or the "/xremote" subscription. No pause, as it changes nothing.
void SendBare(ControlSurface& surface, std::string_view address);

// Runs the handler of `control`'s role; nothing for a role without one.
void RunHandler(ControlSurface& surface, int control);

// The five families; each takes a control of its role.
void FaderHandler(ControlSurface& surface, int fader);
void PreampGainHandler(ControlSurface& surface, int field);
void MuteHandler(ControlSurface& surface, int checkBox);
void LinkHandler(ControlSurface& surface, int checkBox);
void FaderBankHandler(ControlSurface& surface, int checkBox);

// Enables or disables what follows a link: the even channel's fader, value field and caption.
void EnableFollower(HostWindow& window, int linkBox, bool enable);
