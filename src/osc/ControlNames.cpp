// Spoken names from the strip captions: "01" is channel 01, "LR" the main bus, "D3" DCA 3,
// "B8" bus 8, "P01" preamp 01.
#include "osc/ControlNames.h"

namespace {

std::string StripName(const Control& label)
{
    const std::string caption = label.text;
    switch (caption.front()) {
    case 'L':
        return "Main " + caption;
    case 'D':
        return "DCA " + caption.substr(1);
    case 'B':
        return "Bus " + caption.substr(1);
    case 'P':
        return "Preamp " + caption.substr(1);
    default:
        return "Channel " + caption;
    }
}

} // namespace

std::string SpokenName(const Control& control)
{
    switch (control.role) {
    case ControlRole::StripLabel:
    case ControlRole::PreampLabel:
        return StripName(control) + " label";
    case ControlRole::Fader:
        return StripName(ControlAt(control.label)) + " fader";
    case ControlRole::FaderLevel:
        return StripName(ControlAt(control.label)) + " level";
    case ControlRole::PreampGain:
        return StripName(ControlAt(control.label)) + " gain";
    case ControlRole::Mute:
        return StripName(ControlAt(control.label)) + " mute";
    case ControlRole::MixerAddress:
        return "Console address";
    default:
        return control.text;
    }
}
