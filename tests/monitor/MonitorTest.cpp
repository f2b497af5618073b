// What quillon-monitor prints: each datagram's lines from the strict decoder and a whole run with
// its summary, in text and JSON (the tables are in tests/data); then the built program on
// 127.0.0.N with a message from liblo's oscsend (an encoder other than ours) and raw datagrams.
#include "monitor/MonitorLog.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <regex>

TEST(MonitorLog, LinesTable)
{
    const std::regex timeAndGap(R"(^0\.000 s  (first +|\+0\.0 ms +)?)");
    for (const Words& row : ReadTable("monitor-lines.tsv")) {
        MonitorLog log(OutputFormat::Text);
        Words lines{row[0]};
        for (const std::string& line : log.Receive(ParseBytes(row[0]), 0.0))
            lines.push_back(std::regex_replace(line, timeAndGap, ""));
        EXPECT_EQ(lines, row);
    }
}

// Deep nesting is refused before it can exhaust the stack.
TEST(MonitorLog, BundlesNestEightLevelsDeep)
{
    Bytes datagram = ParseBytes(R"("/ch/01/mix/fader"~ ",f"~ 3F400000)");
    for (int depth = 1; depth <= 9; ++depth) {
        const Bytes head = ParseBytes(R"("#bundle"~ 00000000 00000001 000000)");
        datagram.insert(datagram.begin(), static_cast<std::uint8_t>(datagram.size()));
        datagram.insert(datagram.begin(), head.begin(), head.end());
        EXPECT_EQ(DecodeDatagram(datagram).messages.size(), depth <= 8 ? 1u : 0u) << depth;
    }
    EXPECT_TRUE(DecodeDatagram(datagram).error.ends_with(": bundles nested deeper than 8 levels"));
}

// Gaps of 50, 50, 60, 1000 and 0 ms: nearest-rank median and 99th percentile; the state sorted.
TEST(MonitorLog, RunAndSummary)
{
    const std::pair<const char*, double> run[] = {
        {R"("/main/st/mix/on"~ ",f"~ 3F800000)", 0.0},
        {R"("/ch/01/mix/fader"~ ",f"~ 3F800000)", 0.05},
        {R"("/-stat/chfaderbank"~ ",f"~ 3DCCCCCD)", 0.1},
        {R"("/ch/01/mix/fader"~ ",f"~ 3F400000)", 0.16},
        {R"("#bundle"~ 00000000 00000001 00000010 "/q" 22 5C 01 E9 ~ ",f"~ 7FC00000)"
         R"( 00000020 "/say"~ ",sib"~ "hi"~ FFFFFFFE 00000002 01020000)",
         1.16},
        {"01 02 03", 1.2},
    };
    for (const auto& [format, expected] :
         {std::pair{OutputFormat::Text, "monitor-run.txt"}, std::pair{OutputFormat::Json, "monitor-run.jsonl"}}) {
        MonitorLog log(format);
        std::vector<Words> lines;
        for (const auto& [datagram, seconds] : run) {
            for (const std::string& line : log.Receive(ParseBytes(datagram), seconds))
                lines.push_back({line});
        }
        for (const std::string& line : log.Summary())
            lines.push_back({line});
        EXPECT_EQ(lines, ReadTable(expected, false));
    }
    EXPECT_EQ(MonitorLog(OutputFormat::Text).Summary().at(1), "gaps between messages (ms): none");
}

// Port 0 takes a free port and says which; each line comes as it happens; the third message ends
// the run with the summary.
TEST(MonitorProgram, PrintsEachMessageThenTheSummary)
{
    ChildProcess monitor(MonitorCommand({"--bind", "127.0.0.10", "--port", "0", "--count", "3", "--timeout", "60"}));
    const std::optional<std::string> listening = monitor.WaitForLine("listening on 127.0.0.10:");
    ASSERT_TRUE(listening);
    const std::string port = listening->substr(listening->rfind(':') + 1);
    ASSERT_NE(std::stoi(port), 0);
    EXPECT_EQ(ChildProcess({"oscsend", "127.0.0.10", port, "/ch/01/mix/fader", "f", "0.5"}).Finish(), 0);
    const std::optional<std::string> first = monitor.WaitForLine("/ch/01/mix/fader");
    EXPECT_TRUE(
        std::regex_match(first.value_or(""), std::regex(R"(\d+\.\d{3} s  first +/ch/01/mix/fader ,f 0.5 = -10.0 dB)")));
    const UdpReceiver sender(20, 0);
    ASSERT_TRUE(sender.SendTo(10, std::stoi(port), ParseBytes(R"("/c" 00 "x" ",f"~ 00000000 00)")));
    EXPECT_TRUE(monitor.WaitForLine(" s  malformed datagram (13 bytes): address not padded with zero bytes"));
    ASSERT_TRUE(sender.SendTo(10, std::stoi(port),
                              ParseBytes(R"("#bundle"~ 00000000 00000001 0000001C "/ch/03/mix/fader"~ ",f"~ 3F400000)"
                                         R"( 00000018 "/ch/03/mix/on"~ ",f"~ 00000000)")));
    EXPECT_TRUE(monitor.WaitForLine(" s  +0.0 ms     /ch/03/mix/on ,f 0.0 = off"));
    ASSERT_EQ(monitor.Finish(), 0);
    Words summary(monitor.Lines().end() - 6, monitor.Lines().end());
    EXPECT_TRUE(summary[1].starts_with("gaps between messages (ms): min 0.0, median ")) << summary[1];
    summary.erase(summary.begin() + 1);
    EXPECT_EQ(summary, (Words{"summary: 3 messages, 1 malformed datagram",
                              "state (3 addresses):", "  /ch/01/mix/fader ,f 0.5 = -10.0 dB",
                              "  /ch/03/mix/fader ,f 0.75 = 0.0 dB", "  /ch/03/mix/on ,f 0.0 = off"}));
}

// JSON Lines; SIGTERM ends the run with the summary.
TEST(MonitorProgram, JsonUntilSignalled)
{
    ChildProcess monitor(MonitorCommand({"--bind", "127.0.0.11", "--json", "--timeout", "60"}));
    ASSERT_TRUE(monitor.WaitForLine(R"({"listening":"127.0.0.11:10023"})"));
    ASSERT_TRUE(UdpReceiver(21, 0).SendTo(11, 10023, ParseBytes(R"("/ch/16/mix/fader"~ ",f"~ 3E800000)")));
    ASSERT_TRUE(monitor.WaitForLine(R"("gap_ms":null,"address":"/ch/16/mix/fader")"));
    ::kill(monitor.pid, SIGTERM);
    ASSERT_EQ(monitor.Finish(), 0);
    EXPECT_EQ(monitor.Lines().back(), R"({"summary":{"messages":1,"malformed":0,"gaps_ms":null,"state":[{"address":)"
                                      R"("/ch/16/mix/fader","types":",f","args":[0.25],"meaning":"-30.0 dB"}]}})");
}

TEST(MonitorProgram, RefusesBadOptions)
{
    for (const Words& options :
         {Words{"--port", "65536"}, Words{"--port", "-1"}, Words{"--count", "0"}, Words{"--timeout", "-1"},
          Words{"--bind", "localhost"}, Words{"--colour"}, Words{"--count"}}) {
        ChildProcess monitor(MonitorCommand(options));
        EXPECT_EQ(monitor.Finish(), 2) << options[0];
        EXPECT_TRUE(monitor.Lines().at(0).starts_with("quillon-monitor: ")) << options[0];
    }
}
