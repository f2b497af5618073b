// Spoken names from each control's strip: channel 01, the main LR bus, DCA 3, bus 8, preamp 01.
#include "controls/ControlNames.h"

#include <cstdio>

std::string StripName(const Control& control)
{
    char number[16];
    std::snprintf(number, sizeof number, "%02d", control.stripNumber);
    switch (control.strip) {
    case StripKind::Channel:
        return std::string("Channel ") + number;
    case StripKind::MainMix:
        return "Main LR";
    case StripKind::Dca:
        return "DCA " + std::to_string(control.stripNumber);
    case StripKind::Bus:
        return "Bus " + std::to_string(control.stripNumber);
    default: // SpokenName asks only for strips and preamps
        return std::string("Preamp ") + number;
    }
}

std::string SpokenName(const Control& control)
{
    switch (control.role) {
    case ControlRole::StripCaption:
    case ControlRole::PreampCaption:
        return StripName(control) + " label";
    case ControlRole::Fader:
        return StripName(control) + " fader";
    case ControlRole::ValueField:
        return StripName(control) + " level";
    case ControlRole::PreampGain:
        return StripName(control) + " gain";
    case ControlRole::Mute:
        return StripName(control) + " mute";
    case ControlRole::MixerAddress:
        return "Console address";
    default:
        return control.text;
    }
}
