// The built quillon-monitor on 127.0.0.N: messages from liblo's oscsend (an encoder independent of ours)
// and raw datagrams of the test, its lines as they come, its summary, JSON output and signals.
#include "MonitorProcess.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// One message sent by liblo's oscsend, e.g. {"/ch/01/mix/fader", "f", "0.75"}.
bool OscSend(int lastOctet, const Words& message)
{
    Words command{"oscsend", Address(lastOctet), std::to_string(kPort)};
    command.insert(command.end(), message.begin(), message.end());
    Child oscsend(command);
    std::string output;
    return oscsend.Finish(output) == 0;
}

bool SendRaw(int lastOctet, const Datagram& datagram)
{
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kPort);
    to.sin_addr.s_addr = htonl(0x7F000000u | static_cast<std::uint32_t>(lastOctet));
    const ssize_t sent =
        ::sendto(socket, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    ::close(socket);
    return sent == static_cast<ssize_t>(datagram.size());
}

Datagram Bytes(std::string_view text)
{
    return Datagram(text.begin(), text.end());
}

// oscsend cannot send blobs: "/blob" + 3 NUL | ",b" + 2 NUL | size 3 | 01 02 03 + 1 NUL.
const Datagram kBlobMessage = Bytes({"/blob\0\0\0,b\0\0\0\0\0\x03\x01\x02\x03\0", 20});
// A bundle of "/ch/03/mix/fader" 0.75 and "/ch/03/mix/on" 0.0.
const Datagram kBundle = Bytes({"#bundle\0\0\0\0\0\0\0\0\x01"
                                "\0\0\0\x1c/ch/03/mix/fader\0\0\0\0,f\0\0\x3f\x40\0\0"
                                "\0\0\0\x18/ch/03/mix/on\0\0\0,f\0\0\0\0\0\0",
                                16 + 32 + 28});
// "/c" + NUL + a non-zero pad byte | ",f" + 2 NUL | 0.0f | 1 more byte: 13 bytes in all.
const Datagram kBadPadding = Bytes({"/c\0x,f\0\0\0\0\0\0\0", 13});

// Sends one item and waits for the line it should produce, so the order of lines is checked too.
struct Exchange {
    Words oscsend; // empty: send `raw` instead
    Datagram raw;
    std::string line;
};

