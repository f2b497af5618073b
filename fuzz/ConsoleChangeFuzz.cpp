// libFuzzer target: any datagram as the console's push or answer to a following window. What it
// sets is a control that takes console values, a value within 0 to 1, or a short printable name;
// a meter frame is 27 levels, each silence or finite up to +18.07 dBFS, the top of the console's scale.
#include "controls/ConsoleChange.h"
#include "osc/MeterFrame.h"

#include <cmath>
#include <cstdlib>

namespace {

void Check(const ConsoleChange& change)
{
    const Control* control = change.control;
    switch (change.kind) {
    case ConsoleChange::Kind::Value:
        if (!control || control->slot < 0 || control->role == ControlRole::FaderBank || !std::isfinite(change.value) ||
            change.value < 0.0f || change.value > 1.0f)
            std::abort();
        break;
    case ConsoleChange::Kind::Name:
        if (!control || control->role != ControlRole::Fader || change.name.size() > kNameLength)
            std::abort();
        for (const char c : change.name)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                std::abort();
        break;
    case ConsoleChange::Kind::None:
    case ConsoleChange::Kind::SceneRecalled:
        if (control)
            std::abort();
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const ConsoleAddresses addresses = [] {
        AddressTable table;
        FillAddressTable(table);
        return ConsoleAddresses(table);
    }();
    for (const DecodedMessage& message : DecodeDatagram({data, size}).messages) {
        Check(addresses.Interpret(message));
        const std::optional<MeterFrame> frame = DecodeMeterFrame(message);
        if (frame && !IsMeterMessage(message))
            std::abort();
        for (const float level : frame.value_or(MeterFrame{}))
            if (std::isnan(level) || level > 18.07f || (std::isinf(level) && level > 0.0f))
                std::abort();
    }
    return 0;
}
