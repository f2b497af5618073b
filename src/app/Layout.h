// The window's controls: made from the control map, in its order.
#pragma once

#include <QString>
#include <map>

class HostWindow;
struct ControlSurface;

inline constexpr int kWindowWidth = 640;
inline constexpr int kWindowHeight = 600;

// Creates every control in the map's order, which is also the Tab order.
void CreateControls(HostWindow& window);

// Attaches each of the 33 faders to its fader handler.
void BindFaders(ControlSurface& surface);

// The strips' names the console gave, by fader number; empty until the console names them.
using StripNames = std::map<int, QString>;

// Tooltips, which are also the controls' descriptions: what each fader and preamp value means on
// the console, in dB, and the strip's name where `names` has one ("Channel 05 fader, Kick").
void ShowDescriptions(HostWindow& window, const StripNames& names);

// Shows a new name of the strip of `fader` in its controls' tooltips.
void RefreshStripDescriptions(HostWindow& window, int fader);
