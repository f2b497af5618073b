// The host services: number and text rules, text files byte for byte, the UDP link over loopback,
// pauses and starting other programs. The tables are in tests/data.
#include "app/Configuration.h"
#include "host/Network.h"
#include "host/Process.h"
#include "host/Text.h"
#include "host/TextFile.h"
#include "host/Timing.h"
#include "osc/ConsoleUnits.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <bit>
#include <clocale>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

TEST(Config, AddressFromTheFourLines)
{
    QTemporaryDir folder;
    for (const Words& row : ReadTable("config-address.tsv")) {
        WriteFile(folder.filePath(u"config.ini"_s), ToQByteArray(ParseBytes(row[0])));
        TextFile file;
        ASSERT_TRUE(OpenFileForReading(file, folder.filePath(u"config.ini"_s)));
        EXPECT_EQ(DottedIPv4(static_cast<std::uint32_t>(ReadMixerAddress(file))).toStdString(), row[1]) << row[0];
    }
}

TEST(Text, TablesAndLocale)
{
    for (const Words& row : ReadTable("parse-integer.tsv"))
        EXPECT_EQ(ParseInteger(QString::fromStdString(row[0])), std::stoll(row[1])) << row[0];
    for (const Words& row : ReadTable("parse-float.tsv")) // bit for bit: -0 is not 0
        EXPECT_EQ(std::bit_cast<std::uint32_t>(ParseFloat(QString::fromStdString(row[0]))),
                  std::bit_cast<std::uint32_t>(std::strtof(row[1].c_str(), nullptr)))
            << row[0];
    for (const Words& row : ReadTable("directory-part.tsv"))
        EXPECT_EQ(DirectoryPart(QString::fromStdString(row[0])).toStdString(), row[1]) << row[0];
    for (const Words& r : ReadTable("ipv4.tsv")) {
        const std::int64_t packed = PackIPv4(std::stoll(r[0]), std::stoll(r[1]), std::stoll(r[2]), std::stoll(r[3]));
        EXPECT_EQ(packed, std::stoll(r[4], nullptr, 0)) << r[4];
        EXPECT_EQ(DottedIPv4(static_cast<std::uint32_t>(packed)).toStdString(), r[5]);
    }
    // A user's decimal comma changes neither what is read nor the dB text.
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "scripts/setup.sh test makes de_DE.UTF-8";
    const float point = ParseFloat(u"0.5"_s);
    const float comma = ParseFloat(u"0,5"_s);
    const std::string db = FormatFaderLevel(0.6f);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(std::tuple(point, comma, db), std::tuple(0.5f, 0.0f, "-6.0 dB"));
}

class TextFileTest : public testing::Test {
protected:
    QString Path(const char* name) const { return folder_.filePath(QString::fromLatin1(name)); }
    QTemporaryDir folder_;
};

// One TextFile reads every row, so a reopened file must start over; then line ends and
// characters split between two reads of the buffer.
TEST_F(TextFileTest, ReadLineTable)
{
    TextFile file;
    for (Words row : ReadTable("read-line.tsv")) {
        ASSERT_TRUE(WriteFile(Path("in"), ToQByteArray(ParseBytes(row[0]))));
        ASSERT_TRUE(OpenFileForReading(file, Path("in"))) << file.error.toStdString();
        Words lines{row[0]};
        while (lines.size() <= row.size())
            lines.push_back(ReadLine(file).toStdString());
        row.push_back("");
        EXPECT_EQ(lines, row);
    }
    for (int before = sizeof(TextFile::buffer) - 3; before <= int{sizeof(TextFile::buffer)} + 1; ++before) {
        ASSERT_TRUE(WriteFile(Path("in"), QByteArray(before, 'a') + "\r\n\xE2\x82\xAC\rb"));
        ASSERT_TRUE(OpenFileForReading(file, Path("in")));
        const QStringList lines{ReadLine(file), ReadLine(file), ReadLine(file)};
        EXPECT_EQ(lines, QStringList({QString(before, u'a'), u"€"_s, u"b"_s})) << before;
    }
}

