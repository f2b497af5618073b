// The bytes on the wire and what the console makes of them: the console units, the
// monitor's lines, a run with its summary, its subscribers, its meters and what it sends (tables in
// tests/data); then the built quillon-monitor on 127.0.0.N with a message from liblo's oscsend
// (another encoder), raw datagrams, queries, changes to subscribers, delay, silence, meter frames,
// and "/xinfo" broadcasts in a network namespace of the test's own.
#include "monitor/MonitorLog.h"
#include "monitor/Outbox.h"
#include "osc/ConsoleUnits.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <bit>
#include <cmath>
#include <csignal>
#include <poll.h>
#include <regex>
#include <set>

// A meter frame's 27 levels in dBFS, once its bytes before them are checked ("/meters/5", ",b", the
// blob's size 112 big-endian as OSC, the count 27 little-endian as the console) and its channels lie
// within -40 to -6 dBFS.
static std::vector<double> MeterDb(const Bytes& frame)
{
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 24), ParseBytes(R"("/meters/5"~ ",b"~ 00000070 1B000000)"));
    std::vector<double> db;
    for (std::size_t i = 24; i + 4 <= frame.size(); i += 4)
        db.push_back(20 * std::log10(std::bit_cast<float>(frame[i] | frame[i + 1] << 8 | frame[i + 2] << 16 |
                                                          std::uint32_t(frame[i + 3]) << 24)));
    EXPECT_TRUE(db.size() == 27 &&
                std::all_of(db.begin(), db.begin() + 16, [](double db) { return db > -40.01 && db < -5.99; }));
    return db;
}

TEST(ConsoleUnits, LawTable)
{
    for (const Words& row : ReadTable("console-units.tsv")) {
        if (row[0] == "hundredths") {
            EXPECT_EQ(ToHundredths(std::stof(row[1])), std::stoll(row[2])) << row[1];
            continue;
        }
        const bool fader = row[0] == "fader";
        const float value = std::stof(row[1]);
        const double db = fader ? FaderLevelToDb(value) : PreampGainToDb(value);
        const double expected = std::stod(row[2]);
        EXPECT_TRUE(db == expected || std::abs(db - expected) < 1e-4 || (std::isnan(db) && std::isnan(expected)))
            << row[0] << ' ' << row[1] << " gave " << db;
        EXPECT_EQ(fader ? FormatFaderLevel(value) : FormatPreampGain(value), row[3]) << row[1];
    }
}

TEST(MonitorLog, LinesTable)
{
    for (const Words& row : ReadTable("monitor-lines.tsv")) {
        MonitorLog log(OutputFormat::Text);
        Words lines{row[0]};
        for (const std::string& line : log.Receive(ParseBytes(row[0]), 0.0))
            lines.push_back(std::regex_replace(line, std::regex(R"(^0\.000 s  (first +|\+0\.0 ms +)?)"), ""));
        EXPECT_EQ(lines, row);
    }
}

TEST(MonitorLog, RunAndSummary)
{
    for (const auto& [format, expected] :
         {std::pair{OutputFormat::Text, "monitor-run.txt"}, std::pair{OutputFormat::Json, "monitor-run.jsonl"}}) {
        MonitorLog log(format);
        std::vector<Words> lines;
        for (const Words& row : ReadTable("monitor-run.tsv")) {
            for (const std::string& line : log.Receive(ParseBytes(row[1]), std::stod(row[0])))
                lines.push_back({line});
        }
        for (const std::string& line : log.Summary())
            lines.push_back({line});
        EXPECT_EQ(lines, ReadTable(expected, false));
    }
    EXPECT_EQ(MonitorLog(OutputFormat::Text).Summary().at(1), "gaps between messages (ms): none");
}

