// The network, pause and byte-block services: real datagrams over loopback, an independent OSC
// decoder, signal-proof pauses, address packing and zero-filled blocks.
#include "host/Blocks.h"
#include "host/Network.h"
#include "host/Timing.h"
#include "osc/OscMessage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

struct ConnectionCloser {
    void operator()(Connection* connection) const { CloseConnection(connection); }
};
using OpenedConnection = std::unique_ptr<Connection, ConnectionCloser>;

OpenedConnection OpenUdp(const QString& host, int port = 10023)
{
    return OpenedConnection(OpenConnection(host, port));
}

Bytes Encode(std::string_view address, float value)
{
    Bytes block(kOscMessageSize, 0);
    block.resize(static_cast<std::size_t>(BuildOscMessage(block.data(), address, ",f", value)));
    return block;
}

long Send(Connection* connection, const Bytes& message)
{
    return SendDatagram(connection, message.data(), static_cast<std::ptrdiff_t>(message.size()));
}

// --- The mixer link over loopback ---

// Opening the link puts nothing on the wire: the first datagram the mixer sees is the first send.
TEST(NetworkLink, OpeningSendsNothing)
{
    UdpReceiver mixer(2);
    const OpenedConnection link = OpenUdp(mixer.Address());
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(mixer.WaitFor(1, 200ms).empty());
    const Bytes message = Encode("/ch/01/mix/fader", 0.75f);
    ASSERT_EQ(Send(link.get(), message), 28);
    EXPECT_EQ(mixer.WaitFor(2, 300ms), std::vector<Bytes>{message});
}

// Unbound and unconnected, so the first send picks the port and a refused port never fails later sends.
TEST(NetworkLink, OpensUnboundUnconnectedNonBlockingSocket)
{
    const OpenedConnection link = OpenUdp(QStringLiteral("127.0.0.2"));
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->address, htonl(0x7F000002u));
    EXPECT_EQ(link->port, 10023);
    sockaddr_in local{};
    socklen_t size = sizeof local;
    ASSERT_EQ(::getsockname(link->socket, reinterpret_cast<sockaddr*>(&local), &size), 0);
    EXPECT_EQ(local.sin_port, 0) << "bound";
    sockaddr_in peer{};
    size = sizeof peer;
    EXPECT_NE(::getpeername(link->socket, reinterpret_cast<sockaddr*>(&peer), &size), 0) << "connected";
    EXPECT_NE(::fcntl(link->socket, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(::fcntl(link->socket, F_GETFD) & FD_CLOEXEC, 0);
}

TEST(NetworkLink, MessageArrivesAsExactlyOneDatagram)
{
    UdpReceiver mixer(3);
    const OpenedConnection link = OpenUdp(mixer.Address());
    ASSERT_NE(link, nullptr);
    // "/config/chlink/15-16" + 4 NUL | ",f" + 2 NUL | 1.0f
    // clang-format off
    const Bytes longest{0x2F,0x63,0x6F,0x6E, 0x66,0x69,0x67,0x2F, 0x63,0x68,0x6C,0x69, 0x6E,0x6B,0x2F,0x31,
                        0x35,0x2D,0x31,0x36, 0x00,0x00,0x00,0x00, 0x2C,0x66,0x00,0x00, 0x3F,0x80,0x00,0x00};
    // clang-format on
    Bytes block(kOscMessageSize, 0);
    const std::ptrdiff_t length = BuildOscMessage(block.data(), "/config/chlink/15-16", ",f", 1.0f);
    EXPECT_EQ(SendDatagram(link.get(), block.data(), length), 32);
    EXPECT_EQ(mixer.WaitFor(2, 300ms), std::vector<Bytes>{longest});
}

TEST(NetworkLink, SendsArriveSeparatelyInOrder)
{
    UdpReceiver mixer(4);
    const OpenedConnection link = OpenUdp(mixer.Address());
    ASSERT_NE(link, nullptr);
    const std::vector<Bytes> sent{Encode("/-action/initall", 1.0f), Encode("/ch/01/mix/fader", 0.75f),
                                  Encode("/main/st/mix/on", 0.0f), Encode("/config/chlink/1-2", 1.0f)};
    for (const Bytes& message : sent) {
        EXPECT_EQ(Send(link.get(), message), static_cast<long>(message.size()));
    }
    EXPECT_EQ(mixer.WaitFor(sent.size()), sent);
}

TEST(NetworkLink, ResolvesLocalhostFromHostsFile)
{
    const OpenedConnection link = OpenUdp(QStringLiteral("localhost"));
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->address, htonl(INADDR_LOOPBACK));
}