// Nothing but a regular file opens (a FIFO without a writer must not block), and then locked
// against a second opener, here or in another program. Only EWOULDBLOCK refuses, so where the
// file system cannot lock the file still opens.
TEST_F(TextFileTest, OpenRefusesOtherFilesAndLockedOnes)
{
    ASSERT_TRUE(QDir(folder_.path()).mkdir(u"folder"_s) && WriteFile(Path("a"), "A"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600), 0);
    TextFile first;
    TextFile second;
    for (const char* name : {"missing", "folder", "fifo"})
        EXPECT_FALSE(OpenFileForReading(second, Path(name)) || second.error.isEmpty()) << name;
    ASSERT_TRUE(OpenFileForReading(first, Path("a")));
    EXPECT_FALSE(OpenFileForReading(second, Path("a")) || second.error.isEmpty());
    EXPECT_TRUE(CloseFile(first));
    const int other = ::open(QFile::encodeName(Path("a")).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(other, LOCK_SH), 0);
    EXPECT_FALSE(OpenFileForReading(second, Path("a")));
    ::close(other);
    EXPECT_TRUE(OpenFileForReading(second, Path("a"))) << second.error.toStdString();
    EXPECT_TRUE(LockRefusesFile(EWOULDBLOCK));
    for (const int error : {EBADF, ENOLCK, EOPNOTSUPP, EINVAL})
        EXPECT_FALSE(LockRefusesFile(error)) << error;
}

// UTF-8 and CR LF, no byte-order mark; the old, longer file stays until the close replaces it.
// A save that is never closed, cannot start, or meets a full disk (at a write, or only when the
// buffer is written out at the close) leaves the old file and no temporary file.
TEST_F(TextFileTest, SaveIsAllOrNothing)
{
    ASSERT_TRUE(WriteFile(Path("out"), QByteArray(100, 'o')));
    TextFile file;
    ASSERT_TRUE(CreateFileForWriting(file, Path("out"))) << file.error.toStdString();
    for (const QString& line : {QString(), u"0.5"_s, u"é€🎚"_s})
        WriteLine(file, line);
    EXPECT_EQ(ReadFile(Path("out")), QByteArray(100, 'o'));
    ASSERT_TRUE(CloseFile(file)) << file.error.toStdString();
    const QByteArray saved = ToQByteArray(ParseBytes(R"(0D0A "0.5" 0D0A C3A9 E282AC F09F8E9A 0D0A)"));
    EXPECT_EQ(ReadFile(Path("out")), saved);

    auto abandoned = std::make_unique<TextFile>();
    ASSERT_TRUE(CreateFileForWriting(*abandoned, Path("out")));
    WriteLine(*abandoned, u"new"_s);
    abandoned.reset();
    EXPECT_FALSE(CreateFileForWriting(file, Path("missing/out")) || file.error.isEmpty());
    WriteLine(file, u"nothing is open"_s);
    EXPECT_TRUE(CloseFile(file));
    for (const int length : {2000, 100000}) {
        const FileSizeLimit full(1000);
        ASSERT_TRUE(CreateFileForWriting(file, Path("out")));
        WriteLine(file, QString(length, u'x'));
        EXPECT_FALSE(CloseFile(file) || file.error.isEmpty()) << length;
    }
    EXPECT_EQ(ReadFile(Path("out")), saved);
    EXPECT_EQ(Entries(folder_.path()), QStringList(u"out"_s));
}

using Link = std::unique_ptr<Connection>;
const Bytes kFader = ParseBytes(R"("/ch/01/mix/fader"~ ",f"~ 3F400000)");
const auto Send = [](const Link& l, const Bytes& m) { return SendDatagram(l.get(), m.data(), std::ssize(m)); };