TEST(MonitorSubscribers, TimesTable)
{
    const auto peer = [](const std::string& text) {
        return Peer{std::uint32_t(std::stoi(text)), std::uint16_t(std::stoi(text.substr(text.find(':') + 1)))};
    };
    Subscribers subscribers;
    for (const Words& row : ReadTable("monitor-subscribers.tsv")) {
        if (row[1] != "-")
            subscribers.Subscribe(peer(row[1]), std::stod(row[0]));
        std::string live;
        for (const Peer& each : subscribers.LiveExcept(row[2] == "-" ? Peer{} : peer(row[2]), std::stod(row[0])))
            live += (live.empty() ? "" : " ") + std::to_string(each.address) + ':' + std::to_string(each.port);
        EXPECT_EQ(live, row[3]) << row[0];
    }
}

// Falling silent drops the answer --delay holds back, and takes no new one.
TEST(MonitorOutbox, SilenceDropsWhatWaits)
{
    MonitorLog log(OutputFormat::Text);
    log.Receive(ParseBytes(R"("/ch/01/mix/on"~)"), 0.0);
    Outbox outbox(0.25);
    outbox.Post(log, Peer{}, 0.0);
    outbox.SetSilent(true);
    outbox.Post(log, Peer{}, 0.1);
    EXPECT_FALSE(outbox.NextDue());
}

TEST(MonitorMeters, FollowTheMixTable)
{
    for (const Words& row : ReadTable("monitor-meters.tsv")) {
        MonitorLog log(OutputFormat::Text);
        for (auto set = row.begin(); set != row.end() - 2; ++set)
            log.Receive(ParseBytes(*set), 0.0);
        const std::vector<double> db = MeterDb(log.MeterFrame(1.0));
        const double expected = row.back() == "silence" ? -128 : db[0] + std::stod(row.back());
        EXPECT_NEAR(db.at(std::stoul(row.end()[-2])), expected, 0.01) << row[0] << " meter " << row.end()[-2];
    }
}

TEST(MonitorMeters, TimesTable)
{
    MonitorLog log(OutputFormat::Text);
    Outbox outbox(0.0);
    for (const Words& row : ReadTable("monitor-meter-times.tsv")) {
        const double seconds = std::stod(row[0]);
        log.Receive(ParseBytes(R"("/meters"~ ",siii"~ "/meters/5"~ 00000000 00000001 )" + row[2]), seconds);
        outbox.Post(log, Peer{std::uint32_t(row[1][0]), 1}, seconds);
        if (row[1] == "silent" || row[1] == "answering")
            outbox.SetSilent(row[1] == "silent");
        std::string sent;
        for (const Letter& letter : outbox.TakeDue(seconds, log))
            sent += (sent.empty() ? "" : " ") + std::string(1, char(letter.to.address));
        EXPECT_EQ(sent, row[3]) << row[0];
    }
}

// Port 0 takes a free port and says which; a malformed datagram, then a message that ends the run
// (--count 1) with the summary.
TEST(MonitorProgram, PrintsEachLineThenTheSummary)
{
    ChildProcess monitor(MonitorCommand({"--bind", "127.0.0.10", "--port", "0", "--count", "1", "--timeout", "60"}));
    const std::string port = monitor.WaitForLine("listening on 127.0.0.10:").value_or("no line: 0").substr(24);
    ASSERT_NE(std::stoi(port), 0);
    ASSERT_TRUE(UdpReceiver(20, 0).SendTo(10, std::stoi(port), ParseBytes(R"("/c" 00 "x" ",f"~ 00000000 00)")));
    ASSERT_TRUE(monitor.WaitForLine("malformed"));
    EXPECT_EQ(ChildProcess({"oscsend", "127.0.0.10", port, "/ch/01/mix/fader", "f", "0.5"}).Finish(), 0);
    ASSERT_EQ(monitor.Finish(), 0);
    Words lines;
    for (const std::string& line : monitor.Lines())
        lines.push_back(std::regex_replace(line, std::regex(R"(^\d+\.\d{3} s )"), "T"));
    EXPECT_EQ(
        lines,
        (Words{"listening on 127.0.0.10:" + port, "T malformed datagram (13 bytes): address not padded with zero bytes",
               "T first       /ch/01/mix/fader ,f 0.5 = -10.0 dB", "summary: 1 message, 1 malformed datagram",
               "gaps between messages (ms): none", "state (1 address):", "  /ch/01/mix/fader ,f 0.5 = -10.0 dB"}));
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
    EXPECT_EQ(monitor.Lines().back(),
              R"({"summary":{"messages":1,"queries":0,"malformed":0,"gaps_ms":null,"state":[{"address":)"
              R"("/ch/16/mix/fader","types":",f","args":[0.25],"meaning":"-30.0 dB"}]}})");
}

