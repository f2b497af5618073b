// The console's fader and preamp laws and their text, at the segment ends and inside the segments.
#include "osc/ConsoleUnits.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace {

struct FaderPoint {
    const char* name;
    float level;
    double db;
    const char* text;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const FaderPoint& row, std::ostream* out)
{
    *out << row.name;
}

class FaderLaw : public testing::TestWithParam<FaderPoint> {};

TEST_P(FaderLaw, GivesDbAndText)
{
    const FaderPoint& point = GetParam();
    EXPECT_NEAR(FaderLevelToDb(point.level), point.db, 1e-4);
    EXPECT_EQ(FormatFaderLevel(point.level), point.text);
}

// Levels are the floats Quillon sends (trackbar / 100), so 0.01f is not exactly 0.01.
INSTANTIATE_TEST_SUITE_P(ConsoleUnits, FaderLaw,
                         testing::Values(FaderPoint{"Top", 1.0f, 10.0, "+10.0 dB"},
                                         FaderPoint{"UnityGain", 0.75f, 0.0, "0.0 dB"},
                                         FaderPoint{"InsideTopPiece", 0.6f, -6.0, "-6.0 dB"},
                                         FaderPoint{"TopPieceStart", 0.5f, -10.0, "-10.0 dB"},
                                         FaderPoint{"JustBelowHalf", 0.49f, -10.8, "-10.8 dB"},
                                         FaderPoint{"InsideSecondPiece", 0.4f, -18.0, "-18.0 dB"},
                                         FaderPoint{"SecondPieceStart", 0.25f, -30.0, "-30.0 dB"},
                                         FaderPoint{"InsideThirdPiece", 0.1f, -54.0, "-54.0 dB"},
                                         FaderPoint{"ThirdPieceStart", 0.0625f, -60.0, "-60.0 dB"},
                                         FaderPoint{"InsideBottomPiece", 0.03f, -75.6, "-75.6 dB"},
                                         FaderPoint{"SmallestTrackbarStep", 0.01f, -85.2, "-85.2 dB"},
                                         FaderPoint{"TinyLevel", 1e-7f, -90.0, "-90.0 dB"}),
                         [](const testing::TestParamInfo<FaderPoint>& info) { return info.param.name; });

TEST(ConsoleUnits, FaderLawIsContinuousAtEachSegmentEnd)
{
    for (const float end : {0.5f, 0.25f, 0.0625f}) {
        const float below = std::nextafter(end, 0.0f);
        EXPECT_NEAR(FaderLevelToDb(below), FaderLevelToDb(end), 1e-4) << "at " << end;
        EXPECT_LT(FaderLevelToDb(below), FaderLevelToDb(end)) << "at " << end;
    }
}

TEST(ConsoleUnits, FaderAtZeroAndBelowIsMinusInfinity)
{
    for (const float level : {0.0f, -0.0f, -0.5f, -std::numeric_limits<float>::infinity()}) {
        EXPECT_EQ(FaderLevelToDb(level), -std::numeric_limits<double>::infinity()) << level;
        EXPECT_EQ(FormatFaderLevel(level), "-inf dB") << level;
    }
    EXPECT_TRUE(std::isnan(FaderLevelToDb(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_EQ(FormatFaderLevel(std::numeric_limits<float>::quiet_NaN()), "nan dB");
}

TEST(ConsoleUnits, PreampGainMapsLinearlyAndFlagsOutOfRange)
{
    struct Point {
        float gain;
        double db;
        const char* text;
    };
    const Point points[] = {
        {0.0f, -12.0, "-12.0 dB"},
        {0.5f, 24.0, "+24.0 dB"},
        {1.0f, 60.0, "+60.0 dB"},
        {1.5f, 96.0, "+96.0 dB, above the console's +60 dB"},
        {-0.25f, -30.0, "-30.0 dB, below the console's -12 dB"},
    };
    for (const Point& point : points) {
        EXPECT_NEAR(PreampGainToDb(point.gain), point.db, 1e-4) << point.gain;
        EXPECT_EQ(FormatPreampGain(point.gain), point.text) << point.gain;
    }
    EXPECT_TRUE(InConsoleRange(0.0f));
    EXPECT_TRUE(InConsoleRange(1.0f));
    EXPECT_FALSE(InConsoleRange(std::nextafter(1.0f, 2.0f)));
    EXPECT_FALSE(InConsoleRange(-0.01f));
    EXPECT_FALSE(InConsoleRange(std::numeric_limits<float>::quiet_NaN()));
}

TEST(ConsoleUnits, FormatsOneDecimalWithSignAndNoNegativeZero)
{
    EXPECT_EQ(FormatDb(0.04), "0.0 dB");
    EXPECT_EQ(FormatDb(-0.04), "0.0 dB");
    EXPECT_EQ(FormatDb(0.06), "+0.1 dB");
    EXPECT_EQ(FormatDb(-9.96), "-10.0 dB");
    EXPECT_EQ(FormatDb(std::numeric_limits<double>::infinity()), "+inf dB");
    EXPECT_EQ(FormatDb(-std::numeric_limits<double>::infinity()), "-inf dB");
    EXPECT_EQ(FormatDb(1e300).substr(0, 3), "+10");
}

TEST(ConsoleUnits, TextIgnoresTheLocale)
{
    // The window runs under the user's locale; a decimal comma must not appear.
    const char* previous = std::setlocale(LC_ALL, "de_DE.UTF-8");
    if (previous == nullptr) {
        GTEST_SKIP() << "locale de_DE.UTF-8 not installed";
    }
    const std::string text = FormatFaderLevel(0.6f);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(text, "-6.0 dB");
}

} // namespace
