// Datagrams from the console, read when the link's socket wakes the event loop; what comes from
// any other address or port is read and dropped.
#include "app/Receive.h"

#include "app/Follow.h"
#include "app/Meters.h"
#include "app/Program.h"
#include "app/ReadConsole.h"
#include "host/Network.h"
#include "osc/OscDecoder.h"

#include <array>

namespace {

// Datagrams read per wake-up, so that a flood from the console leaves the window responsive.
constexpr int kReadsPerWake = 512;

void ReceiveWhatCame(Program& program)
{
    const Connection* link = program.surface.link.get();
    std::array<std::uint8_t, 2048> datagram;
    // A handler may replace the link (Reset): what the old one still holds is not the console's.
    for (int count = 0; count < kReadsPerWake && link == program.surface.link.get(); ++count) {
        std::uint32_t fromAddress = 0;
        std::uint16_t fromPort = 0;
        const long size =
            ReceiveDatagram(program.surface.link.get(), datagram.data(), datagram.size(), 0, fromAddress, fromPort);
        if (size < 0) {
            break;
        }
        if (fromAddress != link->address || fromPort != link->port) {
            continue;
        }
        const DecodeResult decoded = DecodeDatagram({datagram.data(), static_cast<std::size_t>(size)});
        HeardFromConsole(program);
        // The console sends one message per datagram; anything else is not the console's.
        if (decoded.messages.size() != 1) {
            continue;
        }
        if (program.shell.follow && TakeMeterMessage(program, decoded.messages[0])) {
            continue; // the meters pace their own drawing
        }
        const ConsoleChange change = program.consoleAddresses->Interpret(decoded.messages[0]);
        // Drawn by the follow mode too, an answer would overwrite what the user changed meanwhile.
        if (!TakeAnswer(program, change)) {
            TakeConsoleChange(program, change);
        }
    }
    AfterConsoleChanges(program);
}

} // namespace

void ListenToConsole(Program& program)
{
    WatchDatagrams(program.surface.link.get(), [&program] { ReceiveWhatCame(program); });
}

void StopListening(Program& program)
{
    WatchDatagrams(program.surface.link.get(), {});
}