// --answer: each row of the table sent in turn and its line awaited (queries say "query"); then
// exactly the answers, in order, from the monitor's port. RunAndSummary checks the query count.
TEST(MonitorProgram, AnswersQueriesLikeTheConsole)
{
    ChildProcess monitor(MonitorCommand({"--answer", "--bind", "127.0.0.12", "--port", "0", "--timeout", "60"}));
    const int port = std::stoi(monitor.WaitForLine("listening on 127.0.0.12:").value_or("no line: 0").substr(24));
    UdpReceiver console(22, 0); // a free port: 127.0.0.22:10023 is a window test's
    std::vector<Bytes> answers;
    for (const Words& row : ReadTable("monitor-answers.tsv")) {
        ASSERT_TRUE(console.SendTo(12, port, ParseBytes(row[0])));
        ASSERT_TRUE(monitor.WaitForLine(row[1])) << row[1];
        answers.push_back(ParseBytes(row[2]));
    }
    std::erase(answers, Bytes{});
    EXPECT_EQ(console.WaitFor(answers.size() + 1, std::chrono::milliseconds(500)), answers);
}

// Clients A and B and the signals in the order of the table's rows, each row's line awaited; then
// exactly what each client should have received, in order.
TEST(MonitorProgram, ForwardsChangesAndFallsSilent)
{
    ChildProcess monitor(MonitorCommand({"--answer", "--bind", "127.0.0.15", "--port", "0", "--timeout", "60"}));
    const int port = std::stoi(monitor.WaitForLine("listening on 127.0.0.15:").value_or("no line: 0").substr(24));
    UdpReceiver clients[2]{UdpReceiver(13, 0), UdpReceiver(14, 0)};
    std::vector<Bytes> expected[2];
    for (const Words& row : ReadTable("monitor-follow.tsv")) {
        if (row[0].starts_with("SIG"))
            ::kill(monitor.pid, row[0] == "SIGUSR1" ? SIGUSR1 : row[0] == "SIGUSR2" ? SIGUSR2 : SIGTERM);
        else
            ASSERT_TRUE(clients[row[0] == "B"].SendTo(15, port, ParseBytes(row[1])));
        ASSERT_TRUE(monitor.WaitForLine(row[2])) << row[2];
        for (const int i : {0, 1})
            if (!row[3 + i].empty())
                expected[i].push_back(ParseBytes(row[3 + i]));
    }
    for (const int i : {0, 1})
        EXPECT_EQ(clients[i].WaitFor(expected[i].size() + 1, std::chrono::milliseconds(500)), expected[i]) << i;
}

// --delay 150: the answer leaves no sooner than 150 ms after its query arrived.
TEST(MonitorProgram, DelaysWhatItSends)
{
    ChildProcess monitor(
        MonitorCommand({"--answer", "--delay", "150", "--bind", "127.0.0.16", "--port", "0", "--timeout", "60"}));
    const int port = std::stoi(monitor.WaitForLine("listening on 127.0.0.16:").value_or("no line: 0").substr(24));
    UdpReceiver client(17, 0);
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(client.SendTo(16, port, ParseBytes(R"("/main/st/mix/on"~)")));
    EXPECT_EQ(client.WaitFor(1), std::vector<Bytes>{ParseBytes(R"("/main/st/mix/on" 00 ",i" 0000 00000001)")});
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(150));
}

