// The window's controls: numbers, kinds, places, captions, and the order they are made in.
#pragma once

class HostWindow;
struct Mixer;

inline constexpr int kWindowWidth = 640;
inline constexpr int kWindowHeight = 600;

// Creates every control in creation order, which is also the Tab order.
void CreateControls(HostWindow& window);

// Attaches each of the 33 trackbars to its fader handler.
void BindTrackbars(Mixer& mixer);

// Tooltips with what each fader and preamp value means on the console, in dB.
void ShowConsoleUnits(HostWindow& window);
