// Fixed, shortest and percentile numbers through to_chars, which never writes a decimal comma.
#include "monitor/Numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>

std::string Fixed(double value, int decimals)
{
    char digits[400];
    return {digits, std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals).ptr};
}

std::string FloatText(float value)
{
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    char digits[64];
    std::string text(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    // Shortest form of 1.0f is "1"; keep it recognisable as a float.
    if (text.find_first_of(".e") == std::string::npos) {
        text += ".0";
    }
    return text;
}

double Percentile(std::vector<double> values, double percent)
{
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(percent / 100.0 * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}