TEST(MonitorProgram, PrintsEachMessageWithMeaningThenSummaryAndState)
{
    constexpr int kLastOctet = 10;
    Monitor monitor(kLastOctet, {"--count", "10", "--timeout", "60"});
    ASSERT_TRUE(monitor.Listening()) << monitor.Errors();

    const Exchange exchanges[] = {
        {{"/ch/01/mix/fader", "f", "0.5"}, {}, "/ch/01/mix/fader ,f 0.5 = -10.0 dB"},
        {{"/ch/01/mix/on", "f", "0"}, {}, "/ch/01/mix/on ,f 0.0 = off"},
        {{"/headamp/004/gain", "f", "0.5"}, {}, "/headamp/004/gain ,f 0.5 = preamp gain +24.0 dB"},
        {{}, kBadPadding, "malformed datagram (13 bytes): address not padded with zero bytes"},
        {{"/-stat/chfaderbank", "f", "0.01"}, {}, "/-stat/chfaderbank ,f 0.01 = bank CHX 1-16"},
        {{"/test/ints", "ii", "42", "-7"}, {}, "/test/ints ,ii 42 -7"},
        {{"/test/text", "s", "hello world"}, {}, "/test/text ,s \"hello world\""},
        {{}, kBlobMessage, "/blob ,b blob:010203"},
        {{}, kBundle, "/ch/03/mix/fader ,f 0.75 = 0.0 dB"},
        {{}, {}, "/ch/03/mix/on ,f 0.0 = off"}, // the bundle's second element
        {{"/ch/01/mix/fader", "f", "0.75"}, {}, "/ch/01/mix/fader ,f 0.75 = 0.0 dB"},
    };
    std::vector<std::string> printed;
    for (const Exchange& exchange : exchanges) {
        if (!exchange.oscsend.empty()) {
            ASSERT_TRUE(OscSend(kLastOctet, exchange.oscsend)) << exchange.line;
        } else if (!exchange.raw.empty()) {
            ASSERT_TRUE(SendRaw(kLastOctet, exchange.raw)) << exchange.line;
        }
        const auto line = monitor.WaitForLine(exchange.line);
        ASSERT_TRUE(line) << "missing: " << exchange.line << "\n" << monitor.Errors();
        printed.push_back(*line);
    }
    // Time since start with ms precision, then the gap: none yet, a real one, none within a bundle.
    EXPECT_TRUE(std::regex_match(printed[0], std::regex(R"(\d+\.\d{3} s  first +/ch/01/mix/fader .*)"))) << printed[0];
    EXPECT_TRUE(std::regex_match(printed[1], std::regex(R"(\d+\.\d{3} s  \+\d+\.\d ms +/ch/01/mix/on .*)")))
        << printed[1];
    EXPECT_TRUE(std::regex_match(printed[9], std::regex(R"(\d+\.\d{3} s  \+0\.0 ms +/ch/03/mix/on .*)"))) << printed[9];

    // The tenth message ends the run.
    ASSERT_TRUE(monitor.ExitsWithZero()) << monitor.Errors();
    const std::vector<std::string> lines = monitor.Lines();
    const auto first =
        std::find_if(lines.begin(), lines.end(), [](const std::string& line) { return line.starts_with("summary: "); });
    const std::vector<std::string> summary(first, lines.end());
    const std::vector<std::string> expectedSummary{
        "summary: 10 messages, 1 malformed datagram",
        "state (9 addresses):",
        "  /-stat/chfaderbank ,f 0.01 = bank CHX 1-16 (with grpfaderbank 0.6)",
        "  /blob ,b blob:010203",
        "  /ch/01/mix/fader ,f 0.75 = 0.0 dB",
        "  /ch/01/mix/on ,f 0.0 = off",
        "  /ch/03/mix/fader ,f 0.75 = 0.0 dB",
        "  /ch/03/mix/on ,f 0.0 = off",
        "  /headamp/004/gain ,f 0.5 = preamp gain +24.0 dB",
        "  /test/ints ,ii 42 -7",
        "  /test/text ,s \"hello world\"",
    };
    ASSERT_EQ(summary.size(), expectedSummary.size() + 1);
    EXPECT_EQ(summary[0], expectedSummary[0]);
    EXPECT_EQ(summary[1].rfind("gaps between messages (ms): min 0.0, median ", 0), 0u) << summary[1];
    EXPECT_EQ(std::vector<std::string>(summary.begin() + 2, summary.end()),
              std::vector<std::string>(expectedSummary.begin() + 1, expectedSummary.end()));
}

