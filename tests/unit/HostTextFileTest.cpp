// Tests of the line-oriented UTF-8 files, checked against the raw bytes on disk.
#include "host/TextFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <ostream>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

class TextFileTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    static void WriteBytes(const QString& path, const Bytes& bytes)
    {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())),
                  static_cast<qint64>(bytes.size()));
    }

    static Bytes ReadBytes(const QString& path)
    {
        QFile in(path);
        return in.open(QIODevice::ReadOnly) ? ToBytes(in.readAll()) : Bytes{};
    }

    // Everything in the folder, hidden files included: a temporary file left behind shows here.
    QStringList Entries() const
    {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    // The texts of `count` lines of a file holding `bytes`.
    std::vector<QString> ReadLines(const Bytes& bytes, int count)
    {
        WriteBytes(Path(u"in.txt"_s), bytes);
        TextFile file;
        EXPECT_TRUE(OpenFileForReading(file, Path(u"in.txt"_s))) << file.error.toStdString();
        std::vector<QString> lines;
        for (int i = 0; i < count; ++i)
            lines.push_back(ReadLine(file));
        EXPECT_TRUE(CloseFile(file));
        return lines;
    }

    QTemporaryDir dir_;
};

// ---- ReadLine

struct ReadCase {
    const char* name;
    Bytes bytes;
    std::vector<QString> lines; // then only empty text
    friend void PrintTo(const ReadCase& c, std::ostream* out) { *out << c.name; }
};

class ReadLineTest : public TextFileTest, public testing::WithParamInterface<ReadCase> {};

TEST_P(ReadLineTest, GivesLinesThenEmptyText)
{
    const ReadCase& c = GetParam();
    std::vector<QString> expected = c.lines;
    expected.insert(expected.end(), 2, QString());
    EXPECT_EQ(ReadLines(c.bytes, static_cast<int>(expected.size())), expected);
}