struct RefusedHost {
    const char* name;
    const char* host;
};

void PrintTo(const RefusedHost& row, std::ostream* out)
{
    *out << '"' << row.host << '"';
}

class NetworkLinkRefusedHost : public testing::TestWithParam<RefusedHost> {};

TEST_P(NetworkLinkRefusedHost, GivesNoConnection)
{
    // Looking a name up asks the configured name server: only where nothing leaves the machine.
    if (std::string_view(GetParam().name) == "Unresolvable" && !OnlyLoopbackReachable()) {
        GTEST_SKIP() << "name look-ups run only in the loopback-only namespace";
    }
    EXPECT_EQ(OpenUdp(QString::fromLatin1(GetParam().host)), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Hosts, NetworkLinkRefusedHost,
                         testing::Values(RefusedHost{"Empty", ""}, RefusedHost{"Broadcast", "255.255.255.255"},
                                         RefusedHost{"Unresolvable", "no-such-host.invalid"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The program sends on whatever OpenConnection gave it, null included.
TEST(NetworkLink, SendOnNoConnectionFailsHarmlessly)
{
    const Bytes message = Encode("/ch/01/mix/fader", 0.75f);
    EXPECT_EQ(Send(nullptr, message), -1);
    CloseConnection(nullptr);
}

TEST(NetworkLink, SendToUnreachableNetworkFailsAtOnce)
{
    if (!OnlyLoopbackReachable()) {
        GTEST_SKIP() << "needs a network namespace with loopback only";
    }
    const OpenedConnection link = OpenUdp(QStringLiteral("192.0.2.1"));
    ASSERT_NE(link, nullptr);
    const Bytes message = Encode("/ch/01/mix/fader", 0.75f);
    EXPECT_EQ(Send(link.get(), message), -1);
    EXPECT_EQ(errno, ENETUNREACH);
    EXPECT_EQ(Send(link.get(), message), -1);
}

// A child program whose standard output the test reads. posix_spawnp rather than QProcess:
// QProcess's clone flags are refused under qemu-i386, where the 32-bit tests run.
class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> arguments)
    {
        int pipeEnds[2];
        if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeEnds[1]);
        output_ = pipeEnds[0];
    }
    ~ChildProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(output_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }

    // Everything printed so far, after waiting up to `wait` for more.
    const std::string& Output(std::chrono::milliseconds wait)
    {
        pollfd ready{output_, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(wait.count())) > 0) {
            char buffer[4096];
            const ssize_t got = ::read(output_, buffer, sizeof buffer);
            text_.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
        }
        return text_;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string text_;
};

// liblo's oscdump, a decoder written by others, reads our datagram as the same message.
TEST(NetworkLink, IndependentDecoderReadsMessage)
{
    constexpr int kDumpPort = 17005;
    ChildProcess dump({"oscdump", "-L", std::to_string(kDumpPort)});
    ASSERT_TRUE(dump.Started()) << "oscdump (liblo-tools) is required";
    const OpenedConnection link = OpenUdp(QStringLiteral("127.0.0.5"), kDumpPort);
    ASSERT_NE(link, nullptr);
    const Bytes message = Encode("/ch/01/mix/fader", 0.75f);

    // oscdump listens a moment after it starts: resend until a whole line comes back.
    std::string output;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (output.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        Send(link.get(), message);
        output = dump.Output(200ms);
    }

    // A line reads "[time tag] /ch/01/mix/fader f 0.750000".
    std::istringstream line(output.substr(0, output.find('\n')));
    std::vector<std::string> fields{std::istream_iterator<std::string>(line), {}};
    const auto address = std::find_if(fields.begin(), fields.end(), [](const auto& f) { return f.front() == '/'; });
    ASSERT_TRUE(address != fields.end() && fields.end() - address == 3)
        << "oscdump (liblo-tools) printed: \"" << output << '"';
    EXPECT_EQ(address[0], "/ch/01/mix/fader");
    EXPECT_EQ(address[1], "f");
    EXPECT_EQ(address[2], "0.750000");
}

// --- Address packing ---

struct Packing {
    const char* name;
    std::int64_t octets[4];
    std::int64_t packed;
};

void PrintTo(const Packing& row, std::ostream* out)
{
    *out << row.octets[0] << ", " << row.octets[1] << ", " << row.octets[2] << ", " << row.octets[3];
}

class NetworkPackIPv4Table : public testing::TestWithParam<Packing> {};

TEST_P(NetworkPackIPv4Table, PacksLowOctetFirst)
{
    const auto& o = GetParam().octets;
    EXPECT_EQ(PackIPv4(o[0], o[1], o[2], o[3]), GetParam().packed);
}

INSTANTIATE_TEST_SUITE_P(Octets, NetworkPackIPv4Table,
                         testing::Values(Packing{"Private", {192, 168, 0, 1}, 0x0100A8C0},
                                         Packing{"CarryIntoSecond", {256, 0, 0, 0}, 0x00000100},
                                         Packing{"BorrowFromFourth", {0, -1, 0, 1}, 0x00FFFF00},
                                         Packing{"NegativeFirst", {-1, 0, 0, 0}, -1},
                                         Packing{"AllOnesSignExtends", {255, 255, 255, 255}, -1},
                                         Packing{"HighBitSignExtends", {0, 0, 0, 128}, -0x80000000LL},
                                         Packing{"CarryOutOfTopIsLost", {0, 0, 0, 256}, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NetworkPackIPv4, BytesLowToHighAreTheOctets)
{
    const auto packed = static_cast<std::uint32_t>(PackIPv4(192, 168, 0, 1));
    EXPECT_EQ(packed & 0xFF, 192u);
    EXPECT_EQ((packed >> 8) & 0xFF, 168u);
    EXPECT_EQ((packed >> 16) & 0xFF, 0u);
    EXPECT_EQ(packed >> 24, 1u);
    EXPECT_EQ(PackIPv4(256, 0, 0, 0), PackIPv4(0, 1, 0, 0));
}

// --- Pause ---

std::chrono::milliseconds Elapsed(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since);
}

TEST(Pause, TwoPausesLastAtLeastTheirSum)
{
    const auto start = std::chrono::steady_clock::now();
    Pause(50);
    Pause(50);
    EXPECT_GE(Elapsed(start), 100ms);
}

volatile std::sig_atomic_t alarms = 0;
void CountAlarm(int)
{
    alarms = alarms + 1;
}

// A signal handler without SA_RESTART makes a plain sleep return early; the pause must not.
TEST(Pause, SignalsDoNotShortenIt)
{
    struct sigaction handler {};
    handler.sa_handler = CountAlarm;
    sigemptyset(&handler.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGALRM, &handler, &previous), 0);
    alarms = 0;
    const itimerval every10ms{{0, 10'000}, {0, 10'000}};
    ASSERT_EQ(::setitimer(ITIMER_REAL, &every10ms, nullptr), 0);

    const auto start = std::chrono::steady_clock::now();
    Pause(100);
    const auto elapsed = Elapsed(start);

    const itimerval off{};
    ::setitimer(ITIMER_REAL, &off, nullptr);
    ::sigaction(SIGALRM, &previous, nullptr);
    EXPECT_GT(alarms, 0) << "no signal arrived during the pause";
    EXPECT_GE(elapsed, 100ms);
}

// --- Byte blocks ---

TEST(OscMessageBlock, AllocatesZeroFilledEvenWhereMemoryWasUsed)
{
    // A reused block must come back zeroed, not with the previous owner's bytes.
    for (int round = 0; round < 3; ++round) {
        std::uint8_t* block = AllocateZeroed(kOscMessageSize);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(std::count(block, block + kOscMessageSize, 0), kOscMessageSize) << "round " << round;
        std::fill(block, block + kOscMessageSize, 0xA5);
        FreeBlock(block);
    }
}

TEST(OscMessageBlock, SizeBelowOneGivesNullAndNullIsFreedHarmlessly)
{
    EXPECT_EQ(AllocateZeroed(0), nullptr);
    EXPECT_EQ(AllocateZeroed(-1), nullptr);
    FreeBlock(nullptr);
}

} // namespace
