// Encodes one OSC message with a single float argument into a caller's zero-filled block.
#include "osc/OscMessage.h"

#include <bit>

namespace {

// OSC strings are NUL-terminated and padded to a multiple of four bytes.
constexpr std::ptrdiff_t PaddedTextSize(std::string_view text)
{
    return (static_cast<std::ptrdiff_t>(text.size()) + 4) & ~std::ptrdiff_t{3};
}

// Writes the text's bytes; the NUL and pad bytes are already zero because the block is zero-filled.
std::ptrdiff_t AppendPaddedText(std::uint8_t* out, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        out[i] = static_cast<std::uint8_t>(text[i]);
    }
    return PaddedTextSize(text);
}

// OSC float32 is the IEEE 754 single bit pattern, most significant byte first.
std::ptrdiff_t AppendFloatBigEndian(std::uint8_t* out, float value)
{
    const auto bits = std::bit_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(bits >> (24 - 8 * i));
    }
    return 4;
}

} // namespace

std::ptrdiff_t BuildOscMessage(std::uint8_t* block, std::string_view address, std::string_view typeTag, float value)
{
    // Checked before any write so an oversized text leaves the block untouched.
    if (block == nullptr || PaddedTextSize(address) + PaddedTextSize(typeTag) + 4 > kOscMessageSize) {
        return 0;
    }
    std::ptrdiff_t position = AppendPaddedText(block, address);
    position += AppendPaddedText(block + position, typeTag);
    position += AppendFloatBigEndian(block + position, value);
    return position;
}
