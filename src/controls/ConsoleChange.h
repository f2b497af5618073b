// What a message from the console means for the window: a value for one of its controls, a
// strip's name, or a scene recalled on the desk. Pure, so it is tested on messages and fuzzed.
#pragma once

#include "controls/AddressTable.h"
#include "controls/ControlMap.h"
#include "osc/OscDecoder.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The console keeps at most this many characters of a name.
inline constexpr std::size_t kNameLength = 12;

struct ConsoleChange {
    enum class Kind { None, Value, Name, SceneRecalled };
    Kind kind = Kind::None;
    const Control* control = nullptr; // Value: a fader, preamp gain field, "M" box or link box; Name: the strip's fader
    float value = 0.0f;               // Value: within 0.0 to 1.0
    std::string name;                 // Name: printable, at most kNameLength characters
};

// The address of a strip's name on the console, by its fader: "/ch/05/config/name".
std::string NameAddress(const Control& fader);

// One question of a read: the address asked, and the control its answer sets.
struct ConsoleQuery {
    std::string address;
    const Control* control;
    bool name; // the answer is the name of the strip of `control`, a fader
};

class ConsoleAddresses {
public:
    explicit ConsoleAddresses(const AddressTable& addresses);

    // One decoded message from the console, of those its datagram holds: one finite number for a
    // fader, gain, on switch or link (clamped to 0.0 to 1.0), one string for a name, or the desk's
    // scene recall with one int. Anything else, NaN and infinities included, is Kind::None.
    ConsoleChange Interpret(const DecodedMessage& message) const;

    // What a read asks: every fader, preamp gain, on switch and link in creation order, then,
    // with `names`, the name of every strip.
    std::vector<ConsoleQuery> Queries(bool names) const;

private:
    std::map<std::string, ConsoleQuery, std::less<>> byAddress_;
};
