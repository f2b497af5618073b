// The monitor's lines: message lines with the console's meaning, error lines, and the summary.
#include "monitor/MonitorLog.h"

#include "osc/AddressTable.h"
#include "osc/ConsoleUnits.h"
#include "osc/OscMessage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace {

enum class Meaning { Fader, OnSwitch, PreampGain, ChannelLink, ChannelBank, GroupBank, InitAll };

// An address shape; each '#' is one decimal digit, and the digits together must lie in first..last.
struct AddressPattern {
    std::string_view pattern;
    int first;
    int last;
    Meaning meaning;
};

// The console's own ranges (32 channels, 16 buses, 8 DCAs, 128 preamps), of which Quillon uses part.
constexpr AddressPattern kAddressPatterns[] = {
    {"/ch/##/mix/fader", 1, 32, Meaning::Fader},
    {"/main/st/mix/fader", 0, 0, Meaning::Fader},
    {"/dca/#/fader", 1, 8, Meaning::Fader},
    {"/bus/##/mix/fader", 1, 16, Meaning::Fader},
    {"/ch/##/mix/on", 1, 32, Meaning::OnSwitch},
    {"/main/st/mix/on", 0, 0, Meaning::OnSwitch},
    {"/headamp/###/gain", 0, 127, Meaning::PreampGain},
    {"/-stat/chfaderbank", 0, 0, Meaning::ChannelBank},
    {"/-stat/grpfaderbank", 0, 0, Meaning::GroupBank},
    {"/-action/initall", 0, 0, Meaning::InitAll},
};

bool Matches(std::string_view address, const AddressPattern& shape)
{
    if (address.size() != shape.pattern.size()) {
        return false;
    }
    int number = 0;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (shape.pattern[i] == '#') {
            if (address[i] < '0' || address[i] > '9') {
                return false;
            }
            number = number * 10 + (address[i] - '0');
        } else if (address[i] != shape.pattern[i]) {
            return false;
        }
    }
    return number >= shape.first && number <= shape.last;
}

// "/config/chlink/A-B": an odd channel A from 1 to 31 and B = A + 1, without leading zeros.
bool IsChannelLink(std::string_view address)
{
    constexpr std::string_view kPrefix = "/config/chlink/";
    if (!address.starts_with(kPrefix)) {
        return false;
    }
    address.remove_prefix(kPrefix.size());
    int odd = 0;
    const auto dash = std::from_chars(address.data(), address.data() + address.size(), odd);
    if (dash.ec != std::errc() || address.front() == '0' || odd < 1 || odd > 31 || odd % 2 == 0) {
        return false;
    }
    return address.substr(static_cast<std::size_t>(dash.ptr - address.data())) == "-" + std::to_string(odd + 1);
}

std::optional<Meaning> MeaningOf(std::string_view address)
{
    if (IsChannelLink(address)) {
        return Meaning::ChannelLink;
    }
    for (const AddressPattern& shape : kAddressPatterns) {
        if (Matches(address, shape)) {
            return shape.meaning;
        }
    }
    return std::nullopt;
}

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

std::string Fixed(double value, int decimals)
{
    char digits[400];
    return {digits, std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals).ptr};
}

