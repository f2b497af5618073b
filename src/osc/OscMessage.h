// OSC 1.0 encoding of one message with one number argument, with strings, or with a string and
// int32s, into a block; every pad byte is written, so the block need not be zero-filled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// Size of every message block; nothing is ever written past it.
inline constexpr std::ptrdiff_t kOscMessageSize = 2048;

// Writes `address`, then `typeTag`, each NUL-terminated and zero-padded to a multiple of four, then
// `value` as a big-endian IEEE 754 single into `block` (kOscMessageSize bytes, whatever they hold)
// and returns the message length; the bytes after it are left as they were. Returns 0 and writes
// nothing when `block` is null or the message would not fit in the block.
std::ptrdiff_t BuildOscMessage(std::uint8_t* block, std::string_view address, std::string_view typeTag, float value);

// The same with `value` as a big-endian two's complement int32, the argument of an ",i" message.
std::ptrdiff_t BuildOscIntMessage(std::uint8_t* block, std::string_view address, std::string_view typeTag,
                                  std::int32_t value);

// A query: `address`, then the type tag "," of a message without arguments. The console answers
// it with the parameter's current value. Same block and failure rules as BuildOscMessage.
std::ptrdiff_t BuildOscQuery(std::uint8_t* block, std::string_view address);

// A message of strings: `address`, the type tag "," with one 's' per string, then each string,
// NUL-terminated and padded like the address; how the console answers "/xinfo" or tells a name.
// The strings hold no NUL byte. Same block and failure rules as BuildOscMessage.
std::ptrdiff_t BuildOscStringsMessage(std::uint8_t* block, std::string_view address,
                                      const std::vector<std::string_view>& strings);

// A message of one string and int32s: `address`, the type tag ",s" with one 'i' per number, the
// string, then each number big-endian; how the console is asked for its meters. Same block and
// failure rules as BuildOscMessage.
std::ptrdiff_t BuildOscStringIntsMessage(std::uint8_t* block, std::string_view address, std::string_view text,
                                         std::span<const std::int32_t> numbers);
