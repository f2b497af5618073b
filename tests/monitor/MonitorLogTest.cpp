// The monitor's lines: what the console makes of each address Quillon sends, the text and JSON forms,
// the error lines, and the summary with its gap statistics and state table.
#include "monitor/MonitorLog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct Reading {
    const char* name;
    const char* address;
    float value;
    const char* meaning;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const Reading& row, std::ostream* out)
{
    *out << row.name;
}

class ConsoleReading : public testing::TestWithParam<Reading> {};

TEST_P(ConsoleReading, NamesWhatTheConsoleDoes)
{
    const DecodedMessage message{GetParam().address, ",f", {GetParam().value}};
    EXPECT_EQ(ConsoleMeaning(message), GetParam().meaning);
}

INSTANTIATE_TEST_SUITE_P(
    MonitorLog, ConsoleReading,
    testing::Values(
        Reading{"ChannelFader", "/ch/01/mix/fader", 0.75f, "0.0 dB"},
        Reading{"LastChannelFaderAtTop", "/ch/16/mix/fader", 1.0f, "+10.0 dB"},
        Reading{"MainFaderDown", "/main/st/mix/fader", 0.0f, "-inf dB"},
        Reading{"DcaFader", "/dca/8/fader", 0.5f, "-10.0 dB"},
        Reading{"BusFader", "/bus/08/mix/fader", 0.25f, "-30.0 dB"},
        Reading{"FaderAboveRange", "/bus/01/mix/fader", 1.5f, "+30.0 dB, outside the console's 0.0 to 1.0"},
        Reading{"ChannelOn", "/ch/10/mix/on", 1.0f, "on"}, Reading{"MainOff", "/main/st/mix/on", 0.0f, "off"},
        Reading{"OnSwitchInBetween", "/ch/01/mix/on", 0.5f, "value 0.5, neither on (1.0) nor off (0.0)"},
        Reading{"FirstPreamp", "/headamp/000/gain", 0.5f, "preamp gain +24.0 dB"},
        Reading{"PreampAboveRange", "/headamp/015/gain", 1.5f, "preamp gain +96.0 dB, above the console's +60 dB"},
        Reading{"LinkFirstPair", "/config/chlink/1-2", 1.0f, "linked"},
        Reading{"UnlinkLastPair", "/config/chlink/15-16", 0.0f, "unlinked"},
        Reading{"BankCh1To8", "/-stat/chfaderbank", 0.1f, "bank CH 1-8"},
        Reading{"BankCh9To16", "/-stat/chfaderbank", 0.2f, "bank CH 9-16"},
        Reading{"BankChxChannelPart", "/-stat/chfaderbank", 0.01f, "bank CHX 1-16 (with grpfaderbank 0.6)"},
        Reading{"BankChxGroupPart", "/-stat/grpfaderbank", 0.6f, "bank CHX 1-16 (with chfaderbank 0.01)"},
        Reading{"BankDca", "/-stat/grpfaderbank", 0.1f, "bank DCA 1-8"},
        Reading{"BankBus", "/-stat/grpfaderbank", 0.2f, "bank BUS 1-8"},
        Reading{"ChannelBankCleared", "/-stat/chfaderbank", 0.0f, "bank cleared"},
        Reading{"GroupBankCleared", "/-stat/grpfaderbank", 0.0f, "bank cleared"},
        Reading{"GroupBankOtherValue", "/-stat/grpfaderbank", 0.01f, "value 0.01"},
        Reading{"InitAll", "/-action/initall", 1.0f, "initialise console"},
        // Near misses of the shapes above mean nothing to the console.
        Reading{"ChannelOutOfRange", "/ch/33/mix/fader", 0.75f, ""},
        Reading{"ChannelWithOneDigit", "/ch/1/mix/fader", 0.75f, ""},
        Reading{"DcaOutOfRange", "/dca/9/fader", 0.75f, ""}, Reading{"LinkOfEvenPair", "/config/chlink/2-3", 1.0f, ""},
        Reading{"LinkWithLeadingZero", "/config/chlink/01-02", 1.0f, ""},
        Reading{"LinkWithoutPartner", "/config/chlink/1-", 1.0f, ""},
        Reading{"LinkPrefixOnly", "/config/chlink/", 1.0f, ""},
        Reading{"FaderWithSuffix", "/ch/01/mix/fader/x", 0.75f, ""}),
    [](const testing::TestParamInfo<Reading>& info) { return info.param.name; });

