// The console's surface meters on the wire: the request that starts them, and one frame of their
// levels decoded. Pure, so it is tested on bytes and fuzzed.
#pragma once

#include "osc/OscDecoder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

// Bank 5, the console surface: 27 levels, in this order.
inline constexpr std::size_t kMeterLevels = 27;
inline constexpr std::size_t kFirstChannelLevel = 0; // channels 1 to 16
inline constexpr std::size_t kFirstBusLevel = 16;    // buses 1 to 8
inline constexpr std::size_t kMainLeftLevel = 24;    // then main right, then mono
// The console sends linear levels up to 8.0, +18 dBFS.
inline constexpr float kMeterTopLinear = 8.0f;

// One frame in dBFS: finite up to the top of the console's scale, or minus infinity for silence.
using MeterFrame = std::array<float, kMeterLevels>;

// "/meters" ",siii" "/meters/5" 0 1 1: channels 1 to 16, buses 1 to 8, a frame every 50 ms, for
// 10 s. Written into `block` (kOscMessageSize bytes, any content); returns the length.
std::ptrdiff_t BuildMeterRequest(std::uint8_t* block);

// Whether the message is one of the console's meter frames, of any bank, good or broken.
bool IsMeterMessage(const DecodedMessage& message);

// A "/meters/5" frame: ",b", a blob of a little-endian count of 27, then 27 little-endian floats.
// Anything else is no frame at all. A NaN or a negative level is silence, +inf the top.
std::optional<MeterFrame> DecodeMeterFrame(const DecodedMessage& message);
