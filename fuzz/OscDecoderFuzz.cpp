// libFuzzer target: any datagram through the strict decoder, the monitor's text and JSON lines and
// the console table that answers queries and keeps sets.
#include "monitor/MonitorLog.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

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

// A reply is one message to the address it replies to, with one of the console's types.
bool RepliesTo(const std::vector<std::uint8_t>& reply, const std::string& address,
               std::initializer_list<const char*> types)
{
    const std::vector<DecodedMessage> decoded = DecodeDatagram(reply).messages;
    return decoded.size() == 1 && decoded[0].address == address &&
           std::find(types.begin(), types.end(), decoded[0].typeTags) != types.end();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> datagram(data, size);
    const DecodeResult result = DecodeDatagram(datagram);
    if (!result.Ok() && !result.messages.empty()) {
        std::abort();
    }
    // Only a query gets an answer, only a set a change: one message to the same address with the
    // value's one argument, or the console's strings about itself.
    ConsoleTable console;
    for (const DecodedMessage& message : result.messages) {
        const ConsoleReply reply = console.Receive(message);
        if ((!reply.answer.empty() &&
             (!IsQuery(message) || !RepliesTo(reply.answer, message.address, {",f", ",i", ",s", ",sss", ",ssss"}))) ||
            (!reply.change.empty() &&
             (IsQuery(message) || !RepliesTo(reply.change, message.address, {",f", ",i", ",s"})))) {
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