std::string FloatText(float value)
{
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    char digits[64];
    std::string text(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    // Shortest form of 1.0f is "1"; keep it recognisable as a float.
    if (text.find_first_of(".e") == std::string::npos) {
        text += ".0";
    }
    return text;
}

// Meanings of the two-state addresses: exactly 1.0 and 0.0, as Quillon sends them.
std::string TwoState(float value, const char* one, const char* zero)
{
    if (value == 1.0f) {
        return one;
    }
    if (value == 0.0f) {
        return zero;
    }
    return "value " + FloatText(value) + ", neither " + one + " (1.0) nor " + zero + " (0.0)";
}

// Quillon's fader-bank buttons: "CH 1-8" 0.1, "CH 9-16" 0.2, "CHX 1-16" chfaderbank 0.01 together
// with grpfaderbank 0.6, "DCA 1-8" 0.1, "BUS 1-8" 0.2, 0.0 when the button is cleared.
std::string BankMeaning(Meaning bank, float value)
{
    struct Button {
        Meaning bank;
        float value;
        const char* meaning;
    };
    static constexpr Button kButtons[] = {
        {Meaning::ChannelBank, 0.1f, "bank CH 1-8"},
        {Meaning::ChannelBank, 0.2f, "bank CH 9-16"},
        {Meaning::ChannelBank, 0.01f, "bank CHX 1-16 (with grpfaderbank 0.6)"},
        {Meaning::GroupBank, 0.6f, "bank CHX 1-16 (with chfaderbank 0.01)"},
        {Meaning::GroupBank, 0.1f, "bank DCA 1-8"},
        {Meaning::GroupBank, 0.2f, "bank BUS 1-8"},
    };
    if (value == 0.0f) {
        return "bank cleared";
    }
    for (const Button& button : kButtons) {
        if (button.bank == bank && button.value == value) {
            return button.meaning;
        }
    }
    return "value " + FloatText(value);
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

// Nearest-rank percentile of sorted values: the smallest value with at least p % of them at or below it.
double Percentile(const std::vector<double>& sorted, double p)
{
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
    return sorted[std::max<std::size_t>(rank, 1) - 1];
}

std::string Count(std::size_t count, const char* one, const char* many)
{
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

// Nearest to a float set to a switch or link, whose value the console keeps as an int.
std::int32_t NearestInt(float value)
{
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<std::int32_t>(std::clamp(std::round(double{value}), -2147483648.0, 2147483647.0));
}

} // namespace

bool IsQuery(const DecodedMessage& message)
{
    return message.arguments.empty() && MeaningOf(message.address) != Meaning::InitAll;
}

ConsoleTable::ConsoleTable()
{
    AddressTable addresses;
    FillAddressTable(addresses);
    for (int slot = 0; slot < kSlotsInUse; ++slot) {
        const std::string& address = addresses[static_cast<std::size_t>(slot)];
        if (slot == kChannelBankSlot || slot == kGroupBankSlot || slot == kInitAllSlot) {
            continue;
        }
        // Every channel and the main bus on, links off, faders and gains at 0.0.
        switch (*MeaningOf(address)) {
        case Meaning::OnSwitch:
            initial_.emplace(address, std::int32_t{1});
            break;
        case Meaning::ChannelLink:
            initial_.emplace(address, std::int32_t{0});
            break;
        default:
            initial_.emplace(address, 0.0f);
        }
    }
    values_ = initial_;
}

std::vector<std::uint8_t> ConsoleTable::Receive(const DecodedMessage& message)
{
    if (MeaningOf(message.address) == Meaning::InitAll) {
        values_ = initial_;
        return {};
    }
    const auto entry = values_.find(message.address);
    if (entry == values_.end()) {
        return {};
    }
    OscArgument& value = entry->second;
    const auto* whole = std::get_if<std::int32_t>(&value);
    if (IsQuery(message)) {
        std::vector<std::uint8_t> answer(kOscMessageSize, 0);
        answer.resize(static_cast<std::size_t>(
            whole ? BuildOscIntMessage(answer.data(), message.address, ",i", *whole)
                  : BuildOscMessage(answer.data(), message.address, ",f", std::get<float>(value))));
        return answer;
    }
    if (message.typeTags == ",i") {
        const std::int32_t set = std::get<std::int32_t>(message.arguments.front());
        value = whole ? OscArgument(set) : OscArgument(static_cast<float>(set));
    } else if (message.typeTags == ",f") {
        const float set = std::get<float>(message.arguments.front());
        value = whole ? OscArgument(NearestInt(set)) : OscArgument(set);
    }
    return {};
}

std::string ConsoleMeaning(const DecodedMessage& message)
{
    const std::optional<Meaning> meaning = MeaningOf(message.address);
    if (meaning == Meaning::InitAll) {
        return "initialise console";
    }
    if (IsQuery(message)) {
        return "query";
    }
    if (!meaning) {
        return {};
    }
    // Like the console, take an int where a float is expected and the other way round.
    if (message.typeTags != ",f" && message.typeTags != ",i") {
        return "not understood: the console expects one number (,f or ,i)";
    }
    const auto* whole = std::get_if<std::int32_t>(&message.arguments.front());
    const float value = whole ? static_cast<float>(*whole) : std::get<float>(message.arguments.front());
    switch (*meaning) {
    case Meaning::Fader:
        return FormatFaderLevel(value) + (InConsoleRange(value) ? "" : ", outside the console's 0.0 to 1.0");
    case Meaning::PreampGain:
        return "preamp gain " + FormatPreampGain(value);
    case Meaning::OnSwitch:
        return TwoState(value, "on", "off");
    case Meaning::ChannelLink:
        return TwoState(value, "linked", "unlinked");
    case Meaning::ChannelBank:
    case Meaning::GroupBank:
        return BankMeaning(*meaning, value);
    case Meaning::InitAll:
        break;
    }
    return {};
}

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

std::vector<std::string> MonitorLog::Receive(std::span<const std::uint8_t> datagram, double seconds)
{
    const DecodeResult result = DecodeDatagram(datagram);
    const std::string size = std::to_string(datagram.size());
    answers_.clear(); // also when the datagram holds no message
    if (!result.Ok()) {
        ++malformedCount_;
        if (format_ == OutputFormat::Json) {
            return {"{\"t\":" + Fixed(seconds, 3) + ",\"malformed\":" + JsonString(result.error) + ",\"size\":" + size +
                    "}"};
        }
        return {Fixed(seconds, 3) + " s  malformed datagram (" + size + " bytes): " + result.error};
    }
    if (result.messages.empty()) {
        if (format_ == OutputFormat::Json) {
            return {"{\"t\":" + Fixed(seconds, 3) + ",\"empty_bundle\":true,\"size\":" + size + "}"};
        }
        return {Fixed(seconds, 3) + " s  bundle without messages (" + size + " bytes)"};
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
        if (std::vector<std::uint8_t> answer = console_.Receive(message); !answer.empty()) {
            answers_.push_back(std::move(answer));
        }
        // A query asks for the state and leaves it as it was.
        if (IsQuery(message)) {
            ++queryCount_;
        } else {
            state_.insert_or_assign(message.address, message);
        }
    }
    return lines;
}

std::vector<std::string> MonitorLog::Summary() const
{
    std::vector<double> sorted = gapsMs_;
    std::sort(sorted.begin(), sorted.end());
    struct Statistic {
        const char* name;
        double value;
    };
    std::vector<Statistic> statistics;
    if (!sorted.empty()) {
        statistics = {{"min", sorted.front()},
                      {"median", Percentile(sorted, 50)},
                      {"p99", Percentile(sorted, 99)},
                      {"max", sorted.back()}};
    }

    if (format_ == OutputFormat::Json) {
        std::string gaps = statistics.empty() ? "null" : "{";
        for (const Statistic& statistic : statistics) {
            gaps += (gaps.size() > 1 ? ",\"" : "\"") + std::string(statistic.name) + "\":" + Fixed(statistic.value, 1);
        }
        if (!statistics.empty()) {
            gaps += '}';
        }
        std::string state = "[";
        for (const auto& [address, message] : state_) {
            state += (state.size() > 1 ? ",{" : "{") + Describe(message, format_) + "}";
        }
        return {"{\"summary\":{\"messages\":" + std::to_string(messageCount_) +
                ",\"queries\":" + std::to_string(queryCount_) + ",\"malformed\":" + std::to_string(malformedCount_) +
                ",\"gaps_ms\":" + gaps + ",\"state\":" + state + "]}}"};
    }

    const std::string queries = queryCount_ > 0 ? " (" + Count(queryCount_, "query", "queries") + ")" : "";
    std::vector<std::string> lines{"summary: " + Count(messageCount_, "message", "messages") + queries + ", " +
                                   Count(malformedCount_, "malformed datagram", "malformed datagrams")};
    std::string gaps = "gaps between messages (ms):";
    for (const Statistic& statistic : statistics) {
        gaps += (gaps.back() == ':' ? " " : ", ") + std::string(statistic.name) + ' ' + Fixed(statistic.value, 1);
    }
    lines.push_back(statistics.empty() ? gaps + " none" : gaps);
    lines.push_back("state (" + Count(state_.size(), "address", "addresses") + "):");
    for (const auto& [address, message] : state_) {
        lines.push_back("  " + Describe(message, format_));
    }
    return lines;
}
