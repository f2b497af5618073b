// Tests of the text and number conversions: integer and float scanning, printing, directory part.
#include "host/Text.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>

using namespace Qt::StringLiterals;

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

template <typename Case> std::string CaseName(const testing::TestParamInfo<Case>& info)
{
    return info.param.name;
}

// ---- ParseInteger

struct IntegerCase {
    const char* name;
    QString text;
    std::int64_t expected;
    friend void PrintTo(const IntegerCase& c, std::ostream* out) { *out << c.name; }
};

class ParseIntegerTest : public testing::TestWithParam<IntegerCase> {};

TEST_P(ParseIntegerTest, GivesExpectedValue)
{
    EXPECT_EQ(ParseInteger(GetParam().text), GetParam().expected) << "text: " << GetParam().text.toStdString();
}

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

INSTANTIATE_TEST_SUITE_P(
    HostText, ParseIntegerTest,
    testing::Values(IntegerCase{"LeadingSpaces", u"  42"_s, 42}, IntegerCase{"LeadingTabs", u"\t\t 9"_s, 9},
                    IntegerCase{"NewlineIsNotSkipped", u"\n5"_s, 0}, IntegerCase{"StopsAtLetter", u"-7x"_s, -7},
                    IntegerCase{"StopsAtPoint", u"1.9"_s, 1}, IntegerCase{"PlusSign", u"+12"_s, 12},
                    IntegerCase{"SpaceAfterSign", u"- 5"_s, 0}, IntegerCase{"TwoSigns", u"+-5"_s, 0},
                    IntegerCase{"HexUpper", u"$FF"_s, 255}, IntegerCase{"HexLower", u"$ff"_s, 255},
                    IntegerCase{"HexStopsAtG", u"$fg"_s, 15}, IntegerCase{"NegativeHex", u"-$10"_s, -16},
                    IntegerCase{"SignAfterDollar", u"$-10"_s, 0}, IntegerCase{"Binary", u"%101"_s, 5},
                    IntegerCase{"BinaryStopsAtTwo", u"%1021"_s, 2}, IntegerCase{"LettersOnly", u"abc"_s, 0},
                    IntegerCase{"Empty", QString(), 0}, IntegerCase{"SignOnly", u"-"_s, 0},
                    IntegerCase{"DollarOnly", u"$"_s, 0}, IntegerCase{"PercentOnly", u"%"_s, 0},
                    IntegerCase{"ArabicIndicDigits", u"\u0663\u0664"_s, 0},
                    IntegerCase{"FullwidthDigit", u"\uFF15"_s, 0},
                    IntegerCase{"Largest", u"9223372036854775807"_s, kMax},
                    IntegerCase{"Smallest", u"-9223372036854775808"_s, kMin},
                    IntegerCase{"WrapsPastLargest", u"9223372036854775808"_s, kMin},
                    IntegerCase{"WrapsToZero", u"18446744073709551616"_s, 0},
                    IntegerCase{"SixteenHexF", u"$FFFFFFFFFFFFFFFF"_s, -1},
                    IntegerCase{"SeventeenHexDigits", u"$10000000000000001"_s, 1}),
    CaseName<IntegerCase>);

// ---- ParseFloat

struct FloatCase {
    const char* name;
    QString text;
    float expected;
    friend void PrintTo(const FloatCase& c, std::ostream* out) { *out << c.name; }
};

class ParseFloatTest : public testing::TestWithParam<FloatCase> {};

// Compared bit for bit, so that -0 is told from 0 and rounding differences show.
TEST_P(ParseFloatTest, GivesExpectedValue)
{
    const float actual = ParseFloat(GetParam().text);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(actual), std::bit_cast<std::uint32_t>(GetParam().expected))
        << "text: " << GetParam().text.toStdString() << ", got " << actual << ", expected " << GetParam().expected;
}

constexpr float kInfinity = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    HostText, ParseFloatTest,
    testing::Values(
        FloatCase{"Exponent", u"1e2"_s, 100.0f}, FloatCase{"UpperExponent", u"1E2"_s, 100.0f},
        FloatCase{"NegativeExponent", u"1e-1"_s, 0.1f}, FloatCase{"PlusExponent", u"2.5e+1"_s, 25.0f},
        FloatCase{"TrailingLetters", u"1.5abc"_s, 1.5f}, FloatCase{"NoIntegerPart", u".5"_s, 0.5f},
        FloatCase{"NoFractionDigits", u"5."_s, 5.0f}, FloatCase{"ExponentWithoutDigits", u"1e"_s, 1.0f},
        FloatCase{"ExponentSignWithoutDigits", u"1e+"_s, 1.0f}, FloatCase{"ExponentThenLetter", u"3ex"_s, 3.0f},
        FloatCase{"LeadingSpaceAndSign", u"  -2.5"_s, -2.5f}, FloatCase{"LeadingControlSpace", u"\t\n\v\f\r+3"_s, 3.0f},
        FloatCase{"SecondPointStops", u"1.2.3"_s, 1.2f}, FloatCase{"CommaStops", u"1,5"_s, 1.0f},
        FloatCase{"NegativeZero", u"-0"_s, -0.0f}, FloatCase{"Empty", QString(), 0.0f},
        FloatCase{"PointOnly", u"."_s, 0.0f}, FloatCase{"SignOnly", u"-"_s, 0.0f},
        FloatCase{"ExponentOnly", u"e5"_s, 0.0f}, FloatCase{"Letters", u"abc"_s, 0.0f},
        FloatCase{"HexStopsAtX", u"0x10"_s, 0.0f}, FloatCase{"InfIsNotANumber", u"inf"_s, 0.0f},
        FloatCase{"UnsignedInfinityIsNotANumber", u"Infinity"_s, 0.0f},
        FloatCase{"NaNWithSpaceIsNotANumber", u" NaN"_s, 0.0f}, FloatCase{"ArabicIndicDigit", u"\u0665"_s, 0.0f},
        FloatCase{"LargestFloat", u"3.40282347e38"_s, std::numeric_limits<float>::max()},
        FloatCase{"SmallestSubnormal", u"1.4e-45"_s, std::numeric_limits<float>::denorm_min()},
        FloatCase{"OverflowGivesInfinity", u"1e39"_s, kInfinity},
        FloatCase{"NegativeOverflow", u"-123456.7e40"_s, -kInfinity},
        FloatCase{"HugeExponent", u"0.001e99999999999999999999"_s, kInfinity},
        FloatCase{"UnderflowGivesZero", u"0.00001e-50"_s, 0.0f}, FloatCase{"NegativeUnderflow", u"-1e-50"_s, -0.0f},
        FloatCase{"ZeroWithHugeExponent", u"0e99999"_s, 0.0f}),
    CaseName<FloatCase>);

