// The window's hundredths, the console's fader and preamp laws, and their text.
#include "osc/ConsoleUnits.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

float FromHundredths(float hundredths)
{
    return hundredths / 100.0f;
}

std::int64_t ToHundredths(float value)
{
    if (std::isnan(value)) {
        return 0;
    }
    // llround is undefined past 64 bits; 2^62 is far past any position and still fits.
    constexpr double kLimit = 4611686018427387904.0;
    return std::llround(std::clamp(static_cast<double>(value) * 100.0, -kLimit, kLimit));
}

double FaderLevelToDb(float level)
{
    const double f = level;
    if (std::isnan(f)) {
        return f;
    }
    // Four straight pieces that meet at -10, -30 and -60 dB, so the law is continuous.
    if (f >= 0.5) {
        return 40.0 * f - 30.0;
    }
    if (f >= 0.25) {
        return 80.0 * f - 50.0;
    }
    if (f >= 0.0625) {
        return 160.0 * f - 70.0;
    }
    if (f > 0.0) {
        return 480.0 * f - 90.0;
    }
    return -std::numeric_limits<double>::infinity();
}

double PreampGainToDb(float gain)
{
    return -12.0 + 72.0 * static_cast<double>(gain);
}

bool InConsoleRange(float value)
{
    return value >= 0.0f && value <= 1.0f;
}

std::string FormatDb(double db)
{
    if (std::isnan(db)) {
        return "nan dB";
    }
    if (std::isinf(db)) {
        return db < 0 ? "-inf dB" : "+inf dB";
    }
    // to_chars, unlike printf, never writes a decimal comma under a German locale.
    char digits[400];
    const auto end = std::to_chars(digits, digits + sizeof digits, db, std::chars_format::fixed, 1).ptr;
    std::string text(digits, end);
    if (text == "-0.0") {
        text = "0.0";
    }
    if (text != "0.0" && text.front() != '-') {
        text.insert(text.begin(), '+');
    }
    return text + " dB";
}

std::string FormatFaderLevel(float level)
{
    return FormatDb(FaderLevelToDb(level));
}

std::string FormatPreampGain(float gain)
{
    std::string text = FormatDb(PreampGainToDb(gain));
    if (gain > 1.0f) {
        text += ", above the console's +60 dB";
    } else if (gain < 0.0f) {
        text += ", below the console's -12 dB";
    }
    return text;
}
