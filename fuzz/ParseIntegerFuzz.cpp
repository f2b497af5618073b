// libFuzzer target: ParseInteger on any text: blanks, signs, digits and trailing text behave as documented.
#include "host/Text.h"

#include <charconv>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::int64_t value = ParseInteger(text);

    // Leading blanks are skipped, and "g" is a digit in no base, so it ends any number.
    if (ParseInteger(QStringLiteral(" \t") + text) != value || ParseInteger(text + QStringLiteral("g")) != value)
        std::abort();

    // The text after its blanks and sign: "+" before it keeps its value, "-" negates it with
    // wrap-around, and the whole text reads as its sign says.
    qsizetype start = 0;
    while (start < text.size() && (text[start] == u' ' || text[start] == u'\t'))
        ++start;
    const bool negative = start < text.size() && text[start] == u'-';
    if (start < text.size() && (text[start] == u'+' || negative))
        ++start;
    const QString rest = text.mid(start);
    if (!rest.isEmpty() && QStringLiteral(" \t+-").contains(rest[0])) {
        if (value != 0) // a blank or sign after the sign: no number
            std::abort();
        return 0;
    }
    const std::int64_t magnitude = ParseInteger(rest);
    const auto negated = static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(magnitude));
    if (ParseInteger(QStringLiteral("+") + rest) != magnitude || ParseInteger(QStringLiteral("-") + rest) != negated ||
        value != (negative ? negated : magnitude))
        std::abort();

    // Up to 18 decimal digits cannot wrap: they must read as from_chars reads them.
    const QByteArray ascii = rest.toLatin1();
    std::int64_t decimal = 0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), decimal);
    if (error == std::errc() && end - ascii.data() <= 18 && magnitude != decimal)
        std::abort();
    return 0;
}
