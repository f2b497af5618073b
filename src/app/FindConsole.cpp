// --find: one broadcast socket, the question three times to every network, the answers that come
// from a console's port sorted out by their source address.
#include "app/FindConsole.h"

#include "app/Configuration.h"
#include "host/Network.h"
#include "host/TextFile.h"
#include "host/Window.h"
#include "osc/OscDecoder.h"
#include "osc/OscMessage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <span>
#include <string_view>

namespace {

using Clock = std::chrono::steady_clock;

// The first question can go unanswered while the network learns the console's hardware address.
constexpr int kQuestions = 3;
constexpr std::chrono::milliseconds kQuestionGap{1000};
constexpr std::uint32_t kEveryone = 0xFFFFFFFF;    // 255.255.255.255 in either byte order
constexpr std::string_view kWhoIsThere = "/xinfo"; // a console answers with its address, name, model, firmware

// Text from the network made safe to print: a control character becomes "?".
QString Printable(const std::string& text)
{
    QString printable = QString::fromUtf8(text);
    std::replace_if(
        printable.begin(), printable.end(), [](QChar c) { return c.category() == QChar::Other_Control; }, u'?');
    return printable;
}

// A console's answer: the question's address with four strings, from the console's port.
std::optional<QString> ConsoleLine(std::span<const std::uint8_t> datagram, std::uint32_t from, std::uint16_t port)
{
    const DecodeResult decoded = DecodeDatagram(datagram);
    if (port != kConsolePort || decoded.messages.size() != 1 || decoded.messages[0].address != kWhoIsThere ||
        decoded.messages[0].typeTags != ",ssss") {
        return std::nullopt;
    }
    QStringList fields{DottedNetworkIPv4(from)};
    for (std::size_t i = 1; i < 4; ++i) {
        fields << Printable(std::get<std::string>(decoded.messages[0].arguments[i]));
    }
    return fields.join(u'\t');
}

// Listens until `end`, adding each console heard for the first time.
void Listen(Connection* link, Clock::time_point end, std::vector<FoundConsole>& consoles)
{
    for (auto left = end - Clock::now(); left > Clock::duration::zero(); left = end - Clock::now()) {
        std::uint8_t answer[kOscMessageSize];
        std::uint32_t from = 0;
        std::uint16_t port = 0;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        const long size = ReceiveDatagram(link, answer, sizeof answer, static_cast<int>(wait), from, port);
        const std::optional<QString> line =
            size < 0 ? std::nullopt : ConsoleLine({answer, static_cast<std::size_t>(size)}, from, port);
        if (line && std::none_of(consoles.begin(), consoles.end(),
                                 [from](const FoundConsole& known) { return known.address == from; })) {
            consoles.push_back({from, *line});
        }
    }
}

// config.ini for the address: four lines, one octet each.
void WriteConfig(FindResult& result)
{
    const QString dotted = DottedNetworkIPv4(result.consoles[0].address);
    TextFile file;
    const bool created = CreateFileForWriting(file, QStringLiteral("config.ini"));
    for (const QString& octet : dotted.split(u'.')) {
        WriteLine(file, octet);
    }
    result.written = CloseFile(file) && created;
    result.writeError = file.error;
}

// What went wrong, as one sentence; empty when nothing did.
QString Trouble(const FindResult& result, bool write)
{
    if (result.consoles.empty()) {
        return QStringLiteral("No console answered %1 on port %2; asked %3 times at %4.")
            .arg(QLatin1StringView(kWhoIsThere))
            .arg(kConsolePort)
            .arg(kQuestions)
            .arg(result.asked.join(QStringLiteral(", ")));
    }
    if (write && result.consoles.size() > 1) {
        return QStringLiteral("%1 consoles answered; config.ini was not changed.").arg(result.consoles.size());
    }
    return write && !result.written ? QStringLiteral("config.ini was not written: ") + result.writeError : QString();
}

} // namespace

FindResult FindConsoles(bool write)
{
    FindResult result;
    const std::unique_ptr<Connection> socket = OpenBroadcastConnection(kConsolePort);
    Connection* link = socket.get();
    if (link == nullptr) {
        result.asked << QStringLiteral("no address (no UDP socket could be made)");
        return result;
    }
    std::vector<std::uint32_t> targets{kEveryone};
    for (const std::uint32_t address : BroadcastAddresses()) {
        if (address != kEveryone) {
            targets.push_back(address);
        }
    }
    std::uint8_t question[kOscMessageSize] = {};
    const std::ptrdiff_t length = BuildOscQuery(question, kWhoIsThere);
    const Clock::time_point start = Clock::now();
    for (int round = 1; round <= kQuestions; ++round) {
        for (const std::uint32_t address : targets) {
            const QString refused = SendDatagramTo(link, address, question, length);
            if (round == 1) {
                result.asked << DottedNetworkIPv4(address) +
                                    (refused.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(refused));
            }
        }
        Listen(link, start + round * kQuestionGap, result.consoles);
    }
    if (write && result.consoles.size() == 1) {
        WriteConfig(result);
    }
    return result;
}

int PrintFindResult(const FindResult& result, bool write)
{
    for (const FoundConsole& console : result.consoles) {
        std::printf("%s\n", qPrintable(console.line));
    }
    if (result.written) {
        std::printf("Wrote %s into config.ini\n", qPrintable(DottedNetworkIPv4(result.consoles[0].address)));
    }
    std::fflush(stdout);
    const QString trouble = Trouble(result, write);
    if (!trouble.isEmpty()) {
        std::fprintf(stderr, "quillon: %s\n", qPrintable(trouble));
    }
    return trouble.isEmpty() ? 0 : 1;
}

void TellFindResult(HostWindow& window, const FindResult& result)
{
    const std::size_t count = result.consoles.size();
    if (count == 1 && result.writeError.isEmpty()) {
        return;
    }
    QStringList text{count > 1 ? QStringLiteral("%1 consoles answered:").arg(count) : Trouble(result, true)};
    for (const FoundConsole& console : result.consoles) {
        text << console.line;
    }
    text << QString()
         << QStringLiteral("config.ini was not changed. Pick the console with Edit Config.ini or quillon --find.");
    window.ShowMessage(QStringLiteral("Quillon"), text.join(u'\n'));
}
