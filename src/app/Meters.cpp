// The meters' places from the faders of the control map, and the console's frames to the window.
#include "app/Meters.h"

#include "app/Program.h"
#include "controls/ControlMap.h"
#include "controls/ControlNames.h"
#include "host/Network.h"
#include "osc/MeterFrame.h"
#include "osc/OscMessage.h"

#include <algorithm>
#include <array>

namespace {

// A meter takes the gap right of its 20-pixel fader: from one pixel past it to 28 pixels right of
// the fader's left edge, clear of the next strip's fader.
constexpr int kGapFromFaderLeft = 21, kGapWidth = 7;

// Where the levels of the strip of `fader` start in a frame; -1 for a strip without a meter.
int FirstLevel(const Control& fader)
{
    switch (fader.strip) {
    case StripKind::Channel:
        return static_cast<int>(kFirstChannelLevel) + fader.stripNumber - 1;
    case StripKind::Bus:
        return static_cast<int>(kFirstBusLevel) + fader.stripNumber - 1;
    case StripKind::MainMix:
        return static_cast<int>(kMainLeftLevel);
    default:
        return -1;
    }
}

// "Channel 05 meter, Kick", "Bus 3 meter", "LR meter".
QString MeterName(const Control& fader, const StripNames& names)
{
    QString name = fader.strip == StripKind::MainMix ? QStringLiteral("LR meter")
                                                     : QString::fromStdString(StripName(fader) + " meter");
    if (const auto given = names.find(fader.number); given != names.end() && !given->second.isEmpty()) {
        name += QStringLiteral(", ") + given->second;
    }
    return name;
}

// The main mix has a bar for each side, left and right.
int Bars(const Control& fader)
{
    return fader.strip == StripKind::MainMix ? 2 : 1;
}

// The meters' faders, in the control map's order.
std::vector<const Control*> MeteredFaders()
{
    std::vector<const Control*> faders;
    for (const Control& fader : ControlsWith(ControlRole::Fader)) {
        if (FirstLevel(fader) >= 0) {
            faders.push_back(&fader);
        }
    }
    return faders;
}

} // namespace

std::vector<MeterPlace> MeterPlaces(const StripNames& names)
{
    std::vector<MeterPlace> places;
    for (const Control* fader : MeteredFaders()) {
        const auto [x, y, width, height] = fader->rect;
        places.push_back({.x = x + kGapFromFaderLeft,
                          .y = y,
                          .width = kGapWidth,
                          .height = height,
                          .bars = Bars(*fader),
                          .name = MeterName(*fader, names)});
    }
    return places;
}

void CreateMeters(Program& program)
{
    program.window.CreateMeters(MeterPlaces(program.names));
}

void RequestMeters(Program& program)
{
    std::array<std::uint8_t, kOscMessageSize> block;
    SendDatagram(program.surface.link.get(), block.data(), BuildMeterRequest(block.data()));
}

bool TakeMeterMessage(Program& program, const DecodedMessage& message)
{
    if (!IsMeterMessage(message)) {
        return false;
    }
    if (const std::optional<MeterFrame> frame = DecodeMeterFrame(message)) {
        std::vector<float> levels; // each meter's bars in turn; mono has none
        for (const Control* fader : MeteredFaders()) {
            const auto first = frame->begin() + FirstLevel(*fader);
            levels.insert(levels.end(), first, first + Bars(*fader));
        }
        program.window.FeedMeters(levels);
    }
    return true;
}

void DropMeters(Program& program)
{
    program.window.DropMeters();
}

void NameMeter(HostWindow& window, const StripNames& names, const Control& fader)
{
    const std::vector<const Control*> faders = MeteredFaders();
    if (const auto found = std::ranges::find(faders, &fader); found != faders.end()) {
        window.SetMeterName(static_cast<int>(found - faders.begin()), MeterName(fader, names));
    }
}
