// What a console makes of the messages Quillon sends: the meaning of each address, and the values
// it keeps and answers queries with.
#pragma once

#include "osc/OscDecoder.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A message without arguments (type tags "," or none) asks the console for the value at its
// address; "/-action/initall" is the exception, an order whatever it carries.
bool IsQuery(const DecodedMessage& message);

// What the console makes of a message to one of the addresses Quillon sends ("0.0 dB", "on",
// "bank CH 1-8", "initialise console", ...), "query" for a query to any address; empty otherwise.
std::string ConsoleMeaning(const DecodedMessage& message);

// The values a console answers queries with, for the 74 faders, preamp gains, on switches and
// links in Quillon's address table: what the last set said, or what an initialised console holds.
class ConsoleTable {
public:
    ConsoleTable();

    // A set (one ",f" or ",i" argument) stores its value with the address's type, a message to
    // "/-action/initall" restores the initialised console. A query to one of the addresses gets
    // the answer datagram: that address with its value, ",f" for faders and gains, ",i" for
    // switches and links. Anything else is empty.
    std::vector<std::uint8_t> Receive(const DecodedMessage& message);

private:
    std::map<std::string, OscArgument> initial_; // all on, links off, faders and gains at 0.0
    std::map<std::string, OscArgument> values_;
};
