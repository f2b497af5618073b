// The console as Quillon's messages find it: address shapes and their meanings, and the table of
// values a query is answered with and a set changes.
#include "monitor/ConsoleModel.h"

#include "monitor/Meters.h"
#include "monitor/MonitorLog.h"
#include "monitor/Numbers.h"
#include "osc/ConsoleUnits.h"
#include "osc/OscMessage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

namespace {

enum class Meaning {
    Fader,
    OnSwitch,
    PreampGain,
    ChannelLink,
    ChannelBank,
    GroupBank,
    InitAll,
    Name,
    Subscribe,
    Meters
};

// An address shape; each '#' is one decimal digit, and the digits together must lie in first..last.
// The stand-in keeps values for first..held, the X32 Compact's 16 channels and 8 buses; -1 for none.
struct AddressPattern {
    std::string_view pattern;
    int first;
    int last;
    int held;
    Meaning meaning;
};

// The console's own ranges: 32 channels, 16 buses, 8 DCAs, 128 preamps.
constexpr AddressPattern kChannelFader{"/ch/##/mix/fader", 1, 32, 16, Meaning::Fader};
constexpr AddressPattern kMainFader{"/main/st/mix/fader", 0, 0, 0, Meaning::Fader};
constexpr AddressPattern kBusFader{"/bus/##/mix/fader", 1, 16, 8, Meaning::Fader};
constexpr AddressPattern kChannelOn{"/ch/##/mix/on", 1, 32, 16, Meaning::OnSwitch};
constexpr AddressPattern kMainOn{"/main/st/mix/on", 0, 0, 0, Meaning::OnSwitch};
constexpr AddressPattern kChannelBank{"/-stat/chfaderbank", 0, 0, -1, Meaning::ChannelBank};
constexpr AddressPattern kGroupBank{"/-stat/grpfaderbank", 0, 0, -1, Meaning::GroupBank};

constexpr AddressPattern kAddressPatterns[] = {
    kChannelFader,
    kMainFader,
    {"/dca/#/fader", 1, 8, 8, Meaning::Fader},
    kBusFader,
    kChannelOn,
    kMainOn,
    {"/headamp/###/gain", 0, 127, 15, Meaning::PreampGain},
    kChannelBank,
    kGroupBank,
    {"/-action/initall", 0, 0, -1, Meaning::InitAll},
    {"/ch/##/config/name", 1, 32, 16, Meaning::Name},
    {"/main/st/config/name", 0, 0, 0, Meaning::Name},
    {"/dca/#/config/name", 1, 8, 8, Meaning::Name},
    {"/bus/##/config/name", 1, 16, 8, Meaning::Name},
    {"/xremote", 0, 0, -1, Meaning::Subscribe},
    {"/meters", 0, 0, -1, Meaning::Meters},
};

// "/config/chlink/A-B" links channel A, odd, with B = A + 1; the stand-in keeps links up to 15-16.
constexpr std::string_view kChannelLink = "/config/chlink/";
constexpr int kHeldLinks = 15;

// What the fader-bank values select on the console's surface. Quillon's "CHX 1-16" takes one value
// of each bank, named together.
struct BankValue {
    const AddressPattern& bank;
    float value;
    std::string_view selects;
};
constexpr BankValue kBankValues[] = {
    {kChannelBank, 0.1f, "CH 1-8"}, {kChannelBank, 0.2f, "CH 9-16"}, {kChannelBank, 0.01f, "CHX 1-16"},
    {kGroupBank, 0.6f, "CHX 1-16"}, {kGroupBank, 0.1f, "DCA 1-8"},   {kGroupBank, 0.2f, "BUS 1-8"},
};

// What the console tells of itself in its answers to "/xinfo" and "/status".
constexpr std::string_view kConsoleName = "quillon-monitor";
constexpr std::string_view kConsoleModel = "X32C";
constexpr std::string_view kFirmware = "4.06";

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

// The shape's address for a number: its '#' digits from the right, zero-filled.
std::string Spell(const AddressPattern& shape, int number)
{
    std::string address(shape.pattern);
    for (auto digit = address.rbegin(); digit != address.rend(); ++digit) {
        if (*digit == '#') {
            *digit = static_cast<char>('0' + number % 10);
            number /= 10;
        }
    }
    return address;
}

std::string LinkAddress(int odd)
{
    return std::string(kChannelLink) + std::to_string(odd) + "-" + std::to_string(odd + 1);
}

// A link address: an odd channel A from 1 to 31 and B = A + 1, without leading zeros.
bool IsChannelLink(std::string_view address)
{
    if (!address.starts_with(kChannelLink)) {
        return false;
    }
    int odd = 0;
    std::from_chars(address.data() + kChannelLink.size(), address.data() + address.size(), odd);
    return odd >= 1 && odd <= 31 && odd % 2 == 1 && address == LinkAddress(odd);
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

// "bank CH 1-8" and the like; a selection made of two bank values names the other one with it.
// 0.0 is a cleared bank.
std::string BankMeaning(const AddressPattern& bank, float value)
{
    if (value == 0.0f) {
        return "bank cleared";
    }
    for (const BankValue& row : kBankValues) {
        if (&row.bank != &bank || row.value != value) {
            continue;
        }
        std::string meaning = "bank " + std::string(row.selects);
        for (const BankValue& other : kBankValues) {
            if (&other != &row && other.selects == row.selects) {
                const std::string_view address = other.bank.pattern;
                meaning += " (with " + std::string(address.substr(address.rfind('/') + 1)) + ' ' +
                           FloatText(other.value) + ")";
            }
        }
        return meaning;
    }
    return "value " + FloatText(value);
}

// Nearest to a float set to a switch or link, whose value the console keeps as an int.
std::int32_t NearestInt(float value)
{
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<std::int32_t>(std::clamp(std::round(double{value}), -2147483648.0, 2147483647.0));
}

// What the console keeps of a name set: the name, cut to its first 12 characters.
std::string NameMeaning(const DecodedMessage& message)
{
    if (message.typeTags != ",s") {
        return "not understood: the console expects one string (,s)";
    }
    const std::string& name = std::get<std::string>(message.arguments.front());
    const std::string kept = "name \"" + EscapeText(name.substr(0, kNameLength)) + '"';
    return name.size() > kNameLength ? kept + ", cut to the console's " + std::to_string(kNameLength) + " characters"
                                     : kept;
}

// What an initialised console holds: every channel and the main bus on, links off, faders and
// gains at 0.0, names empty.
std::map<std::string, OscArgument> InitialValues()
{
    std::map<std::string, OscArgument> values;
    for (const AddressPattern& shape : kAddressPatterns) {
        for (int number = shape.first; number <= shape.held; ++number) {
            values.emplace(Spell(shape, number), shape.meaning == Meaning::OnSwitch ? OscArgument(std::int32_t{1})
                                                 : shape.meaning == Meaning::Name   ? OscArgument(std::string())
                                                                                    : OscArgument(0.0f));
        }
    }
    for (int odd = 1; odd <= kHeldLinks; odd += 2) {
        values.emplace(LinkAddress(odd), std::int32_t{0});
    }
    return values;
}

std::vector<std::uint8_t> StringsMessage(std::string_view address, const std::vector<std::string_view>& strings)
{
    std::vector<std::uint8_t> message(kOscMessageSize, 0);
    message.resize(static_cast<std::size_t>(BuildOscStringsMessage(message.data(), address, strings)));
    return message;
}

// One address with the value the console keeps there: ",i", ",f" or ",s" as the value's type.
std::vector<std::uint8_t> ValueMessage(const std::string& address, const OscArgument& value)
{
    if (const auto* name = std::get_if<std::string>(&value)) {
        return StringsMessage(address, {*name});
    }
    std::vector<std::uint8_t> message(kOscMessageSize, 0);
    const auto* whole = std::get_if<std::int32_t>(&value);
    message.resize(
        static_cast<std::size_t>(whole ? BuildOscIntMessage(message.data(), address, ",i", *whole)
                                       : BuildOscMessage(message.data(), address, ",f", std::get<float>(value))));
    return message;
}

// Keeps a set's one argument with the type the console keeps at the address: a float set to a
// switch or link as the nearest int, an int set to a fader as a float, a name cut to 12
// characters. False for anything else, which the console ignores.
bool Store(OscArgument& value, const DecodedMessage& message)
{
    if (auto* name = std::get_if<std::string>(&value)) {
        if (message.typeTags == ",s") {
            *name = std::get<std::string>(message.arguments.front()).substr(0, kNameLength);
        }
        return message.typeTags == ",s";
    }
    const bool whole = std::holds_alternative<std::int32_t>(value);
    if (message.typeTags == ",i") {
        const std::int32_t set = std::get<std::int32_t>(message.arguments.front());
        value = whole ? OscArgument(set) : OscArgument(static_cast<float>(set));
        return true;
    }
    if (message.typeTags == ",f") {
        const float set = std::get<float>(message.arguments.front());
        value = whole ? OscArgument(NearestInt(set)) : OscArgument(set);
        return true;
    }
    return false;
}

// What the console makes of one number sent to a fader, gain, switch, link or bank address.
std::string NumberMeaning(Meaning meaning, const DecodedMessage& message)
{
    // Like the console, take an int where a float is expected and the other way round.
    if (message.typeTags != ",f" && message.typeTags != ",i") {
        return "not understood: the console expects one number (,f or ,i)";
    }
    const auto* whole = std::get_if<std::int32_t>(&message.arguments.front());
    const float value = whole ? static_cast<float>(*whole) : std::get<float>(message.arguments.front());
    switch (meaning) {
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
        return BankMeaning(meaning == Meaning::ChannelBank ? kChannelBank : kGroupBank, value);
    case Meaning::InitAll:
    case Meaning::Name:
    case Meaning::Subscribe:
    case Meaning::Meters:
        break;
    }
    return {};
}

} // namespace

bool IsQuery(const DecodedMessage& message)
{
    const std::optional<Meaning> meaning = MeaningOf(message.address);
    return message.arguments.empty() && meaning != Meaning::InitAll && meaning != Meaning::Subscribe;
}

bool IsSubscription(const DecodedMessage& message)
{
    return message.arguments.empty() && MeaningOf(message.address) == Meaning::Subscribe;
}

ConsoleTable::ConsoleTable(const std::string& address) : address_(address), initial_(InitialValues()), values_(initial_)
{
}

ConsoleReply ConsoleTable::Receive(const DecodedMessage& message)
{
    if (MeaningOf(message.address) == Meaning::InitAll) {
        values_ = initial_;
        return {};
    }
    if (IsQuery(message) && message.address == "/xinfo") {
        return {StringsMessage(message.address, {address_, kConsoleName, kConsoleModel, kFirmware}), {}};
    }
    if (IsQuery(message) && message.address == "/status") {
        return {StringsMessage(message.address, {"active", address_, kConsoleName}), {}};
    }
    const auto entry = values_.find(message.address);
    if (entry == values_.end()) {
        return {};
    }
    if (IsQuery(message)) {
        return {ValueMessage(entry->first, entry->second), {}};
    }
    if (Store(entry->second, message)) {
        return {{}, ValueMessage(entry->first, entry->second)};
    }
    return {};
}

std::vector<std::uint8_t> ConsoleTable::MeterFrame(double seconds) const
{
    const auto fader = [this](const AddressPattern& shape, int number) {
        return std::get<float>(values_.at(Spell(shape, number)));
    };
    const auto on = [this](const AddressPattern& shape, int number) {
        return std::get<std::int32_t>(values_.at(Spell(shape, number))) != 0;
    };
    MeterMix mix;
    for (std::size_t i = 0; i < kMeterChannels; ++i) {
        mix.channelFaders[i] = fader(kChannelFader, static_cast<int>(i) + 1);
        mix.channelsOn[i] = on(kChannelOn, static_cast<int>(i) + 1);
    }
    for (std::size_t i = 0; i < kMeterBuses; ++i) {
        mix.busFaders[i] = fader(kBusFader, static_cast<int>(i) + 1);
    }
    mix.mainFader = fader(kMainFader, 0);
    mix.mainOn = on(kMainOn, 0);
    return MeterDatagram(MeterLevels(seconds, mix));
}

std::string ConsoleMeaning(const DecodedMessage& message)
{
    const std::optional<Meaning> meaning = MeaningOf(message.address);
    if (meaning == Meaning::InitAll) {
        return "initialise console";
    }
    if (meaning == Meaning::Subscribe) {
        return message.arguments.empty() ? "subscribe to changes for " + std::to_string(kSubscriptionSeconds) + " s"
                                         : "not understood: the console expects no arguments";
    }
    if (IsQuery(message)) {
        return "query";
    }
    if (meaning == Meaning::Meters) {
        const std::optional<double> period = MeterPeriod(message);
        return period ? "console surface meters every " + Fixed(*period * 1000.0, 0) + " ms for " +
                            std::to_string(kMeterSeconds) + " s"
                      : "not understood: the stand-in answers \"/meters/5\" with three ints, the last 1 or more "
                        "(,siii)";
    }
    if (!meaning) {
        return {};
    }
    return meaning == Meaning::Name ? NameMeaning(message) : NumberMeaning(*meaning, message);
}
