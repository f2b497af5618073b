// The monitor's lines: message lines with the console's meaning, error lines, and the summary.
#include "monitor/MonitorLog.h"

#include "monitor/ConsoleModel.h"
#include "monitor/Meters.h"
#include "monitor/Numbers.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace {

void AppendHex(std::string& text, std::uint8_t byte)
{
    static constexpr char kHex[] = "0123456789abcdef";
    text += kHex[byte >> 4];
    text += kHex[byte & 15];
}

// '"' and '\' get a backslash; bytes outside printable ASCII become `prefix` and two hex digits.
std::string EscapeBytes(std::string_view text, const char* prefix)
{
    std::string escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            escaped += '\\';
            escaped += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            escaped += prefix;
            AppendHex(escaped, byte);
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string ArgumentText(const OscArgument& argument, OutputFormat format)
{
    if (const auto* number = std::get_if<std::int32_t>(&argument)) {
        return std::to_string(*number);
    }
    if (const auto* value = std::get_if<float>(&argument)) {
        const std::string text = FloatText(*value);
        return format == OutputFormat::Json && !std::isfinite(*value) ? JsonString(text) : text;
    }
    if (const auto* text = std::get_if<std::string>(&argument)) {
        return format == OutputFormat::Json ? JsonString(*text) : '"' + EscapeText(*text) + '"';
    }
    std::string hex;
    for (const std::uint8_t byte : std::get<OscBlob>(argument)) {
        AppendHex(hex, byte);
    }
    return format == OutputFormat::Json ? "{\"blob\":\"" + hex + "\"}" : "blob:" + hex;
}

std::string JsonArguments(const DecodedMessage& message)
{
    std::string list = "[";
    for (const OscArgument& argument : message.arguments) {
        list += (list.size() > 1 ? "," : "") + ArgumentText(argument, OutputFormat::Json);
    }
    return list + "]";
}

// Address, type tags, values and meaning: the part shared by message lines and state lines.
std::string Describe(const DecodedMessage& message, OutputFormat format)
{
    const std::string meaning = ConsoleMeaning(message);
    if (format == OutputFormat::Json) {
        return "\"address\":" + JsonString(message.address) + ",\"types\":" + JsonString(message.typeTags) +
               ",\"args\":" + JsonArguments(message) +
               ",\"meaning\":" + (meaning.empty() ? "null" : JsonString(meaning));
    }
    std::string text = EscapeText(message.address);
    if (!message.typeTags.empty()) {
        text += ' ' + EscapeText(message.typeTags);
    }
    if (!message.arguments.empty()) {
        text += ' ' + FormatArguments(message);
    }
    return meaning.empty() ? text : text + " = " + meaning;
}

std::string Count(std::size_t count, const char* one, const char* many)
{
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

} // namespace

std::string FormatArguments(const DecodedMessage& message)
{
    std::string text;
    for (const OscArgument& argument : message.arguments) {
        text += (text.empty() ? "" : " ") + ArgumentText(argument, OutputFormat::Text);
    }
    return text;
}

std::string EscapeText(std::string_view text)
{
    return EscapeBytes(text, "\\x");
}

std::string JsonString(std::string_view text)
{
    return '"' + EscapeBytes(text, "\\u00") + '"';
}

std::string MonitorLog::MessageLine(const DecodedMessage& message, double seconds, std::optional<double> gapMs) const
{
    if (format_ == OutputFormat::Json) {
        return "{\"t\":" + Fixed(seconds, 3) + ",\"gap_ms\":" + (gapMs ? Fixed(*gapMs, 1) : "null") + "," +
               Describe(message, format_) + "}";
    }
    std::string gap = gapMs ? "+" + Fixed(*gapMs, 1) + " ms" : "first";
    gap.resize(std::max<std::size_t>(gap.size(), 12), ' ');
    return Fixed(seconds, 3) + " s  " + gap + Describe(message, format_);
}

std::string MonitorLog::DatagramLine(const DecodeResult& result, std::size_t bytes, double seconds) const
{
    const std::string size = std::to_string(bytes);
    if (format_ == OutputFormat::Json) {
        return "{\"t\":" + Fixed(seconds, 3) +
               (result.Ok() ? ",\"empty_bundle\":true" : ",\"malformed\":" + JsonString(result.error)) +
               ",\"size\":" + size + "}";
    }
    return Fixed(seconds, 3) + " s  " +
           (result.Ok() ? "bundle without messages (" + size + " bytes)"
                        : "malformed datagram (" + size + " bytes): " + result.error);
}

std::vector<std::string> MonitorLog::Receive(std::span<const std::uint8_t> datagram, double seconds)
{
    const DecodeResult result = DecodeDatagram(datagram);
    answers_.clear(); // also when the datagram holds no message
    changes_.clear();
    subscribes_ = false;
    metersEvery_.reset();
    if (!result.Ok() || result.messages.empty()) {
        malformedCount_ += result.Ok() ? 0 : 1;
        return {DatagramLine(result, datagram.size(), seconds)};
    }
    std::vector<std::string> lines;
    for (const DecodedMessage& message : result.messages) {
        std::optional<double> gapMs;
        if (lastMessageSeconds_) {
            gapMs = (seconds - *lastMessageSeconds_) * 1000.0;
            gapsMs_.push_back(*gapMs);
        }
        lastMessageSeconds_ = seconds;
        ++messageCount_;
        lines.push_back(MessageLine(message, seconds, gapMs));
        Reply(message);
    }
    return lines;
}

void MonitorLog::Reply(const DecodedMessage& message)
{
    ConsoleReply reply = console_.Receive(message);
    if (!reply.answer.empty()) {
        answers_.push_back(std::move(reply.answer));
    }
    if (!reply.change.empty()) {
        changes_.push_back(std::move(reply.change));
    }
    subscribes_ = subscribes_ || IsSubscription(message);
    const std::optional<double> metersEvery = MeterPeriod(message);
    metersEvery_ = metersEvery ? metersEvery : metersEvery_;
    // A query asks for the state and leaves it as it was; a subscription asks for its changes, a
    // meter request for frames.
    if (IsQuery(message)) {
        ++queryCount_;
    } else if (!IsSubscription(message) && !metersEvery) {
        state_.insert_or_assign(message.address, message);
    }
}

std::vector<std::uint8_t> MonitorLog::MeterFrame(double seconds)
{
    ++meterFrameCount_;
    return console_.MeterFrame(seconds);
}

std::string MonitorLog::SilenceLine(bool silent) const
{
    if (format_ == OutputFormat::Json) {
        return silent ? R"({"silent":true})" : R"({"silent":false})";
    }
    return silent ? "silent" : "answering again";
}

std::vector<std::string> MonitorLog::Summary() const
{
    std::vector<GapStatistic> statistics;
    if (!gapsMs_.empty()) {
        statistics = {{"min", Percentile(gapsMs_, 0)},
                      {"median", Percentile(gapsMs_, 50)},
                      {"p99", Percentile(gapsMs_, 99)},
                      {"max", Percentile(gapsMs_, 100)}};
    }
    return format_ == OutputFormat::Json ? std::vector{JsonSummary(statistics)} : TextSummary(statistics);
}

std::string MonitorLog::JsonSummary(const std::vector<GapStatistic>& statistics) const
{
    std::string gaps = statistics.empty() ? "null" : "{";
    for (const GapStatistic& statistic : statistics) {
        gaps += (gaps.size() > 1 ? ",\"" : "\"") + std::string(statistic.name) + "\":" + Fixed(statistic.value, 1);
    }
    if (!statistics.empty()) {
        gaps += '}';
    }
    std::string state = "[";
    for (const auto& [address, message] : state_) {
        state += (state.size() > 1 ? ",{" : "{") + Describe(message, format_) + "}";
    }
    return "{\"summary\":{\"messages\":" + std::to_string(messageCount_) +
           ",\"queries\":" + std::to_string(queryCount_) + ",\"malformed\":" + std::to_string(malformedCount_) +
           (meterFrameCount_ > 0 ? ",\"meter_frames\":" + std::to_string(meterFrameCount_) : "") +
           ",\"gaps_ms\":" + gaps + ",\"state\":" + state + "]}}";
}

std::vector<std::string> MonitorLog::TextSummary(const std::vector<GapStatistic>& statistics) const
{
    const std::string queries = queryCount_ > 0 ? " (" + Count(queryCount_, "query", "queries") + ")" : "";
    std::vector<std::string> lines{
        "summary: " + Count(messageCount_, "message", "messages") + queries + ", " +
        Count(malformedCount_, "malformed datagram", "malformed datagrams") +
        (meterFrameCount_ > 0 ? ", " + Count(meterFrameCount_, "meter frame", "meter frames") + " sent" : "")};
    std::string gaps = "gaps between messages (ms):";
    for (const GapStatistic& statistic : statistics) {
        gaps += (gaps.back() == ':' ? " " : ", ") + std::string(statistic.name) + ' ' + Fixed(statistic.value, 1);
    }
    lines.push_back(statistics.empty() ? gaps + " none" : gaps);
    lines.push_back("state (" + Count(state_.size(), "address", "addresses") + "):");
    for (const auto& [address, message] : state_) {
        lines.push_back("  " + Describe(message, format_));
    }
    return lines;
}
