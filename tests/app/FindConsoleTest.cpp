// quillon --find as the user and the consoles see it (tests/data/find-console.tsv), run by CTest in
// a network namespace of its own with two networks (scripts/broadcast-net.sh).
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>
#include <map>
#include <thread>

namespace {

const Words kBroadcasts{"255.255.255.255", "10023", "", "192.0.2.255", "10023", "", "198.51.100.255", "10023", ""};

// Counts what arrives at each socket of a row, by its address, " other" than the question apart; a
// question at a broadcast address each console answers with its datagram (to quillon's port on
// any local address: its socket is bound to them all).
void Serve(const std::stop_token& stop, std::deque<UdpReceiver>& sockets, const Words& row,
           std::map<std::string, int>& heard)
{
    while (!stop.stop_requested()) {
        for (std::size_t i = 0; i < sockets.size(); ++i) {
            int port = 0;
            const Bytes datagram = sockets[i].TakeOne(port, std::chrono::milliseconds(5));
            if (!datagram.empty())
                ++heard[row[5 + 3 * i] + (datagram == ParseBytes(R"("/xinfo"~ ","~)") ? "" : " other")];
            for (std::size_t c = 3; !datagram.empty() && i < 3 && c < sockets.size(); ++c)
                sockets[c].SendTo(1, port, ParseBytes(row[7 + 3 * c]));
        }
    }
}

} // namespace

TEST(FindConsole, ListsEachConsoleThatAnswersFromItsPortOnce)
{
    for (Words row : ReadTable("find-console.tsv")) {
        SCOPED_TRACE(row[0]);
        QTemporaryDir folder;
        WriteFile(folder.filePath("config.ini"), "127\r\n0\r\n0\r\n1\r\n");
        // Sockets at the broadcast addresses, ahead of the consoles, hear the questions and answer nothing.
        row.insert(row.begin() + 5, kBroadcasts.begin(), kBroadcasts.end());
        std::deque<UdpReceiver> sockets;
        for (std::size_t i = 5; i + 2 < row.size(); i += 3)
            sockets.emplace_back(row[i], std::stoi(row[i + 1]));
        std::map<std::string, int> heard;
        ChildProcess quillon({"env", "-C", folder.path().toStdString(), QUILLON_COMMAND, "--find", row[1]});
        std::jthread console(Serve, std::ref(sockets), std::cref(row), std::ref(heard));
        EXPECT_EQ(quillon.Finish(), std::stoi(row[3]));
        console = {}; // stopped and joined
        std::string printed;
        for (const std::string& line : quillon.Lines())
            printed += (printed.empty() ? "" : "\n") + line;
        EXPECT_EQ(printed, row[2]);
        EXPECT_EQ(ReadFile(folder.filePath("config.ini")),
                  QByteArray::fromStdString(row[4] + '.').replace('.', "\r\n"));
        // Three questions to 255.255.255.255 and to each network's broadcast address, and nothing else.
        EXPECT_EQ(heard,
                  (std::map<std::string, int>{{"255.255.255.255", 3}, {"192.0.2.255", 3}, {"198.51.100.255", 3}}));
    }
}

// The stand-in bound to 0.0.0.0 answers from the address of each network the question came on.
TEST(FindConsole, FindsTheStandIn)
{
    ChildProcess monitor(MonitorCommand({"--answer", "--bind", "0.0.0.0"}));
    ASSERT_TRUE(monitor.WaitForLine("listening on 0.0.0.0:10023"));
    ChildProcess quillon({QUILLON_COMMAND, "--find"});
    EXPECT_EQ(quillon.Finish(), 0);
    EXPECT_EQ(quillon.Lines(),
              (Words{"192.0.2.1\tquillon-monitor\tX32C\t4.06", "198.51.100.1\tquillon-monitor\tX32C\t4.06"}));
}
