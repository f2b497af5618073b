// What quillon-monitor prints: one line per received message or malformed datagram, then a summary
// with the gaps between messages and the state the console would now hold.
#pragma once

#include "monitor/ConsoleModel.h"
#include "osc/OscDecoder.h"

#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

enum class OutputFormat { Text, Json };

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
    // `consoleAddress` is where the console is reached, which it tells when asked.
    explicit MonitorLog(OutputFormat format, const std::string& consoleAddress = "127.0.0.1")
        : format_(format), console_(consoleAddress)
    {
    }

    // Decodes one datagram that arrived `seconds` after start; returns its lines (one per message,
    // or one for a malformed datagram or an empty bundle) and records it for the summary.
    std::vector<std::string> Receive(std::span<const std::uint8_t> datagram, double seconds);

    // What a console would send back for the last datagram received: one answer per query that
    // its table answers, in order.
    const std::vector<std::vector<std::uint8_t>>& Answers() const { return answers_; }
    // What a console would send its other subscribers for the last datagram received: one change
    // per set it keeps, in order, as a query would now be answered.
    const std::vector<std::vector<std::uint8_t>>& Changes() const { return changes_; }
    // Whether the last datagram received asked for the console's changes ("/xremote").
    bool Subscribes() const { return subscribes_; }
    // The seconds between meter frames that the last datagram received asked for; empty when it
    // asked for none.
    std::optional<double> MetersEvery() const { return metersEvery_; }

    // A meter frame at `seconds`, counted for the summary.
    std::vector<std::uint8_t> MeterFrame(double seconds);

    // The line saying the console has fallen silent (it still receives) or answers again.
    std::string SilenceLine(bool silent) const;

    // Counts (meter frames sent among them, once there are any), gap statistics, then every address
    // received with its last message, sorted by address.
    std::vector<std::string> Summary() const;

    std::size_t MessageCount() const { return messageCount_; }

private:
    struct GapStatistic {
        const char* name;
        double value;
    };
    std::string JsonSummary(const std::vector<GapStatistic>& statistics) const;
    std::vector<std::string> TextSummary(const std::vector<GapStatistic>& statistics) const;
    // The one line of a malformed datagram or of a bundle without messages.
    std::string DatagramLine(const DecodeResult& result, std::size_t bytes, double seconds) const;
    std::string MessageLine(const DecodedMessage& message, double seconds, std::optional<double> gapMs) const;
    // What the console makes of one message: its answer, its change, its state and counts.
    void Reply(const DecodedMessage& message);

    OutputFormat format_;
    std::size_t messageCount_ = 0;
    std::size_t malformedCount_ = 0;
    std::size_t queryCount_ = 0;
    std::size_t meterFrameCount_ = 0;
    std::optional<double> lastMessageSeconds_;    // empty until the first message
    std::vector<double> gapsMs_;                  // one per message after the first
    std::map<std::string, DecodedMessage> state_; // last message to each address, queries and subscriptions left out
    ConsoleTable console_;
    std::vector<std::vector<std::uint8_t>> answers_;
    std::vector<std::vector<std::uint8_t>> changes_;
    bool subscribes_ = false;
    std::optional<double> metersEvery_;
};