TEST(MonitorLog, ExplainsWrongArgumentsForAKnownAddress)
{
    EXPECT_EQ(ConsoleMeaning({"/ch/01/mix/fader", ",i", {std::int32_t{1}}}),
              "not understood: the console expects one float (,f)");
    EXPECT_EQ(ConsoleMeaning({"/ch/01/mix/fader", ",ff", {0.5f, 0.5f}}),
              "not understood: the console expects one float (,f)");
    EXPECT_EQ(ConsoleMeaning({"/-action/initall", ",i", {std::int32_t{1}}}), "initialise console");
}

TEST(MonitorLog, FormatsEachArgumentType)
{
    const DecodedMessage message{"/x",
                                 ",ifffsb",
                                 {std::int32_t{-7}, 1.0f, 0.1f, -std::numeric_limits<float>::infinity(),
                                  std::string("a\"b\\c\n\xff"), OscBlob{0x00, 0xAB, 0x10}}};
    EXPECT_EQ(FormatArguments(message), R"(-7 1.0 0.1 -inf "a\"b\\c\x0a\xff" blob:00ab10)");
}

// Datagrams for the line tests, built byte by byte.
std::vector<std::uint8_t> FloatMessage(std::string_view address, std::uint32_t bits)
{
    std::vector<std::uint8_t> datagram(address.begin(), address.end());
    datagram.resize((address.size() + 4) & ~std::size_t{3}, 0);
    for (const std::uint8_t byte : {',', 'f', '\0', '\0'}) {
        datagram.push_back(byte);
    }
    for (int shift = 24; shift >= 0; shift -= 8) {
        datagram.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
    return datagram;
}

constexpr std::uint32_t kThreeQuarters = 0x3F400000;
constexpr std::uint32_t kOne = 0x3F800000;
constexpr std::uint32_t kNaN = 0x7FC00000;

TEST(MonitorLog, TextLinesShowTimeGapAddressValueAndMeaning)
{
    MonitorLog log(OutputFormat::Text);
    EXPECT_EQ(log.Receive(FloatMessage("/ch/01/mix/fader", kThreeQuarters), 0.0123),
              std::vector<std::string>{"0.012 s  first       /ch/01/mix/fader ,f 0.75 = 0.0 dB"});
    EXPECT_EQ(log.Receive(FloatMessage("/ch/01/mix/on", kOne), 0.0624),
              std::vector<std::string>{"0.062 s  +50.1 ms    /ch/01/mix/on ,f 1.0 = on"});
    EXPECT_EQ(log.Receive(FloatMessage("/other\n", kOne), 1.0624),
              std::vector<std::string>{"1.062 s  +1000.0 ms  /other\\x0a ,f 1.0"});
    EXPECT_EQ(log.MessageCount(), 3u);
}

TEST(MonitorLog, MalformedDatagramGivesOneLineAndIsNotCounted)
{
    MonitorLog log(OutputFormat::Text);
    std::vector<std::uint8_t> datagram = FloatMessage("/ch/01/mix/fader", kThreeQuarters);
    datagram[18] = 'x';
    EXPECT_EQ(log.Receive(datagram, 2.0),
              std::vector<std::string>{"2.000 s  malformed datagram (28 bytes): address not padded with zero bytes"});
    EXPECT_EQ(log.Receive({}, 2.5), std::vector<std::string>{"2.500 s  malformed datagram (0 bytes): empty datagram"});
    EXPECT_EQ(log.MessageCount(), 0u);
    EXPECT_EQ(log.Summary().at(0), "summary: 0 messages, 2 malformed datagrams");
}

TEST(MonitorLog, JsonLinesEscapeAndKeepNonFiniteFloatsAsStrings)
{
    MonitorLog log(OutputFormat::Json);
    EXPECT_EQ(log.Receive(FloatMessage("/ch/02/mix/fader", kThreeQuarters), 1.0),
              std::vector<std::string>{R"({"t":1.000,"gap_ms":null,"address":"/ch/02/mix/fader","types":",f",)"
                                       R"("args":[0.75],"meaning":"0.0 dB"})"});
    EXPECT_EQ(log.Receive(FloatMessage("/q\"\\\x01\xe9", kNaN), 1.5),
              std::vector<std::string>{R"({"t":1.500,"gap_ms":500.0,"address":"/q\"\\\u0001\u00e9","types":",f",)"
                                       R"("args":["nan"],"meaning":null})"});
    EXPECT_EQ(log.Receive(std::vector<std::uint8_t>{0x2F}, 2.0),
              std::vector<std::string>{R"({"t":2.000,"malformed":"address not terminated by a NUL byte","size":1})"});
}

