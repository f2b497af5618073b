// The window's controls: made from the control map, in its order.
#pragma once

class HostWindow;
struct Mixer;

inline constexpr int kWindowWidth = 640;
inline constexpr int kWindowHeight = 600;

// Creates every control in the map's order, which is also the Tab order.
void CreateControls(HostWindow& window);

// Attaches each of the 33 trackbars to its fader handler.
void BindTrackbars(Mixer& mixer);

// Tooltips with what each fader and preamp value means on the console, in dB.
void ShowConsoleUnits(HostWindow& window);
