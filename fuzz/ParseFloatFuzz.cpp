// libFuzzer target: ParseFloat on any text agrees with the C library's strtof wherever both read a decimal number.
#include "host/Text.h"

#include <bit>
#include <cmath>
#include <cstdlib>

namespace {

bool Same(float a, float b)
{
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b) || (std::isnan(a) && std::isnan(b));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const float value = ParseFloat(text);
    const bool word = text.compare(u"NaN", Qt::CaseInsensitive) == 0 ||
                      text.compare(u"+Infinity", Qt::CaseInsensitive) == 0 ||
                      text.compare(u"-Infinity", Qt::CaseInsensitive) == 0;
    // Only the word "NaN" gives NaN; text after a number is ignored.
    if (std::isnan(value) != (text.compare(u"NaN", Qt::CaseInsensitive) == 0) ||
        (!word && !Same(ParseFloat(text + QStringLiteral("x")), value)))
        std::abort();

    if (word)
        return 0;
    // After blanks and a sign, a digit or "." starts a decimal number, which strtof reads alike in
    // the C locale (the fuzzer never changes the locale) once an "x" ends the text, as strtof takes
    // "0x" for hexadecimal. Other text, "inf" and "nan" included, gives 0.
    QByteArray latin = text.toLatin1();
    for (char& c : latin) {
        if (c == 'x' || c == 'X')
            c = '\0';
    }
    const char* number = latin.constData();
    while (*number == ' ' || (*number >= '\t' && *number <= '\r'))
        ++number;
    if (*number == '+' || *number == '-')
        ++number;
    if ((*number >= '0' && *number <= '9') || *number == '.') {
        if (!Same(value, std::strtof(latin.constData(), nullptr)))
            std::abort();
    } else if (value != 0.0f) {
        std::abort();
    }
    return 0;
}