TEST(MonitorLog, SummaryGivesCountsGapStatisticsAndSortedLastValues)
{
    MonitorLog log(OutputFormat::Text);
    // Gaps of 50, 50, 60 and 1000 ms; nearest rank: median the 2nd of 4, 99th percentile the 4th.
    const struct {
        const char* address;
        std::uint32_t bits;
        double seconds;
    } received[] = {
        {"/main/st/mix/on", kOne, 0.0},
        {"/ch/01/mix/fader", kOne, 0.05},
        {"/-stat/chfaderbank", 0x3DCCCCCD, 0.1},
        {"/ch/01/mix/fader", kThreeQuarters, 0.16},
        {"/main/st/mix/on", 0, 1.16},
    };
    for (const auto& message : received) {
        log.Receive(FloatMessage(message.address, message.bits), message.seconds);
    }
    log.Receive(std::vector<std::uint8_t>{1, 2, 3}, 1.2);
    const std::vector<std::string> expected{
        "summary: 5 messages, 1 malformed datagram",
        "gaps between messages (ms): min 50.0, median 50.0, p99 1000.0, max 1000.0",
        "state (3 addresses):",
        "  /-stat/chfaderbank ,f 0.1 = bank CH 1-8",
        "  /ch/01/mix/fader ,f 0.75 = 0.0 dB",
        "  /main/st/mix/on ,f 0.0 = off",
    };
    EXPECT_EQ(log.Summary(), expected);
}

TEST(MonitorLog, SummaryWithoutGapsSaysNone)
{
    MonitorLog text(OutputFormat::Text);
    text.Receive(FloatMessage("/ch/01/mix/fader", kOne), 0.5);
    EXPECT_EQ(text.Summary().at(1), "gaps between messages (ms): none");

    MonitorLog json(OutputFormat::Json);
    EXPECT_EQ(json.Summary(),
              std::vector<std::string>{R"({"summary":{"messages":0,"malformed":0,"gaps_ms":null,"state":[]}})"});
}

TEST(MonitorLog, JsonSummaryHoldsTheStateTable)
{
    MonitorLog log(OutputFormat::Json);
    log.Receive(FloatMessage("/ch/01/mix/on", 0), 0.0);
    log.Receive(FloatMessage("/ch/01/mix/fader", kOne), 0.05);
    EXPECT_EQ(
        log.Summary(),
        std::vector<std::string>{
            R"({"summary":{"messages":2,"malformed":0,"gaps_ms":{"min":50.0,"median":50.0,"p99":50.0,"max":50.0},)"
            R"("state":[{"address":"/ch/01/mix/fader","types":",f","args":[1.0],"meaning":"+10.0 dB"},)"
            R"({"address":"/ch/01/mix/on","types":",f","args":[0.0],"meaning":"off"}]}})"});
}

} // namespace
