// libFuzzer target: any config.ini to the packed mixer address and its dotted text, which reads back as itself.
#include "FuzzInputFile.h"
#include "app/Configuration.h"
#include "host/Network.h"

#include <QStringList>
#include <cstdlib>

namespace {

// Four decimal numbers 0 to 255 without leading zeros, joined by dots.
bool IsDottedQuad(const QString& text)
{
    const QStringList parts = text.split(u'.');
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        bool ok = false;
        const int octet = part.toInt(&ok);
        if (!ok || octet < 0 || octet > 255 || part != QString::number(octet))
            return false;
    }
    return true;
}

std::int64_t AddressOfFile(const QByteArray& bytes)
{
    static FuzzInputFile input;
    TextFile file;
    input.Open(file, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return ReadMixerAddress(file);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::int64_t address =
        AddressOfFile(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    // 32 bits, sign-extended.
    if (address < INT32_MIN || address > INT32_MAX)
        std::abort();
    const QString dotted = DottedIPv4(static_cast<std::uint32_t>(address));
    if (!IsDottedQuad(dotted))
        std::abort();
    // The address shown, written back one octet a line, is the same address.
    if (AddressOfFile(dotted.toLatin1().replace('.', "\r\n")) != address)
        std::abort();
    return 0;
}