TEST(HostText, ParseFloatReadsInfinityAndNaNWordsInAnyCase)
{
    EXPECT_EQ(ParseFloat(u"+Infinity"_s), kInfinity);
    EXPECT_EQ(ParseFloat(u"+INFINITY"_s), kInfinity);
    EXPECT_EQ(ParseFloat(u"-Infinity"_s), -kInfinity);
    EXPECT_EQ(ParseFloat(u"-infinity"_s), -kInfinity);
    for (const QString& text : {u"NaN"_s, u"nan"_s, u"NAN"_s, u"nAn"_s})
        EXPECT_TRUE(std::isnan(ParseFloat(text))) << text.toStdString();
}

// A user's locale with a decimal comma must not change how files and fields are read.
TEST(HostText, ParseFloatIgnoresDecimalCommaLocale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    const bool commaLocale = std::string(std::localeconv()->decimal_point) == ",";
    const float point = ParseFloat(u"0.5"_s);
    const float comma = ParseFloat(u"0,5"_s);
    std::setlocale(LC_ALL, saved.c_str());

    ASSERT_TRUE(commaLocale) << "de_DE.UTF-8 should use a decimal comma";
    EXPECT_EQ(point, 0.5f);
    EXPECT_EQ(comma, 0.0f);
}

// ---- IntegerToText

TEST(HostText, IntegerToTextWritesPlainDecimal)
{
    EXPECT_EQ(IntegerToText(-5), u"-5"_s);
    EXPECT_EQ(IntegerToText(0), u"0"_s);
    EXPECT_EQ(IntegerToText(100), u"100"_s);
    EXPECT_EQ(IntegerToText(1234567), u"1234567"_s);
    EXPECT_EQ(IntegerToText(kMax), u"9223372036854775807"_s);
    EXPECT_EQ(IntegerToText(kMin), u"-9223372036854775808"_s);
}

TEST(HostText, IntegerToTextReadsBackWithParseInteger)
{
    for (const std::int64_t value : {kMin, kMin + 1, std::int64_t{-1}, std::int64_t{0}, std::int64_t{1}, kMax})
        EXPECT_EQ(ParseInteger(IntegerToText(value)), value);
}

// ---- DirectoryPart

struct DirectoryCase {
    const char* name;
    QString path;
    QString expected;
    friend void PrintTo(const DirectoryCase& c, std::ostream* out) { *out << c.name; }
};

class DirectoryPartTest : public testing::TestWithParam<DirectoryCase> {};

TEST_P(DirectoryPartTest, GivesExpectedDirectory)
{
    EXPECT_EQ(DirectoryPart(GetParam().path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(HostText, DirectoryPartTest,
                         testing::Values(DirectoryCase{"NoSeparator", u"Notepad.exe"_s, QString()},
                                         DirectoryCase{"Empty", QString(), QString()},
                                         DirectoryCase{"Slashes", u"/home/a/b.txt"_s, u"/home/a/"_s},
                                         DirectoryCase{"Backslashes", u"C:\\x\\y.exe"_s, u"C:\\x\\"_s},
                                         DirectoryCase{"MixedTakesLast", u"a\\b/c\\d"_s, u"a\\b/c\\"_s},
                                         DirectoryCase{"QuotedSkipsQuote", u"\"C:\\x\\y.exe\""_s, u"C:\\x\\"_s},
                                         DirectoryCase{"QuotedWithoutSeparator", u"\"y.exe\""_s, QString()},
                                         DirectoryCase{"EndsWithSeparator", u"/tmp/"_s, u"/tmp/"_s},
                                         DirectoryCase{"RootOnly", u"/"_s, u"/"_s},
                                         DirectoryCase{"StopsAtBar", u"a/b|c/d"_s, u"a/"_s},
                                         DirectoryCase{"BarBeforeAnySeparator", u"a|b/c"_s, QString()}),
                         CaseName<DirectoryCase>);

} // namespace
