// The console's meters as the stand-in makes them: what a request asks for, a moving test signal
// through the mix the console holds, the frame's bytes, and who gets a frame when.
#pragma once

#include "monitor/Subscribers.h"
#include "osc/OscDecoder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// "/meters ,siii" naming bank "/meters/5", the console surface's 27 meters: channels 1 to 16,
// buses 1 to 8, main L and R, mono. Each request streams for 10 seconds.
inline constexpr std::size_t kMeterChannels = 16;
inline constexpr std::size_t kMeterBuses = 8;
inline constexpr std::size_t kMeterCount = kMeterChannels + kMeterBuses + 3;
inline constexpr int kMeterSeconds = 10;

// Seconds between two frames of a request for bank "/meters/5" (50 ms times the last int, the time
// factor, which must be 1 or more); empty for any other message.
std::optional<double> MeterPeriod(const DecodedMessage& message);

// The mix the channels pass on their way to the meters, as the console holds it: channel faders
// (0.0 to 1.0) and on switches, bus faders, the main bus's fader and on switch.
struct MeterMix {
    std::array<float, kMeterChannels> channelFaders{};
    std::array<bool, kMeterChannels> channelsOn{};
    std::array<float, kMeterBuses> busFaders{};
    float mainFader = 0.0f;
    bool mainOn = false;
};

// The 27 linear levels at `seconds`: each channel between -40 and -6 dBFS on a slow wave of its own
// phase; each bus, and L and R alike, the channels after their faders added as unrelated signals,
// through its own fader; mono the mean of L and R. Silence is -128 dBFS, +18 dBFS the top.
std::array<float, kMeterCount> MeterLevels(double seconds, const MeterMix& mix);

// The frame: "/meters/5" ",b" and a blob of the count and the levels, little-endian inside.
std::vector<std::uint8_t> MeterDatagram(const std::array<float, kMeterCount>& levels);

// Who asked for meters and when each is due a frame; as many requesters as subscribers.
class MeterStreams {
public:
    // A request from `peer` at `seconds`: frames from then on for 10 seconds, one every `period`;
    // a known peer's stream is renewed. While four others stream, a fifth is ignored.
    void Request(const Peer& peer, double seconds, double period);

    // The peers due a frame by `seconds`, one frame each however late; forgets expired streams.
    std::vector<Peer> TakeDue(double seconds);

    // When the next frame is due; empty when none streams.
    std::optional<double> NextDue() const;

private:
    struct Stream {
        Peer peer;
        double first; // the frame that started this period, then one every `period`
        long long sent;
        double period;
        double until;
        double Next() const { return first + static_cast<double>(sent) * period; }
    };
    std::vector<Stream> streams_;
};
