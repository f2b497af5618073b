// libFuzzer target: ReadLine over any bytes: no line end or NUL in a line, nothing invented, and reading ends.
#include "FuzzInputFile.h"

#include <QStringList>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // One input in 32 starts 1 to 16 bytes before the end of the first 64 KiB read, so that line
    // ends and characters are split across two reads (rarely, as a 64 KiB line is slow to scan).
    std::string bytes(size % 32 == 31 ? 65536 - (size / 32 % 16 + 1) : 0, 'x');
    bytes.append(reinterpret_cast<const char*>(data), size);

    static FuzzInputFile input;
    TextFile file;
    input.Open(file, bytes.data(), bytes.size());
    QStringList lines;
    qsizetype units = 0;
    while (!(file.atEnd && file.bufferPos == file.bufferFill)) {
        // Every read before the end consumes at least one byte.
        if (lines.size() > static_cast<qsizetype>(bytes.size()))
            std::abort();
        const QString line = ReadLine(file);
        if (line.contains(u'\n') || line.contains(u'\r') || line.contains(QChar(0)))
            std::abort();
        units += line.size();
        lines += line;
    }
    // A byte gives at most one UTF-16 unit (four give a surrogate pair); the end stays the end.
    if (units > static_cast<qsizetype>(bytes.size()) || !ReadLine(file).isEmpty())
        std::abort();

    // Valid UTF-8 reads back line for line, LF, CR LF, CR and NUL each ending one line; lines
    // after the last one read are empty.
    const QByteArray raw = QByteArray::fromStdString(bytes);
    QString text = QString::fromUtf8(raw);
    if (text.toUtf8() != raw)
        return 0;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n').replace(QChar(0), u'\n');
    const QStringList expected = text.split(u'\n');
    if (lines.size() > expected.size())
        std::abort();
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (expected[i] != (i < lines.size() ? lines[i] : QString()))
            std::abort();
    }
    return 0;
}