INSTANTIATE_TEST_SUITE_P(
    TextFile, ReadLineTest,
    testing::Values(
        ReadCase{"CrLfThenLfThenNoLineEnd",
                 {0x31, 0x30, 0x0D, 0x0A, 0x32, 0x30, 0x0A, 0x33, 0x30},
                 {u"10"_s, u"20"_s, u"30"_s}},
        ReadCase{"LoneCr", {0x31, 0x30, 0x0D, 0x32, 0x30}, {u"10"_s, u"20"_s}}, ReadCase{"EmptyFile", {}, {}},
        ReadCase{"EmptyLines", {0x0A, 0x0D, 0x0A, 0x0D, 0x41}, {u""_s, u""_s, u""_s, u"A"_s}},
        ReadCase{"CrAtEnd", {0x41, 0x0D}, {u"A"_s}},
        ReadCase{"CrCr", {0x41, 0x0D, 0x0D, 0x42}, {u"A"_s, u""_s, u"B"_s}},
        ReadCase{"LfCrIsTwoLineEnds", {0x41, 0x0A, 0x0D, 0x42}, {u"A"_s, u""_s, u"B"_s}},
        ReadCase{"ZeroByteEndsLine", {0x41, 0x00, 0x42, 0x0D, 0x0A}, {u"A"_s, u"B"_s}},
        ReadCase{"TwoThreeAndFourByteCharacters",
                 {0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x8E, 0x9A, 0x0D, 0x0A},
                 {u"\u00E9\u20AC\U0001F39A"_s}},
        ReadCase{"ByteOrderMarkIsKept", {0xEF, 0xBB, 0xBF, 0x41, 0x0D, 0x0A}, {u"\uFEFFA"_s}},
        ReadCase{"StrayContinuationByte", {0x41, 0x80, 0x42}, {u"A?B"_s}},
        ReadCase{"InvalidLeadBytes", {0xF8, 0xFF, 0xFE}, {u"???"_s}},
        ReadCase{"LeadSwallowsLineFeed", {0xC3, 0x0A, 0x41, 0x0A, 0x42}, {u"\u00CAA"_s, u"B"_s}},
        ReadCase{"FileEndsInsideCharacter", {0x41, 0xE2, 0x82}, {u"A"_s}},
        ReadCase{"BeyondUnicodeIsReplaced", {0xF7, 0xBF, 0xBF, 0xBF, 0x0A}, {u"\uFFFD"_s}},
        // Found by fuzzing: these decoded to NUL, LF and CR inside the line.
        ReadCase{"OverlongFormsAreReplaced",
                 {0xC0, 0x80, 0xC0, 0x8A, 0xE0, 0x80, 0x8D, 0xF0, 0x80, 0x80, 0x80, 0x0D, 0x0A},
                 {u"\uFFFD\uFFFD\uFFFD\uFFFD"_s}},
        ReadCase{"LeadSwallowingZeroBytesGivesNoNul", {0x39, 0xE0, 0x00, 0x00, 0x0A, 0x41}, {u"9\uFFFD"_s, u"A"_s}}),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

// Line ends and characters that straddle the end of one read must survive it. The read size is
// not visible from here, so the split is tried around several powers of two.
TEST_F(TextFileTest, LineEndsAndCharactersAcrossReadBoundaries)
{
    for (const int boundary : {4096, 8192, 16384, 32768, 65536}) {
        for (int before = boundary - 3; before <= boundary + 1; ++before) {
            SCOPED_TRACE(before);
            Bytes bytes(static_cast<std::size_t>(before), 0x61);
            bytes.insert(bytes.end(), {0x0D, 0x0A, 0xE2, 0x82, 0xAC, 0x0D, 0x62});
            const std::vector<QString> lines = ReadLines(bytes, 4);
            EXPECT_EQ(lines[0].size(), before);
            EXPECT_EQ(lines[1], u"\u20AC"_s);
            EXPECT_EQ(lines[2], u"b"_s);
            EXPECT_EQ(lines[3], QString());
        }
    }
}

TEST_F(TextFileTest, VeryLongLine)
{
    constexpr qsizetype kLength = 50 * 1000 * 1000;
    Bytes bytes(kLength, 0x78);
    bytes[kLength / 2] = 0xC3; // one two-byte character in the middle
    bytes[kLength / 2 + 1] = 0xA9;
    bytes.insert(bytes.end(), {0x0D, 0x0A, 0x65, 0x6E, 0x64});
    const std::vector<QString> lines = ReadLines(bytes, 2);
    ASSERT_EQ(lines[0].size(), kLength - 1);
    EXPECT_EQ(lines[0].count(u'x'), kLength - 2);
    EXPECT_EQ(lines[0][kLength / 2], QChar(0xE9));
    EXPECT_EQ(lines[1], u"end"_s);
}

// ---- OpenFileForReading and CloseFile

TEST_F(TextFileTest, OpenFailsForWhatIsNotAReadableFile)
{
    ASSERT_TRUE(QDir(dir_.path()).mkdir(u"folder"_s));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path(u"fifo"_s)).constData(), 0600), 0);
    for (const QString& name : {u"missing.txt"_s, u"folder"_s, u"fifo"_s}) {
        TextFile file;
        EXPECT_FALSE(OpenFileForReading(file, Path(name))) << name.toStdString();
        EXPECT_FALSE(file.error.isEmpty()) << name.toStdString();
        EXPECT_EQ(ReadLine(file), QString());
        EXPECT_TRUE(CloseFile(file));
    }
}

TEST_F(TextFileTest, OpenFailsWhileAnotherDescriptorHoldsALock)
{
    WriteBytes(Path(u"a.txt"_s), {0x41});
    const int other = ::open(QFile::encodeName(Path(u"a.txt"_s)).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_SH), 0);

    TextFile file;
    EXPECT_FALSE(OpenFileForReading(file, Path(u"a.txt"_s)));
    EXPECT_FALSE(file.error.isEmpty());

    ::close(other);
    EXPECT_TRUE(OpenFileForReading(file, Path(u"a.txt"_s))) << file.error.toStdString();
    EXPECT_EQ(ReadLine(file), u"A"_s);
}