// One socket, not bound until the first send picks its port (so nothing can reach it before);
// every send arrives as one datagram, in order.
TEST(Network, LinkOverLoopback)
{
    UdpReceiver console(2, 10024); // a port whose two bytes differ, so byte order shows
    const int sockets = SocketCount();
    const Link link(OpenConnection(u"127.0.0.2"_s, 10024));
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(SocketCount(), sockets + 1);
    sockaddr_in local{};
    socklen_t size = sizeof local;
    EXPECT_EQ(::getsockname(link->socket, reinterpret_cast<sockaddr*>(&local), &size) == 0 ? local.sin_port : 1, 0);
    const std::vector<Bytes> sent{ParseBytes(R"("/-action/initall"~ ",f"~ 3F800000)"), kFader, kFader};
    for (const Bytes& message : sent)
        EXPECT_EQ(Send(link, message), std::ssize(message));
    EXPECT_EQ(console.WaitFor(sent.size()), sent);

    // No link to nowhere or to every host; a name resolves; an unreachable network fails at once.
    EXPECT_EQ(Link(OpenConnection(QString(), 10023)), nullptr);
    EXPECT_EQ(Link(OpenConnection(u"255.255.255.255"_s, 10023)), nullptr);
    EXPECT_EQ(Send(nullptr, kFader), -1);
    UdpReceiver here(1);
    EXPECT_EQ(Send(Link(OpenConnection(u"localhost"_s, 10023)), kFader), std::ssize(kFader));
    EXPECT_EQ(here.WaitFor(1), std::vector<Bytes>{kFader});
    if (!OnlyLoopbackReachable())
        GTEST_SKIP() << "name look-ups and unreachable sends run only in a loopback-only namespace";
    EXPECT_EQ(Link(OpenConnection(u"no-such-host.invalid"_s, 10023)), nullptr);
    const Link far(OpenConnection(u"192.0.2.1"_s, 10023));
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(Send(far, kFader), -1);
    EXPECT_EQ(errno, ENETUNREACH);
}

volatile std::sig_atomic_t alarms = 0;

// A signal without SA_RESTART ends a plain sleep early; the pause goes on.
TEST(Pause, TwoPausesLastTheirSumDespiteSignals)
{
    struct sigaction handler {};
    handler.sa_handler = [](int) { alarms = alarms + 1; };
    ASSERT_EQ(::sigaction(SIGALRM, &handler, nullptr), 0);
    ::ualarm(10'000, 10'000);
    const auto start = std::chrono::steady_clock::now();
    Pause(50);
    Pause(50);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ::ualarm(0, 0);
    EXPECT_GT(alarms, 0);
    EXPECT_GE(elapsed, std::chrono::milliseconds(100));
}

// Stand-ins on a PATH of their own log their folder, argument count and arguments.
TEST(Process, RunsTheProgramOrHandsItToTheOpener)
{
    const QTemporaryDir bin;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    const auto standIn = [&bin](const QString& name) {
        WriteFile(bin.filePath(name), "#!/bin/sh\nprintf '%s|%s|%s\\n' \"$PWD\" \"$#\" \"$*\" > \"$0.log\"\n");
        QFile::setPermissions(bin.filePath(name), QFile::ReadOwner | QFile::ExeOwner);
    };
    EXPECT_FALSE(RunProgram(u"tool"_s, QString(), QString())); // neither it nor xdg-open can start
    EXPECT_FALSE(RunProgram(u"xdg-open"_s, u"config.ini"_s, QString()));
    standIn(u"tool"_s);
    EXPECT_TRUE(RunProgram(u"tool"_s, u"a b"_s, QString()));
    EXPECT_EQ(WaitForFile(bin.filePath(u"tool.log"_s)), QFile::encodeName(QDir::currentPath()) + "|1|a b\n");
    standIn(u"xdg-open"_s);
    EXPECT_TRUE(RunProgram(u"missing"_s, u"a b"_s, bin.path()));
    EXPECT_EQ(WaitForFile(bin.filePath(u"xdg-open.log"_s)), QFile::encodeName(bin.path()) + "|1|missing\n");
    qputenv("PATH", path);
}
