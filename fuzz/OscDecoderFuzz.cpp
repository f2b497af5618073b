// libFuzzer target: any datagram through the strict decoder, the monitor's text and JSON lines and
// the console table that answers queries.
#include "monitor/MonitorLog.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The monitor promises one line per message, or one line for a malformed datagram or empty bundle.
void CheckLines(const std::vector<std::string>& lines, std::size_t expected)
{
    if (lines.size() != expected) {
        std::abort();
    }
    for (const std::string& line : lines) {
        if (line.find('\n') != std::string::npos) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> datagram(data, size);
    const DecodeResult result = DecodeDatagram(datagram);
    if (!result.Ok() && !result.messages.empty()) {
        std::abort();
    }
    // Only a query gets an answer: one message to the same address with one ",f" or ",i" argument.
    ConsoleTable console;
    for (const DecodedMessage& message : result.messages) {
        const std::vector<std::uint8_t> answer = console.Receive(message);
        const std::vector<DecodedMessage> decoded = DecodeDatagram(answer).messages;
        if (!answer.empty() && (!IsQuery(message) || decoded.size() != 1 || decoded[0].address != message.address ||
                                (decoded[0].typeTags != ",f" && decoded[0].typeTags != ",i"))) {
            std::abort();
        }
    }
    for (const OutputFormat format : {OutputFormat::Text, OutputFormat::Json}) {
        MonitorLog log(format);
        CheckLines(log.Receive(datagram, 0.0), std::max<std::size_t>(result.messages.size(), 1));
        const std::vector<std::string> summary = log.Summary();
        CheckLines(summary, summary.size());
    }
    return 0;
}
