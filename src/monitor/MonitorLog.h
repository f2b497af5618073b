// What quillon-monitor prints: one line per received message or malformed datagram, then a summary
// with the gaps between messages and the state the console would now hold; and what it answers to
// a query, as a console does.
#pragma once

#include "monitor/OscDecoder.h"

#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

enum class OutputFormat { Text, Json };

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

// The arguments separated by spaces: ints in decimal, floats in their shortest exact form ("0.75",
// "1.0", "inf", "nan"), strings quoted and escaped, blobs as "blob:" and hex.
std::string FormatArguments(const DecodedMessage& message);

// Text of a string made safe for one line: non-printable bytes become \xNN, '\' becomes "\\".
std::string EscapeText(std::string_view text);

// A JSON string literal of any bytes: bytes outside printable ASCII become \u00NN (read as Latin-1),
// so every line is valid JSON whatever arrives.
std::string JsonString(std::string_view text);

class MonitorLog {
public:
    explicit MonitorLog(OutputFormat format) : format_(format) {}

    // Decodes one datagram that arrived `seconds` after start; returns its lines (one per message,
    // or one for a malformed datagram or an empty bundle) and records it for the summary.
    std::vector<std::string> Receive(std::span<const std::uint8_t> datagram, double seconds);

    // What a console would send back for the last datagram received: one answer per query that
    // its table answers, in order.
    const std::vector<std::vector<std::uint8_t>>& Answers() const { return answers_; }

    // Counts, gap statistics, then every address received with its last message, sorted by address.
    std::vector<std::string> Summary() const;

    std::size_t MessageCount() const { return messageCount_; }

private:
    std::string MessageLine(const DecodedMessage& message, double seconds, std::optional<double> gapMs) const;

    OutputFormat format_;
    std::size_t messageCount_ = 0;
    std::size_t malformedCount_ = 0;
    std::size_t queryCount_ = 0;
    std::optional<double> lastMessageSeconds_;    // empty until the first message
    std::vector<double> gapsMs_;                  // one per message after the first
    std::map<std::string, DecodedMessage> state_; // last message to each address, queries left out
    ConsoleTable console_;
    std::vector<std::vector<std::uint8_t>> answers_;
};
