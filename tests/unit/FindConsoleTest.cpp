// quillon --find as the user and the consoles see it, run by CTest in a network namespace of its
// own with two networks, 192.0.2.1/24 and 198.51.100.1/24 (scripts/broadcast-net.sh).
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <thread>

namespace {

const Words kHeard{"255.255.255.255:10023", "192.0.2.255:10023", "198.51.100.255:10023"};
const Bytes kQuestion = ParseBytes(R"("/xinfo"~ ","~)");
const std::string kDeskA = R"("/xinfo"~ ",ssss"~ "0.0.0.0"~ "desk A"~ "X32C"~ "4.06"~)";
const std::string kDeskB = R"("/xinfo"~ ",ssss"~ "0.0.0.0"~ "desk B"~ "X32C"~ "4.08"~)";
const std::string kLineA = "192.0.2.1\tdesk A\tX32C\t4.06", kLineB = "198.51.100.1\tdesk B\tX32C\t4.08";
const std::string kNone = "quillon: No console answered /xinfo on port 10023; asked 3 times at 255.255.255.255, "
                          "192.0.2.255, 198.51.100.255.";
const QByteArray kOldConfig = "127\r\n0\r\n0\r\n1\r\n";

struct Row {
    const char* name;
    Words options;
    std::vector<std::pair<std::string, std::string>> consoles; // "address:port" and the answer it gives
    Words output;                                              // "{}": the folder quillon runs in
    int status;
    QByteArray config = kOldConfig; // afterwards
};

// Every datagram that arrives is recorded as "where it arrived" (" and what" unless the question);
// one that arrived at a broadcast address is answered by each console, to its sender.
void Serve(const std::stop_token& stop, const std::vector<int>& sockets, const Words& names,
           const std::vector<Bytes>& answers, std::multiset<std::string>& heard)
{
    std::vector<pollfd> ready;
    for (const int socket : sockets)
        ready.push_back({socket, POLLIN, 0});
    while (!stop.stop_requested() && ::poll(ready.data(), ready.size(), 20) >= 0) {
        for (std::size_t i = 0; i < sockets.size(); ++i) {
            std::uint8_t datagram[2048];
            sockaddr_in from{};
            socklen_t size = sizeof from;
            const ssize_t length = ::recvfrom(sockets[i], datagram, sizeof datagram, 0, (sockaddr*)&from, &size);
            if (length >= 0)
                heard.insert(names[i] + (Bytes(datagram, datagram + length) == kQuestion ? "" : " other"));
            for (std::size_t c = kHeard.size(); length >= 0 && i < kHeard.size() && c < sockets.size(); ++c)
                ::sendto(sockets[c], answers[c].data(), answers[c].size(), 0, (sockaddr*)&from, size);
        }
    }
}

} // namespace

TEST(FindConsole, ListsEachConsoleThatAnswersFromItsPortOnce)
{
    const Row rows[] = {
        {"one console", {}, {{"192.0.2.1:10023", kDeskA}}, {kLineA}, 0},
        {"two consoles on two networks",
         {},
         {{"192.0.2.1:10023", kDeskA}, {"198.51.100.1:10023", kDeskB}},
         {kLineA, kLineB},
         0},
        {"none", {}, {}, {kNone}, 1},
        {"not ,ssss, and from another port",
         {},
         {{"192.0.2.1:10023", R"("/xinfo"~ ",sss"~ "0.0.0.0"~ "desk A"~ "X32C"~)"}, {"198.51.100.1:10024", kDeskB}},
         {kNone},
         1},
        {"--write replaces config.ini",
         {"--write"},
         {{"192.0.2.1:10023", kDeskA}},
         {kLineA, "Wrote 192.0.2.1 into {}/config.ini"},
         0,
         "192\r\n0\r\n2\r\n1\r\n"},
        {"--write with two consoles",
         {"--write"},
         {{"192.0.2.1:10023", kDeskA}, {"198.51.100.1:10023", kDeskB}},
         {kLineA, kLineB, "quillon: 2 consoles answered; config.ini was not changed."},
         1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir folder;
        WriteFile(folder.filePath("config.ini"), kOldConfig);
        Words names = kHeard, command{"env", "-C", folder.path().toStdString(), QUILLON_COMMAND, "--find"}, output;
        std::vector<Bytes> answers(kHeard.size());
        for (const auto& [where, answer] : row.consoles) {
            names.push_back(where);
            answers.push_back(ParseBytes(answer));
        }
        std::vector<int> sockets;
        for (const std::string& name : names)
            sockets.push_back(BindUdp(name.substr(0, name.find(':')), std::stoi(name.substr(name.find(':') + 1))));
        command.insert(command.end(), row.options.begin(), row.options.end());
        std::multiset<std::string> heard;
        ChildProcess quillon(command);
        std::jthread console(Serve, std::cref(sockets), std::cref(names), std::cref(answers), std::ref(heard));
        EXPECT_EQ(quillon.Finish(), row.status);
        console.request_stop();
        console.join();
        for (std::string line : row.output) {
            if (const std::size_t at = line.find("{}"); at != line.npos)
                line.replace(at, 2, folder.path().toStdString());
            output.push_back(line);
        }
        EXPECT_EQ(quillon.Lines(), output);
        EXPECT_EQ(ReadFile(folder.filePath("config.ini")), row.config);
        // Three questions to 255.255.255.255 and to each network's broadcast address, and nothing else.
        std::multiset<std::string> asked;
        for (int round = 0; round < 3; ++round)
            asked.insert(kHeard.begin(), kHeard.end());
        EXPECT_EQ(heard, asked);
        for (const int socket : sockets)
            ::close(socket);
    }
}

// Bound to 0.0.0.0 it is on both networks, and answers from each.
TEST(FindConsole, FindsTheStandInBoundToEveryAddress)
{
    ChildProcess monitor(MonitorCommand({"--answer", "--bind", "0.0.0.0"}));
    ASSERT_TRUE(monitor.WaitForLine("listening on"));
    ChildProcess quillon({QUILLON_COMMAND, "--find"});
    EXPECT_EQ(quillon.Finish(), 0);
    EXPECT_EQ(quillon.Lines(),
              (Words{"192.0.2.1\tquillon-monitor\tX32C\t4.06", "198.51.100.1\tquillon-monitor\tX32C\t4.06"}));
}
