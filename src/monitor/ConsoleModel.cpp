// The console as Quillon's messages find it: address shapes and their meanings, and the table of
// values a query is answered with.
#include "monitor/ConsoleModel.h"

#include "monitor/Numbers.h"
#include "osc/AddressTable.h"
#include "osc/ConsoleUnits.h"
#include "osc/ControlMap.h"
#include "osc/OscMessage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
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

// Quillon's fader-bank buttons, by their rules: "bank CH 1-8" and the like; the other bank value a
// button sends beside this one is named with it. 0.0 is a cleared button.
std::string BankMeaning(int slot, float value)
{
    if (value == 0.0f) {
        return "bank cleared";
    }
    static const AddressTable addresses = [] {
        AddressTable table;
        FillAddressTable(table);
        return table;
    }();
    for (const Control& box : ControlsWith(ControlRole::FaderBank)) {
        const BankRule& rule = kBankRules[static_cast<std::size_t>(box.bankRule)];
        for (std::size_t i = 0; i < rule.slots.size(); ++i) {
            if (rule.slots[i] != slot || rule.checkedValues[i] != value) {
                continue;
            }
            std::string meaning = std::string("bank ") + box.text;
            if (const int other = rule.slots[1 - i]; other >= 0) {
                const std::string& address = addresses[static_cast<std::size_t>(other)];
                meaning += " (with " + address.substr(address.rfind('/') + 1) + ' ' +
                           FloatText(rule.checkedValues[1 - i]) + ")";
            }
            return meaning;
        }
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
        return BankMeaning(*meaning == Meaning::ChannelBank ? kChannelBankSlot : kGroupBankSlot, value);
    case Meaning::InitAll:
        break;
    }
    return {};
}
