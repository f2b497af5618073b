// Meter requests, the test signal, the frame's bytes and the frames' schedule.
#include "monitor/Meters.h"

#include "monitor/ConsoleModel.h"
#include "osc/ConsoleUnits.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>
#include <string>

namespace {

constexpr double kFrameSeconds = 0.05; // at time factor 1
constexpr double kWaveSeconds = 8.0;   // one slow swing of a channel from -40 dBFS to -6 and back
constexpr double kLowestDb = -40.0;
constexpr double kHighestDb = -6.0;
constexpr double kSilenceDb = -128.0;
constexpr double kTopDb = 18.0;

double FromDb(double db)
{
    return std::pow(10.0, db / 20.0);
}

// A fader's linear factor; 0.0 (-inf dB) is 0.
double FaderGain(float level)
{
    return FromDb(FaderLevelToDb(level));
}

// OSC pads a string with one to four NUL bytes to a multiple of four.
void AppendPadded(std::vector<std::uint8_t>& bytes, std::string_view text)
{
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.resize((bytes.size() / 4 + 1) * 4, 0);
}

// OSC's own numbers are big-endian; the words inside the meter blob are the console's, little-endian.
void AppendWord(std::vector<std::uint8_t>& bytes, std::uint32_t word, bool bigEndian)
{
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(word >> (bigEndian ? 24 - 8 * i : 8 * i)));
    }
}

} // namespace

std::optional<double> MeterPeriod(const DecodedMessage& message)
{
    if (message.address != "/meters" || message.typeTags != ",siii" ||
        std::get<std::string>(message.arguments[0]) != "/meters/5") {
        return std::nullopt;
    }
    const std::int32_t factor = std::get<std::int32_t>(message.arguments[3]);
    return factor >= 1 ? std::optional(kFrameSeconds * factor) : std::nullopt;
}

std::array<float, kMeterCount> MeterLevels(double seconds, const MeterMix& mix)
{
    std::array<double, kMeterCount> levels{};
    double power = 0.0; // unrelated signals add their powers
    for (std::size_t i = 0; i < kMeterChannels; ++i) {
        const double phase =
            2.0 * std::numbers::pi * (seconds / kWaveSeconds + static_cast<double>(i) / kMeterChannels);
        levels[i] = FromDb(kLowestDb + (kHighestDb - kLowestDb) * (1.0 + std::sin(phase)) / 2.0);
        power += std::pow(mix.channelsOn[i] ? levels[i] * FaderGain(mix.channelFaders[i]) : 0.0, 2.0);
    }
    for (std::size_t bus = 0; bus < kMeterBuses; ++bus) {
        levels[kMeterChannels + bus] = std::sqrt(power) * FaderGain(mix.busFaders[bus]);
    }
    const std::size_t left = kMeterChannels + kMeterBuses;
    levels[left] = levels[left + 1] = mix.mainOn ? std::sqrt(power) * FaderGain(mix.mainFader) : 0.0;
    levels[left + 2] = (levels[left] + levels[left + 1]) / 2.0;
    std::array<float, kMeterCount> clamped{};
    for (std::size_t i = 0; i < kMeterCount; ++i) {
        // NaN from a fader set to NaN reads as silence, as the console has no such level.
        clamped[i] = static_cast<float>(levels[i] >= FromDb(kSilenceDb) ? std::min(levels[i], FromDb(kTopDb))
                                                                        : FromDb(kSilenceDb));
    }
    return clamped;
}

std::vector<std::uint8_t> MeterDatagram(const std::array<float, kMeterCount>& levels)
{
    std::vector<std::uint8_t> bytes;
    AppendPadded(bytes, "/meters/5");
    AppendPadded(bytes, ",b");
    AppendWord(bytes, static_cast<std::uint32_t>(4 * (1 + kMeterCount)), true);
    AppendWord(bytes, static_cast<std::uint32_t>(kMeterCount), false);
    for (const float level : levels) {
        AppendWord(bytes, std::bit_cast<std::uint32_t>(level), false);
    }
    return bytes;
}

void MeterStreams::Request(const Peer& peer, double seconds, double period)
{
    std::erase_if(streams_, [seconds](const Stream& stream) { return stream.until <= seconds; });
    const auto known =
        std::find_if(streams_.begin(), streams_.end(), [&peer](const Stream& stream) { return stream.peer == peer; });
    if (known != streams_.end()) {
        // The next frame stays where it was due; those after it follow the new period.
        *known = {peer, known->Next(), 0, period, seconds + kMeterSeconds};
        return;
    }
    if (streams_.size() >= kMaxSubscribers) {
        return;
    }
    streams_.push_back({peer, seconds, 0, period, seconds + kMeterSeconds});
}

std::vector<Peer> MeterStreams::TakeDue(double seconds)
{
    std::vector<Peer> due;
    for (Stream& stream : streams_) {
        if (stream.Next() <= seconds && stream.Next() < stream.until) {
            due.push_back(stream.peer);
        }
        // Frames missed while the loop was late are skipped, not sent in a burst.
        while (stream.Next() <= seconds) {
            ++stream.sent;
        }
    }
    std::erase_if(streams_, [](const Stream& stream) { return stream.Next() >= stream.until; });
    return due;
}

std::optional<double> MeterStreams::NextDue() const
{
    std::optional<double> next;
    for (const Stream& stream : streams_) {
        next = std::min(next.value_or(stream.Next()), stream.Next());
    }
    return next;
}
