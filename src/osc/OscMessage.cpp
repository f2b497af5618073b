// Encodes one OSC message with a single float or int32 argument, with strings, or with a string and
// int32s, into a caller's block.
#include "osc/OscMessage.h"

#include <algorithm>
#include <bit>
#include <string>

namespace {

// OSC strings are NUL-terminated and padded to a multiple of four bytes.
constexpr std::ptrdiff_t PaddedTextSize(std::string_view text)
{
    return (static_cast<std::ptrdiff_t>(text.size()) + 4) & ~std::ptrdiff_t{3};
}

// Writes the text's bytes, then its NUL and pad bytes: a reused block may hold anything there.
std::ptrdiff_t AppendPaddedText(std::uint8_t* out, std::string_view text)
{
    const std::ptrdiff_t size = PaddedTextSize(text);
    std::fill(std::copy(text.begin(), text.end(), out), out + size, std::uint8_t{0});
    return size;
}

// OSC float32 and int32 are 32-bit patterns (IEEE 754 single, two's complement), most significant
// byte first.
std::ptrdiff_t AppendBigEndian(std::uint8_t* out, std::uint32_t bits)
{
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(bits >> (24 - 8 * i));
    }
    return 4;
}

std::ptrdiff_t BuildWithArgumentBits(std::uint8_t* block, std::string_view address, std::string_view typeTag,
                                     std::uint32_t bits)
{
    // Checked before any write so an oversized text leaves the block untouched.
    if (block == nullptr || PaddedTextSize(address) + PaddedTextSize(typeTag) + 4 > kOscMessageSize) {
        return 0;
    }
    std::ptrdiff_t position = AppendPaddedText(block, address);
    position += AppendPaddedText(block + position, typeTag);
    position += AppendBigEndian(block + position, bits);
    return position;
}

} // namespace

std::ptrdiff_t BuildOscMessage(std::uint8_t* block, std::string_view address, std::string_view typeTag, float value)
{
    return BuildWithArgumentBits(block, address, typeTag, std::bit_cast<std::uint32_t>(value));
}

std::ptrdiff_t BuildOscIntMessage(std::uint8_t* block, std::string_view address, std::string_view typeTag,
                                  std::int32_t value)
{
    return BuildWithArgumentBits(block, address, typeTag, static_cast<std::uint32_t>(value));
}

std::ptrdiff_t BuildOscQuery(std::uint8_t* block, std::string_view address)
{
    if (block == nullptr || PaddedTextSize(address) + PaddedTextSize(",") > kOscMessageSize) {
        return 0;
    }
    const std::ptrdiff_t length = AppendPaddedText(block, address);
    return length + AppendPaddedText(block + length, ",");
}

std::ptrdiff_t BuildOscStringsMessage(std::uint8_t* block, std::string_view address,
                                      const std::vector<std::string_view>& strings)
{
    const std::string typeTags = "," + std::string(strings.size(), 's');
    std::ptrdiff_t size = PaddedTextSize(address) + PaddedTextSize(typeTags);
    for (const std::string_view text : strings) {
        size += PaddedTextSize(text);
    }
    if (block == nullptr || size > kOscMessageSize) {
        return 0;
    }
    std::ptrdiff_t position = AppendPaddedText(block, address);
    position += AppendPaddedText(block + position, typeTags);
    for (const std::string_view text : strings) {
        position += AppendPaddedText(block + position, text);
    }
    return position;
}

std::ptrdiff_t BuildOscStringIntsMessage(std::uint8_t* block, std::string_view address, std::string_view text,
                                         std::span<const std::int32_t> numbers)
{
    const std::string typeTags = ",s" + std::string(numbers.size(), 'i');
    const std::ptrdiff_t size = PaddedTextSize(address) + PaddedTextSize(typeTags) + PaddedTextSize(text) +
                                4 * static_cast<std::ptrdiff_t>(numbers.size());
    if (block == nullptr || size > kOscMessageSize) {
        return 0;
    }
    std::ptrdiff_t position = AppendPaddedText(block, address);
    position += AppendPaddedText(block + position, typeTags);
    position += AppendPaddedText(block + position, text);
    for (const std::int32_t number : numbers) {
        position += AppendBigEndian(block + position, static_cast<std::uint32_t>(number));
    }
    return position;
}
