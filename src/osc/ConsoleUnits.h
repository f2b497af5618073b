// What the float argument of a fader or preamp message means: the window's hundredths, and the
// console's dB as text.
#pragma once

#include <cstdint>
#include <string>

// The window shows the console's 0.0 to 1.0 in hundredths: fader positions 0 to 100, the numbers
// in the value fields and the typed preamp gains. Hundredths / 100, as the nearest float; not clamped.
float FromHundredths(float hundredths);

// The nearest whole hundredth of a value: what a value field shows for it. Values too large for
// 64 bits saturate; NaN gives 0.
std::int64_t ToHundredths(float value);

// Fader level 0.0 to 1.0 in dB along the console's four linear pieces: 0.75 is 0 dB, 1.0 is +10 dB,
// 0.5 is -10 dB, 0.25 is -30 dB, 0.0625 is -60 dB; 0.0 and below are -infinity; NaN stays NaN.
// Levels above 1.0 follow the top piece on; the console itself stops at 1.0 (see InConsoleRange).
double FaderLevelToDb(float level);

// Preamp gain 0.0 to 1.0, linear from -12 dB to +60 dB; not clamped, so 1.5 gives +96 dB.
double PreampGainToDb(float gain);

// Whether a fader level or preamp gain lies in the 0.0 to 1.0 that the console accepts.
bool InConsoleRange(float value);

// "-inf dB", "0.0 dB", "-10.0 dB", "+10.0 dB": one decimal, a plus sign above zero, never "-0.0";
// independent of the C and Qt locales. NaN gives "nan dB".
std::string FormatDb(double db);

// FormatDb of the fader's dB value.
std::string FormatFaderLevel(float level);

// FormatDb of the preamp gain, with ", above the console's +60 dB" or ", below the console's -12 dB"
// appended when the value lies outside 0.0 to 1.0.
std::string FormatPreampGain(float gain);