TEST(MonitorProgram, KeepsRunningAfterMalformedDatagrams)
{
    constexpr int kLastOctet = 11;
    Monitor monitor(kLastOctet, {"--count", "1", "--timeout", "60"});
    ASSERT_TRUE(monitor.Listening()) << monitor.Errors();

    const struct {
        Datagram datagram;
        const char* line;
    } malformed[] = {
        {{}, "malformed datagram (0 bytes): empty datagram"},
        {Bytes("/ch/01/mix/fader"), "malformed datagram (16 bytes): address not terminated by a NUL byte"},
        {Bytes({"/x\0\0,f\0\0\0\0", 10}), "malformed datagram (10 bytes): argument 1 ('f') truncated"},
        {Bytes({"/x\0\0", 4}), "malformed datagram (4 bytes): missing type tag string"},
        {Bytes({"/x\0\0,q\0\0", 8}), "malformed datagram (8 bytes): unknown type tag 'q'"},
        {Bytes({"#bundle\0\0\0\0\0\0\0\0\0\0\0\0\x06", 20}),
         "malformed datagram (20 bytes): bundle element 1 has size 6, not a positive multiple of 4"},
        {Datagram(60000, 0xA5), "malformed datagram (60000 bytes): address does not start with '/'"},
    };
    for (const auto& item : malformed) {
        ASSERT_TRUE(SendRaw(kLastOctet, item.datagram)) << item.line;
        ASSERT_TRUE(monitor.WaitForLine(item.line)) << "missing: " << item.line << "\n" << monitor.Errors();
    }
    ASSERT_TRUE(OscSend(kLastOctet, {"/main/st/mix/fader", "f", "1.0"}));
    EXPECT_TRUE(monitor.WaitForLine("/main/st/mix/fader ,f 1.0 = +10.0 dB"));
    ASSERT_TRUE(monitor.ExitsWithZero()) << monitor.Errors();
    EXPECT_TRUE(monitor.WaitForLine("summary: 1 message, 7 malformed datagrams"));
    EXPECT_TRUE(monitor.WaitForLine("gaps between messages (ms): none"));
}

TEST(MonitorProgram, JsonOutputParsesLineByLine)
{
    constexpr int kLastOctet = 12;
    Monitor monitor(kLastOctet, {"--json", "--count", "3", "--timeout", "60"});
    ASSERT_TRUE(monitor.Listening()) << monitor.Errors();

    ASSERT_TRUE(OscSend(kLastOctet, {"/ch/16/mix/fader", "f", "0.25"}));
    ASSERT_TRUE(monitor.WaitForLine("/ch/16/mix/fader"));
    ASSERT_TRUE(OscSend(kLastOctet, {"/say", "si", "quote\" back\\slash\ttab", "3"}));
    ASSERT_TRUE(monitor.WaitForLine("/say"));
    ASSERT_TRUE(SendRaw(kLastOctet, kBadPadding));
    ASSERT_TRUE(monitor.WaitForLine("malformed"));
    ASSERT_TRUE(OscSend(kLastOctet, {"/ch/02/mix/fader", "f", "inf"}));
    ASSERT_TRUE(SendRaw(kLastOctet, kBlobMessage));
    ASSERT_TRUE(monitor.ExitsWithZero()) << monitor.Errors();

    const std::vector<std::string> lines = monitor.Lines();
    ASSERT_EQ(lines.size(), 6u);
    std::vector<QJsonObject> objects;
    for (const std::string& line : lines) {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
        ASSERT_TRUE(document.isObject()) << line;
        objects.push_back(document.object());
    }
    EXPECT_EQ(objects[0]["listening"].toString().toStdString(), Address(kLastOctet) + ":10023");

    EXPECT_EQ(objects[1]["address"].toString(), "/ch/16/mix/fader");
    EXPECT_EQ(objects[1]["types"].toString(), ",f");
    EXPECT_EQ(objects[1]["args"].toArray(), (QJsonArray{0.25}));
    EXPECT_EQ(objects[1]["meaning"].toString(), "-30.0 dB");
    EXPECT_TRUE(objects[1]["gap_ms"].isNull());
    EXPECT_GE(objects[1]["t"].toDouble(), 0.0);

    EXPECT_EQ(objects[2]["args"].toArray(), (QJsonArray{"quote\" back\\slash\ttab", 3}));
    EXPECT_TRUE(objects[2]["meaning"].isNull());
    EXPECT_GT(objects[2]["gap_ms"].toDouble(), 0.0);

    EXPECT_EQ(objects[3]["malformed"].toString(), "address not padded with zero bytes");
    EXPECT_EQ(objects[3]["size"].toInt(), 13);

    EXPECT_EQ(objects[4]["args"].toArray(), (QJsonArray{"inf"}));
    EXPECT_EQ(objects[4]["meaning"].toString(), "+inf dB, outside the console's 0.0 to 1.0");

    // The third message ends the run; the blob sent right after it is never read.
    const QJsonObject summary = objects[5]["summary"].toObject();
    EXPECT_EQ(summary["messages"].toInt(), 3);
    EXPECT_EQ(summary["malformed"].toInt(), 1);
    const QJsonObject gaps = summary["gaps_ms"].toObject();
    EXPECT_LE(gaps["min"].toDouble(), gaps["median"].toDouble());
    EXPECT_LE(gaps["median"].toDouble(), gaps["p99"].toDouble());
    EXPECT_LE(gaps["p99"].toDouble(), gaps["max"].toDouble());
    const QJsonArray state = summary["state"].toArray();
    ASSERT_EQ(state.size(), 3);
    EXPECT_EQ(state[0].toObject()["address"].toString(), "/ch/02/mix/fader");
    EXPECT_EQ(state[1].toObject()["address"].toString(), "/ch/16/mix/fader");
    EXPECT_EQ(state[2].toObject()["address"].toString(), "/say");
}