// Only a lock held elsewhere refuses a file; a file system that cannot lock opens it unlocked.
TEST(TextFileLock, OnlyAHeldLockRefuses)
{
    EXPECT_TRUE(LockRefusesFile(EWOULDBLOCK));
    for (const int error : {EBADF, ENOLCK, EOPNOTSUPP, EINVAL}) {
        EXPECT_FALSE(LockRefusesFile(error)) << error;
    }
}

TEST_F(TextFileTest, OpenFileIsNotShared)
{
    WriteBytes(Path(u"a.txt"_s), {0x41});
    TextFile first;
    TextFile second;
    ASSERT_TRUE(OpenFileForReading(first, Path(u"a.txt"_s)));
    EXPECT_FALSE(OpenFileForReading(second, Path(u"a.txt"_s)));

    EXPECT_TRUE(CloseFile(first));
    EXPECT_TRUE(OpenFileForReading(second, Path(u"a.txt"_s))) << second.error.toStdString();
}

TEST_F(TextFileTest, OpeningAgainStartsOver)
{
    WriteBytes(Path(u"a.txt"_s), {0x41, 0x0A, 0x42});
    TextFile file;
    ASSERT_TRUE(OpenFileForReading(file, Path(u"a.txt"_s)));
    EXPECT_EQ(ReadLine(file), u"A"_s);
    ASSERT_TRUE(OpenFileForReading(file, Path(u"a.txt"_s))) << file.error.toStdString();
    EXPECT_EQ(ReadLine(file), u"A"_s);
    EXPECT_EQ(ReadLine(file), u"B"_s);
}

TEST_F(TextFileTest, NothingOpen)
{
    TextFile file;
    EXPECT_EQ(ReadLine(file), QString());
    WriteLine(file, u"ignored"_s);
    EXPECT_TRUE(CloseFile(file));
    EXPECT_TRUE(Entries().isEmpty());
}

// ---- CreateFileForWriting, WriteLine and CloseFile

struct WriteCase {
    const char* name;
    QString text;
    Bytes bytes;
    friend void PrintTo(const WriteCase& c, std::ostream* out) { *out << c.name; }
};

class WriteLineTest : public TextFileTest, public testing::WithParamInterface<WriteCase> {};

