// Strict OSC 1.0 decoding of one UDP datagram: a message, or a bundle of them, nested.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

// One argument; the alternative follows the type tag: 'i', 'f', 's', 'b'.
using OscBlob = std::vector<std::uint8_t>;
using OscArgument = std::variant<std::int32_t, float, std::string, OscBlob>;

struct DecodedMessage {
    std::string address;  // starts with '/'; any bytes but NUL after that
    std::string typeTags; // as sent, with the leading ','; empty when the message ends after the address
    std::vector<OscArgument> arguments;
    bool operator==(const DecodedMessage&) const = default;
};

// Bundles deeper than this are refused, so hostile input cannot exhaust the stack.
inline constexpr int kMaxBundleDepth = 8;

// Either the datagram's messages in order (bundle elements flattened; an empty bundle gives none)
// and an empty error, or no messages and one sentence saying what is wrong.
struct DecodeResult {
    std::vector<DecodedMessage> messages;
    std::string error;
    bool Ok() const { return error.empty(); }
};

DecodeResult DecodeDatagram(std::span<const std::uint8_t> datagram);