TEST(MonitorProgram, SigtermAndSigintPrintSummaryAndExitZero)
{
    constexpr int kLastOctet = 13;
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGINT");
        Monitor monitor(kLastOctet, {});
        ASSERT_TRUE(monitor.Listening()) << monitor.Errors();
        ASSERT_TRUE(OscSend(kLastOctet, {"/config/chlink/1-2", "f", "1"}));
        ASSERT_TRUE(monitor.WaitForLine("/config/chlink/1-2 ,f 1.0 = linked"));
        ASSERT_TRUE(OscSend(kLastOctet, {"/-action/initall", "f", "1"}));
        ASSERT_TRUE(monitor.WaitForLine("/-action/initall ,f 1.0 = initialise console"));

        monitor.Signal(signal);
        ASSERT_TRUE(monitor.ExitsWithZero()) << monitor.Errors();
        EXPECT_TRUE(monitor.WaitForLine("summary: 2 messages, 0 malformed datagrams"));
        const auto gaps = monitor.WaitForLine("gaps between messages (ms): min ");
        ASSERT_TRUE(gaps);
        // One gap: all four statistics are the same number.
        const std::size_t from = gaps->find("min ") + 4;
        const std::string value = gaps->substr(from, gaps->find(',') - from);
        EXPECT_EQ(*gaps, "gaps between messages (ms): min " + value + ", median " + value + ", p99 " + value +
                             ", max " + value);
        EXPECT_TRUE(monitor.WaitForLine("state (2 addresses):"));
        EXPECT_TRUE(monitor.WaitForLine("  /-action/initall ,f 1.0 = initialise console"));
        EXPECT_TRUE(monitor.WaitForLine("  /config/chlink/1-2 ,f 1.0 = linked"));
    }
}

TEST(MonitorProgram, TimeoutEndsAQuietRun)
{
    Monitor monitor(14, {"--timeout", "0.3"});
    ASSERT_TRUE(monitor.Listening()) << monitor.Errors();
    ASSERT_TRUE(monitor.ExitsWithZero()) << monitor.Errors();
    const std::vector<std::string> expected{"summary: 0 messages, 0 malformed datagrams",
                                            "gaps between messages (ms): none", "state (0 addresses):"};
    EXPECT_EQ(monitor.Lines(1), expected);
}

TEST(MonitorProgram, RefusesBadOptions)
{
    const Words bad[] = {{"--port", "70000"},     {"--count", "0"}, {"--timeout", "-1"},
                         {"--bind", "localhost"}, {"--colour"},     {"--count"}};
    for (const Words& options : bad) {
        Child monitor(MonitorCommand(options));
        std::string output;
        EXPECT_EQ(monitor.Finish(output), 2) << options[0];
        EXPECT_EQ(output, "") << options[0];
        EXPECT_EQ(monitor.Errors().rfind("quillon-monitor: ", 0), 0u) << options[0];
    }
}

} // namespace
