// What a screen reader says for each control: made from its strip in the control map, drawn nowhere.
#pragma once

#include "controls/ControlMap.h"

#include <string>

// "Channel 01", "Main LR", "DCA 3", "Bus 8", "Preamp 01": the strip or preamp a control belongs to.
std::string StripName(const Control& control);

// "Channel 01 fader", "Main LR level", "Preamp 01 gain", "Channel 03 mute", "DCA 3 label";
// boxes and buttons keep their captions.
std::string SpokenName(const Control& control);
