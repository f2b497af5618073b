// Text and number conversions with fixed, locale-independent results.
#pragma once

#include <QString>
#include <cstdint>

// Leading spaces and tabs, an optional sign, then decimal digits, "$" and hexadecimal digits
// or "%" and base-2 digits, up to the first character that does not fit. No digits give 0.
// Accumulates in 64 bits and wraps on overflow.
std::int64_t ParseInteger(const QString& text);

// "+Infinity", "-Infinity" and "NaN" in any case; otherwise a scanf-style "%f" with "." as the
// decimal separator whatever the user's locale. Text that does not start with a number gives 0.
float ParseFloat(const QString& text);

// Decimal digits, "-" for negative values, no "+", no leading zeros, no grouping.
QString IntegerToText(std::int64_t value);

// The path up to and including its last "\" or "/"; a leading double quote is skipped and the
// scan stops at "|". Empty when there is no separator.
QString DirectoryPart(const QString& path);
