// The console's messages read against the address table and the strips of the control map.
#include "osc/ConsoleChange.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <variant>

namespace {

bool IsAsked(const Control& control)
{
    return control.role == ControlRole::Fader || control.role == ControlRole::PreampGain ||
           control.role == ControlRole::Mute || control.role == ControlRole::Link;
}

// Control characters would reach tooltips and screen readers; the console's own names are plain.
std::string PrintableName(const std::string& text)
{
    std::string name;
    for (const char c : text) {
        if (name.size() < kNameLength && static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
            name += c;
        }
    }
    return name;
}

ConsoleChange ValueChange(const Control* control, const OscArgument& argument)
{
    float value = 0.0f;
    if (const auto* number = std::get_if<std::int32_t>(&argument)) {
        value = static_cast<float>(*number);
    } else if (const auto* real = std::get_if<float>(&argument); real && std::isfinite(*real)) {
        value = *real;
    } else {
        return {};
    }
    return {ConsoleChange::Kind::Value, control, std::clamp(value, 0.0f, 1.0f), {}};
}

} // namespace

std::string NameAddress(const Control& fader)
{
    const char* pattern = "/main/st/config/name";
    switch (fader.strip) {
    case StripKind::Channel:
        pattern = "/ch/%02d/config/name";
        break;
    case StripKind::Dca:
        pattern = "/dca/%d/config/name";
        break;
    case StripKind::Bus:
        pattern = "/bus/%02d/config/name";
        break;
    default:
        break;
    }
    char address[32];
    std::snprintf(address, sizeof address, pattern, fader.stripNumber);
    return address;
}

ConsoleAddresses::ConsoleAddresses(const AddressTable& addresses)
{
    for (const Control& control : kControls) {
        if (IsAsked(control)) {
            const std::string& address = addresses[static_cast<std::size_t>(control.slot)];
            byAddress_.emplace(address, ConsoleQuery{address, &control, false});
        }
        if (control.role == ControlRole::Fader) {
            byAddress_.emplace(NameAddress(control), ConsoleQuery{NameAddress(control), &control, true});
        }
    }
}

ConsoleChange ConsoleAddresses::Interpret(const DecodedMessage& message) const
{
    if (message.arguments.size() != 1) {
        return {};
    }
    const OscArgument& argument = message.arguments[0];
    if (message.address == "/-show/prepos/current") {
        ConsoleChange recalled;
        recalled.kind = std::holds_alternative<std::int32_t>(argument) ? ConsoleChange::Kind::SceneRecalled
                                                                       : ConsoleChange::Kind::None;
        return recalled;
    }
    const auto found = byAddress_.find(message.address);
    if (found == byAddress_.end()) {
        return {};
    }
    if (!found->second.name) {
        return ValueChange(found->second.control, argument);
    }
    const auto* text = std::get_if<std::string>(&argument);
    return text ? ConsoleChange{ConsoleChange::Kind::Name, found->second.control, 0.0f, PrintableName(*text)}
                : ConsoleChange{};
}

std::vector<ConsoleQuery> ConsoleAddresses::Queries(bool names) const
{
    std::vector<ConsoleQuery> values;
    std::vector<ConsoleQuery> strips;
    for (const Control& control : kControls) {
        for (const auto& [address, query] : byAddress_) {
            if (query.control == &control) {
                (query.name ? strips : values).push_back(query);
            }
        }
    }
    if (names) {
        values.insert(values.end(), strips.begin(), strips.end());
    }
    return values;
}
