// Line-oriented UTF-8 files: locked, buffered reading with its own decoder; all-or-nothing writing.
#include "host/TextFile.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

TextFile::TextFile() = default;

// An uncommitted QSaveFile discards its temporary file, so a file still open for writing here
// leaves the target as it was.
TextFile::~TextFile()
{
    if (fd >= 0)
        ::close(fd);
}

namespace {

QString SystemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// True when an unread byte is in the buffer, reading more when it is used up.
bool Fill(TextFile& file)
{
    if (file.bufferPos < file.bufferFill)
        return true;
    if (file.atEnd)
        return false;
    ssize_t count;
    do
        count = ::read(file.fd, file.buffer, sizeof file.buffer);
    while (count < 0 && errno == EINTR);
    // A read error ends the file as its end does: ReadLine has no way to report it.
    file.bufferPos = 0;
    file.bufferFill = count > 0 ? static_cast<int>(count) : 0;
    file.atEnd = count <= 0;
    return count > 0;
}

// The next byte, or -1 at the end of the file.
int NextByte(TextFile& file)
{
    return Fill(file) ? static_cast<unsigned char>(file.buffer[file.bufferPos++]) : -1;
}

void AppendCodePoint(QString& line, char32_t codePoint)
{
    // A four-byte lead can encode up to 0x1FFFFF; beyond Unicode there is no 16-bit form.
    if (codePoint > 0x10FFFF)
        codePoint = 0xFFFD;
    if (codePoint > 0xFFFF) {
        line += QChar(QChar::highSurrogate(codePoint));
        line += QChar(QChar::lowSurrogate(codePoint));
    } else {
        line += QChar(static_cast<char16_t>(codePoint));
    }
}

// Appends the character that starts with byte `lead` (0x80 or above); false when the file ends
// inside it, which drops it. The lead byte alone decides the length; continuation bytes are taken
// as they come.
bool AppendCharacter(TextFile& file, int lead, QString& line)
{
    const int length = (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 1;
    if (length == 1) { // a stray continuation byte or F8 to FF
        line += u'?';
        return true;
    }
    char32_t codePoint = static_cast<char32_t>(lead & (0x7F >> length));
    for (int i = 1; i < length; ++i) {
        const int next = NextByte(file);
        if (next < 0)
            return false;
        codePoint = codePoint << 6 | static_cast<char32_t>(next & 0x3F);
    }
    // A value that fits a shorter form (overlong, or made of swallowed NUL, CR and LF bytes) is
    // not UTF-8; taken as it stands it would put a line end or NUL into the line.
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < kLeast[length])
        codePoint = 0xFFFD;
    AppendCodePoint(line, codePoint);
    return true;
}

} // namespace

bool LockRefusesFile(int error)
{
    // NFS refuses an exclusive lock on a file opened for reading (EBADF), and other file systems
    // lock nothing at all (ENOLCK, EOPNOTSUPP): a readable file must not count as missing there.
    return error == EWOULDBLOCK;
}

bool OpenFileForReading(TextFile& file, const QString& path)
{
    CloseFile(file);
    file.error.clear();
    // Non-blocking only for the open itself, so that a FIFO without a writer cannot stall us.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        file.error = SystemError();
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        file.error = SystemError();
    else if (S_ISDIR(info.st_mode))
        file.error = QStringLiteral("is a directory");
    else if (!S_ISREG(info.st_mode))
        file.error = QStringLiteral("is not a regular file");
    else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        file.error = SystemError();
    // The exclusive lock stands in for opening without sharing: a second opener fails.
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && LockRefusesFile(errno))
        file.error = QStringLiteral("is in use by another program");
    if (!file.error.isEmpty()) {
        ::close(fd);
        return false;
    }
    file.fd = fd;
    return true;
}

bool CreateFileForWriting(TextFile& file, const QString& path)
{
    CloseFile(file);
    file.error.clear();
    auto output = std::make_unique<QSaveFile>(path);
    // Where no temporary file can be made next to the target, fail rather than truncate the
    // target in place: a failed save must leave it untouched.
    output->setDirectWriteFallback(false);
    if (!output->open(QIODevice::WriteOnly)) {
        file.error = output->errorString();
        return false;
    }
    file.output = std::move(output);
    return true;
}

QString ReadLine(TextFile& file)
{
    QString line;
    if (file.fd < 0)
        return line;
    while (Fill(file)) {
        // Plain ASCII goes in a run at a time, so that a very long line costs no call per byte.
        const char* run = file.buffer + file.bufferPos;
        const char* const end = file.buffer + file.bufferFill;
        const char* stop = run;
        while (stop < end && static_cast<unsigned char>(*stop) < 0x80 && *stop != '\n' && *stop != '\r' &&
               *stop != '\0')
            ++stop;
        line.append(QLatin1StringView(run, stop - run));
        file.bufferPos += static_cast<int>(stop - run);
        if (stop == end)
            continue;

        const int lead = NextByte(file);
        if (lead == '\n' || lead == '\0')
            return line;
        if (lead == '\r') {
            // CR LF is one line end; any other byte after CR starts the next line.
            if (Fill(file) && file.buffer[file.bufferPos] == '\n')
                ++file.bufferPos;
            return line;
        }
        if (!AppendCharacter(file, lead, line))
            return line;
    }
    return line;
}

void WriteLine(TextFile& file, const QString& text)
{
    if (!file.output || file.writeFailed)
        return;
    const QByteArray bytes = text.toUtf8() + "\r\n";
    if (file.output->write(bytes) != bytes.size()) {
        file.writeFailed = true;
        file.error = file.output->errorString();
    }
}

bool CloseFile(TextFile& file)
{
    if (file.fd >= 0) {
        ::close(file.fd); // releases the lock
        file.fd = -1;
        file.bufferFill = file.bufferPos = 0;
        file.atEnd = false;
        return true;
    }
    if (!file.output)
        return true;
    bool committed = false;
    // commit() drops an error from writing out its buffer and renames a cut-off file over the
    // target, so the buffer is written out and checked first.
    if (!file.writeFailed && !file.output->flush()) {
        file.writeFailed = true;
        file.error = file.output->errorString();
    }
    if (file.writeFailed) {
        file.output->cancelWriting(); // keeps the error recorded above
    } else {
        committed = file.output->commit();
        if (!committed)
            file.error = file.output->errorString();
    }
    file.output.reset();
    file.writeFailed = false;
    return committed;
}
