// What a console makes of the messages Quillon sends: the meaning of each address, and the values
// it keeps and answers queries with.
#pragma once

#include "osc/OscDecoder.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A message without arguments (type tags "," or none) asks the console for the value at its
// address; "/-action/initall" and "/xremote" are the exceptions, orders whatever they carry.
bool IsQuery(const DecodedMessage& message);

// "/xremote" without arguments: its sender asks for the console's changes for the next 10 seconds.
bool IsSubscription(const DecodedMessage& message);

// The console's rules for names and subscribers.
inline constexpr std::size_t kNameLength = 12;
inline constexpr int kSubscriptionSeconds = 10;
inline constexpr std::size_t kMaxSubscribers = 4;

// What the console makes of a message to one of its addresses that the stand-in knows ("0.0 dB",
// "on", "bank CH 1-8", "name \"Kick\"", "initialise console", a meter request, ...), "query" for a
// query to any address; empty otherwise.
std::string ConsoleMeaning(const DecodedMessage& message);

// What the console sends for one message: the answer to a query, back to whoever asked, and the
// change a set made, to its subscribers; each the datagram a query to that address would now get.
struct ConsoleReply {
    std::vector<std::uint8_t> answer;
    std::vector<std::uint8_t> change;
};

// The values a console answers queries with, for the X32 Compact's part of the console: the faders
// of channels 1 to 16, the main bus, DCAs 1 to 8 and buses 1 to 8, preamps 000 to 015, the channel
// and main on switches, links 1-2 to 15-16 and the names of those 33 strips: what the last set
// said, or what an initialised console holds.
class ConsoleTable {
public:
    // `address` is where the console is reached, which it tells in its answers to "/xinfo" and
    // "/status".
    explicit ConsoleTable(const std::string& address = "127.0.0.1");

    // A set (one ",f" or ",i" argument, ",s" for a name) stores its value with the address's type
    // and gives the change; a message to "/-action/initall" restores the initialised console. A
    // query to one of the addresses gets the answer: that address with its value, ",f" for faders
    // and gains, ",i" for switches and links, ",s" for names. Anything else gives nothing.
    ConsoleReply Receive(const DecodedMessage& message);

    // A meter frame at `seconds` since start, with the test signal through the mix held now.
    std::vector<std::uint8_t> MeterFrame(double seconds) const;

private:
    std::string address_;
    std::map<std::string, OscArgument> initial_;
    std::map<std::string, OscArgument> values_;
};
