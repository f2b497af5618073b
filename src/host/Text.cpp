// Text and number conversions: integer and float scanning, integer printing, directory part of a path.
#include "host/Text.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>

namespace {

bool IsAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The value of `c` as a digit of `base` (2, 10 or 16), or -1. ASCII only: QChar::isDigit would
// also accept digits of other scripts.
int DigitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int value = -1;
    if (u >= u'0' && u <= u'9')
        value = u - u'0';
    else if (u >= u'a' && u <= u'f')
        value = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        value = u - u'A' + 10;
    return value < base ? value : -1;
}

// The white space "%f" skips in the C locale.
bool IsScanSpace(QChar c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// from_chars leaves the value alone when it is out of range, where strtof gives ±inf or ±0. It
// overflowed when the first significant digit stands left of the decimal point (after applying
// the exponent), and underflowed otherwise.
float OutOfRange(const std::string& mantissa, long long exponent)
{
    const auto point = static_cast<long long>(std::min(mantissa.find('.'), mantissa.size()));
    const auto first = static_cast<long long>(mantissa.find_first_not_of("0."));
    const long long integerDigits = (first < point ? point - first : point - first + 1) + exponent;
    return integerDigits > 0 ? std::numeric_limits<float>::infinity() : 0.0f;
}

// An exponent at `i` ("e", an optional sign and at least one digit) is appended to `digits`
// and returned; without one, nothing is appended and 0 returned.
long long ScanExponent(const QString& text, qsizetype i, std::string& digits)
{
    if (i + 1 >= text.size() || (text[i] != u'e' && text[i] != u'E'))
        return 0;
    qsizetype j = i + 1;
    const bool negative = text[j] == u'-';
    if (text[j] == u'-' || text[j] == u'+')
        ++j;
    if (j >= text.size() || !IsAsciiDigit(text[j]))
        return 0;
    long long exponent = 0;
    // Clamped: any exponent this large is out of range already.
    for (; j < text.size() && IsAsciiDigit(text[j]); ++j)
        exponent = std::min(exponent * 10 + (text[j].unicode() - u'0'), 1'000'000'000LL);
    if (negative)
        exponent = -exponent;
    digits += 'e' + std::to_string(exponent);
    return exponent;
}

} // namespace

std::int64_t ParseInteger(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    int base = 10;
    if (i < text.size() && (text[i] == u'$' || text[i] == u'%'))
        base = text[i++] == u'$' ? 16 : 2;
    // Unsigned, so that overflow wraps instead of being undefined.
    std::uint64_t value = 0;
    for (int digit; i < text.size() && (digit = DigitValue(text[i], base)) >= 0; ++i)
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (negative)
        value = 0 - value;
    return static_cast<std::int64_t>(value);
}

float ParseFloat(const QString& text)
{
    if (text.compare(u"+Infinity", Qt::CaseInsensitive) == 0)
        return std::numeric_limits<float>::infinity();
    if (text.compare(u"-Infinity", Qt::CaseInsensitive) == 0)
        return -std::numeric_limits<float>::infinity();
    if (text.compare(u"NaN", Qt::CaseInsensitive) == 0)
        return std::numeric_limits<float>::quiet_NaN();

    // Collect what "%f" would take, then convert with from_chars, which never looks at the
    // C locale, so a user's decimal comma cannot change the result.
    qsizetype i = 0;
    while (i < text.size() && IsScanSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    std::string digits;
    bool anyDigit = false;
    for (bool point = false; i < text.size(); ++i) {
        if (IsAsciiDigit(text[i]))
            anyDigit = true;
        else if (text[i] == u'.' && !point)
            point = true;
        else
            break;
        digits += static_cast<char>(text[i].unicode());
    }
    if (!anyDigit)
        return 0.0f;
    const long long exponent = ScanExponent(text, i, digits);
    float value = 0.0f;
    if (std::from_chars(digits.data(), digits.data() + digits.size(), value).ec == std::errc::result_out_of_range)
        value = OutOfRange(digits.substr(0, digits.find('e')), exponent);
    return negative ? -value : value;
}

QString IntegerToText(std::int64_t value)
{
    return QString::number(static_cast<qint64>(value));
}

QString DirectoryPart(const QString& path)
{
    const qsizetype start = path.startsWith(u'"') ? 1 : 0;
    qsizetype end = start; // one past the last separator seen
    for (qsizetype i = start; i < path.size() && path[i] != u'|'; ++i) {
        if (path[i] == u'\\' || path[i] == u'/')
            end = i + 1;
    }
    return path.mid(start, end - start);
}