TEST_P(WriteLineTest, WritesUtf8ThenCrLf)
{
    TextFile file;
    ASSERT_TRUE(CreateFileForWriting(file, Path(u"out.txt"_s))) << file.error.toStdString();
    WriteLine(file, GetParam().text);
    ASSERT_TRUE(CloseFile(file)) << file.error.toStdString();
    EXPECT_EQ(ReadBytes(Path(u"out.txt"_s)), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    TextFile, WriteLineTest,
    testing::Values(WriteCase{"Empty", QString(), {0x0D, 0x0A}},
                    WriteCase{"Number", u"0.5"_s, {0x30, 0x2E, 0x35, 0x0D, 0x0A}},
                    WriteCase{"TwoAndThreeBytes", u"\u00E9\u20AC"_s, {0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0x0D, 0x0A}},
                    WriteCase{"SurrogatePair", u"\U0001F39A"_s, {0xF0, 0x9F, 0x8E, 0x9A, 0x0D, 0x0A}}),
    [](const testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

TEST_F(TextFileTest, SavedFileHasNoByteOrderMarkAndEndsWithCrLf)
{
    TextFile file;
    ASSERT_TRUE(CreateFileForWriting(file, Path(u"out.txt"_s)));
    WriteLine(file, u"1"_s);
    WriteLine(file, QString());
    WriteLine(file, u"-20"_s);
    ASSERT_TRUE(CloseFile(file));
    const Bytes expected{0x31, 0x0D, 0x0A, 0x0D, 0x0A, 0x2D, 0x32, 0x30, 0x0D, 0x0A};
    EXPECT_EQ(ReadBytes(Path(u"out.txt"_s)), expected);
    EXPECT_EQ(Entries(), QStringList{u"out.txt"_s});
}

TEST_F(TextFileTest, SecondSaveReplacesLongerContent)
{
    TextFile file;
    ASSERT_TRUE(CreateFileForWriting(file, Path(u"out.txt"_s)));
    for (int i = 0; i < 3; ++i)
        WriteLine(file, u"a longer first version"_s);
    ASSERT_TRUE(CloseFile(file));

    ASSERT_TRUE(CreateFileForWriting(file, Path(u"out.txt"_s)));
    WriteLine(file, u"b"_s);
    ASSERT_TRUE(CloseFile(file));
    EXPECT_EQ(ReadBytes(Path(u"out.txt"_s)), (Bytes{0x62, 0x0D, 0x0A}));
}

TEST_F(TextFileTest, TargetChangesOnlyWhenClosed)
{
    const Bytes old{0x6F, 0x6C, 0x64};
    WriteBytes(Path(u"out.txt"_s), old);
    TextFile file;
    ASSERT_TRUE(CreateFileForWriting(file, Path(u"out.txt"_s)));
    WriteLine(file, u"new"_s);
    EXPECT_EQ(ReadBytes(Path(u"out.txt"_s)), old);

    ASSERT_TRUE(CloseFile(file));
    EXPECT_EQ(ReadBytes(Path(u"out.txt"_s)), (Bytes{0x6E, 0x65, 0x77, 0x0D, 0x0A}));
    EXPECT_EQ(Entries(), QStringList{u"out.txt"_s});
}

TEST_F(TextFileTest, SaveNeverClosedLeavesTargetAndNoTemporaryFile)
{
    const Bytes old{0x6F, 0x6C, 0x64};
    WriteBytes(Path(u"out.txt"_s), old);
    {
        TextFile file;
        ASSERT_TRUE(CreateFileForWriting(file, Path(u"out.txt"_s)));
        WriteLine(file, u"new"_s);
    }
    EXPECT_EQ(ReadBytes(Path(u"out.txt"_s)), old);
    EXPECT_EQ(Entries(), QStringList{u"out.txt"_s});
}

TEST_F(TextFileTest, CreateFailsInMissingFolder)
{
    TextFile file;
    EXPECT_FALSE(CreateFileForWriting(file, Path(u"missing/out.txt"_s)));
    EXPECT_FALSE(file.error.isEmpty());
    WriteLine(file, u"ignored"_s);
    EXPECT_TRUE(CloseFile(file));
    EXPECT_TRUE(Entries().isEmpty());
}

// A file size limit makes the system refuse bytes the way a full disk does.
TEST_F(TextFileTest, RefusedWriteFailsCloseAndKeepsOldFile)
{
    const Bytes old{0x6F, 0x6C, 0x64};
    WriteBytes(Path(u"out.txt"_s), old);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 64 * 1024;
    const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    if (::setrlimit(RLIMIT_FSIZE, &limited) != 0) {
        std::signal(SIGXFSZ, savedSignal);
        GTEST_SKIP() << "cannot limit the file size";
    }

    TextFile file;
    const bool created = CreateFileForWriting(file, Path(u"out.txt"_s));
    for (int i = 0; i < 100; ++i)
        WriteLine(file, QString(4000, u'x'));
    const bool closed = CloseFile(file);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);

    ASSERT_TRUE(created);
    EXPECT_FALSE(closed);
    EXPECT_FALSE(file.error.isEmpty());
    EXPECT_EQ(ReadBytes(Path(u"out.txt"_s)), old);
    EXPECT_EQ(Entries(), QStringList{u"out.txt"_s});
}

TEST_F(TextFileTest, WrittenLinesReadBack)
{
    const std::vector<QString> lines{u"Ch 1"_s, QString(), u"-0.25"_s, u"\u00C4\u00D6\u00DC \u20AC \U0001F39A"_s};
    TextFile file;
    ASSERT_TRUE(CreateFileForWriting(file, Path(u"scene.txt"_s)));
    for (const QString& line : lines)
        WriteLine(file, line);
    ASSERT_TRUE(CloseFile(file));

    ASSERT_TRUE(OpenFileForReading(file, Path(u"scene.txt"_s)));
    for (const QString& line : lines)
        EXPECT_EQ(ReadLine(file), line);
    EXPECT_EQ(ReadLine(file), QString());
    EXPECT_TRUE(CloseFile(file));
}

} // namespace
