// The meter request and the decoding of the console's meter blobs, whose numbers, unlike the rest
// of OSC, are little-endian.
#include "osc/MeterFrame.h"

#include "osc/OscMessage.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <string_view>

namespace {

constexpr std::string_view kMeterAddress = "/meters";
constexpr std::string_view kSurfaceBank = "/meters/5";
// The request's numbers: channel meters 1 to 16, group meters buses 1 to 8, one frame per 50 ms.
// All three always go: with fewer, some consoles read the time factor wrongly.
constexpr std::array<std::int32_t, 3> kSurfaceChoice{0, 1, 1};

std::uint32_t LittleEndianAt(const OscBlob& blob, std::size_t offset)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | blob[offset + static_cast<std::size_t>(i)];
    }
    return value;
}

float ToDbfs(float linear)
{
    if (std::isnan(linear) || linear <= 0.0f) {
        return -std::numeric_limits<float>::infinity();
    }
    return 20.0f * std::log10(std::min(linear, kMeterTopLinear));
}

} // namespace

std::ptrdiff_t BuildMeterRequest(std::uint8_t* block)
{
    return BuildOscStringIntsMessage(block, kMeterAddress, kSurfaceBank, kSurfaceChoice);
}

bool IsMeterMessage(const DecodedMessage& message)
{
    const std::string_view address = message.address;
    return address == kMeterAddress ||
           (address.starts_with(kMeterAddress) && address.substr(kMeterAddress.size()).starts_with('/'));
}

std::optional<MeterFrame> DecodeMeterFrame(const DecodedMessage& message)
{
    const OscBlob* blob = message.arguments.size() == 1 ? std::get_if<OscBlob>(&message.arguments.front()) : nullptr;
    if (message.address != kSurfaceBank || message.typeTags != ",b" || blob == nullptr ||
        blob->size() != 4 + 4 * kMeterLevels || LittleEndianAt(*blob, 0) != kMeterLevels) {
        return std::nullopt;
    }
    MeterFrame frame{};
    for (std::size_t i = 0; i < kMeterLevels; ++i) {
        frame[i] = ToDbfs(std::bit_cast<float>(LittleEndianAt(*blob, 4 + 4 * i)));
    }
    return frame;
}
