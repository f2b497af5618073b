// libFuzzer target: BuildOscMessage with any address and type tag stays inside its 2048-byte block.
// It only encodes: nothing is sent.
#include "osc/OscMessage.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool AllAre(const std::uint8_t* first, const std::uint8_t* last, std::uint8_t byte)
{
    return std::all_of(first, last, [byte](std::uint8_t b) { return b == byte; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Input: the value (4 bytes), the address length (2 bytes, little-endian), then the address
    // and the type tag.
    if (size < 6)
        return 0;
    float value;
    std::memcpy(&value, data, 4);
    const std::string_view rest(reinterpret_cast<const char*>(data) + 6, size - 6);
    const std::size_t split = std::min(std::size_t{data[4]} | std::size_t{data[5]} << 8, rest.size());
    const std::string_view address = rest.substr(0, split);
    const std::string_view typeTag = rest.substr(split);

    // The block holds other bytes, as a reused one may: the encoder writes its own NULs and pad
    // bytes. Guard bytes after it catch a write past it, which AddressSanitizer cannot see inside
    // one allocation.
    constexpr std::uint8_t kGuard = 0xA5;
    std::vector<std::uint8_t> memory(kOscMessageSize + 64, kGuard);
    std::uint8_t* const block = memory.data();
    const std::ptrdiff_t length = BuildOscMessage(block, address, typeTag, value);
    if (!AllAre(block + kOscMessageSize, block + memory.size(), kGuard) || length < 0 || length % 4 != 0 ||
        length > kOscMessageSize)
        std::abort();

    // Each text takes its bytes, a NUL and up to three pad bytes; the value takes four.
    const auto least = static_cast<std::ptrdiff_t>(address.size() + typeTag.size() + 6);
    if (length == 0) {
        if (least + 6 <= kOscMessageSize || !AllAre(block, block + kOscMessageSize, kGuard)) // fits, or wrote
            std::abort();
        return 0;
    }
    // The address leads, NUL-terminated; the value ends the message, big-endian; nothing after it
    // is written.
    const std::uint8_t* const end = block + length;
    std::uint32_t bits = 0;
    for (const std::uint8_t* byte = end - 4; byte < end; ++byte)
        bits = bits << 8 | *byte;
    if (length < least || length > least + 6 || std::memcmp(block, address.data(), address.size()) != 0 ||
        block[address.size()] != 0 || bits != std::bit_cast<std::uint32_t>(value) ||
        !AllAre(end, block + kOscMessageSize, kGuard))
        std::abort();
    return 0;
}