TEST(MonitorProgram, RefusesBadOptions)
{
    for (const Words& options : {Words{"--port", "65536"}, Words{"--port", "-1"}, Words{"--count", "0"},
                                 Words{"--timeout", "-1"}, Words{"--bind", "localhost"}, Words{"--colour"},
                                 Words{"--count"}, Words{"--delay", "10001"}, Words{"--delay", "-1"}}) {
        ChildProcess monitor(MonitorCommand(options));
        EXPECT_EQ(monitor.Finish(), 2) << options[0];
        EXPECT_TRUE(monitor.Lines().at(0).starts_with("quillon-monitor: ")) << options[0];
    }
}

// --answer streams meter frames to whoever asks, each channel moving in a phase of its own; the
// summary counts every frame sent. MonitorMeters checks them against the mix.
TEST(MonitorProgram, StreamsMeters)
{
    ChildProcess monitor(MonitorCommand({"--answer", "--bind", "127.0.0.130", "--port", "0", "--timeout", "60"}));
    const int port = std::stoi(monitor.WaitForLine("listening on 127.0.0.130:").value_or("no line: 0").substr(25));
    UdpReceiver client(131, 0);
    ASSERT_TRUE(client.SendTo(130, port, ParseBytes(R"("/meters"~ ",siii"~ "/meters/5"~ 00000000 00000001 00000001)")));
    std::vector<Bytes> frames = client.WaitFor(3);
    ::kill(monitor.pid, SIGTERM);
    ASSERT_EQ(monitor.Finish(), 0);
    const std::vector<double> first = MeterDb(frames.at(0)), last = MeterDb(frames.at(2));
    EXPECT_NE(last[0], first[0]);
    EXPECT_EQ(std::set(last.begin(), last.begin() + 16).size(), 16u);
    frames.resize(frames.size() + client.TakeAll().size());
    EXPECT_EQ(monitor.Lines().at(2),
              "summary: 1 message, 0 malformed datagrams, " + std::to_string(frames.size()) + " meter frames sent");
}

// Run by monitor_broadcast_test in a network namespace of its own with a virtual interface: bound to
// 0.0.0.0, the monitor answers "/xinfo" sent to 255.255.255.255 and to the interface's broadcast
// address, to the asker, from the interface's address and the console's port.
TEST(MonitorBroadcast, AnswersXinfoFromTheInterface)
{
    const char* own = std::getenv("QUILLON_OWN_ADDRESS");
    if (own == nullptr)
        GTEST_SKIP() << "runs as monitor_broadcast_test, in a network namespace of its own";
    ChildProcess monitor(MonitorCommand({"--answer", "--bind", "0.0.0.0", "--timeout", "60"}));
    ASSERT_TRUE(monitor.WaitForLine("listening on 0.0.0.0:10023"));
    const int asker = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0), on = 1;
    ::setsockopt(asker, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    // Connected to the interface's address and port 10023, the socket takes datagrams from there alone.
    const sockaddr_in console{AF_INET, htons(10023), {::inet_addr(own)}, {}};
    ::connect(asker, reinterpret_cast<const sockaddr*>(&console), sizeof console);
    for (const char* to : {"255.255.255.255", static_cast<const char*>(std::getenv("QUILLON_OWN_BROADCAST"))}) {
        const sockaddr_in address{AF_INET, htons(10023), {::inet_addr(to)}, {}};
        ::sendto(asker, "/xinfo\0\0", 8, 0, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        std::uint8_t reply[2048];
        pollfd ready{asker, POLLIN, 0};
        const ssize_t length = ::poll(&ready, 1, 20000) == 1 ? ::recv(asker, reply, sizeof reply, 0) : 0;
        EXPECT_EQ(Bytes(reply, reply + length),
                  ParseBytes(R"("/xinfo"~ ",ssss"~ "0.0.0.0"~ "quillon-monitor"~ "X32C"~ "4.06"~)"))
            << to;
    }
    ::close(asker);
}
