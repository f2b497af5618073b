// Strict OSC 1.0 decoding: every size must fit exactly and every pad byte must be zero.
#include "osc/OscDecoder.h"

#include <algorithm>
#include <bit>
#include <string_view>

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::string_view kBundleHeader{"#bundle\0", 8};

// Reads items off the front of a datagram; each read checks the bytes left first.
class Reader {
public:
    explicit Reader(Bytes data) : data_(data) {}

    std::size_t Left() const { return data_.size() - offset_; }

    // OSC int32 is two's complement, most significant byte first.
    bool ReadUint32(std::uint32_t& value)
    {
        if (Left() < 4) {
            return false;
        }
        value = 0;
        for (int i = 0; i < 4; ++i) {
            value = (value << 8) | data_[offset_++];
        }
        return true;
    }

    Bytes ReadBytes(std::size_t count)
    {
        const Bytes bytes = data_.subspan(offset_, count);
        offset_ += count;
        return bytes;
    }

    // `count` bytes have been read; the item is padded up to a multiple of four with NULs.
    std::string SkipPadding(std::size_t count, std::string_view what)
    {
        const std::size_t pad = (4 - count % 4) % 4;
        if (Left() < pad) {
            return std::string(what) + " padding truncated";
        }
        const Bytes padding = ReadBytes(pad);
        if (std::any_of(padding.begin(), padding.end(), [](std::uint8_t b) { return b != 0; })) {
            return std::string(what) + " not padded with zero bytes";
        }
        return {};
    }

    // OSC string: its bytes, one NUL, then NULs up to a multiple of four.
    std::string ReadString(std::string& text, std::string_view what)
    {
        const Bytes rest = data_.subspan(offset_);
        const auto nul = std::find(rest.begin(), rest.end(), std::uint8_t{0});
        if (nul == rest.end()) {
            return std::string(what) + " not terminated by a NUL byte";
        }
        const Bytes bytes = ReadBytes(static_cast<std::size_t>(nul - rest.begin()) + 1);
        text.assign(bytes.begin(), bytes.end() - 1);
        return SkipPadding(bytes.size(), what);
    }

    // OSC blob: an int32 size, the bytes, then NULs up to a multiple of four.
    std::string ReadBlob(OscBlob& blob, const std::string& what)
    {
        std::uint32_t size = 0;
        if (!ReadUint32(size)) {
            return what + " size truncated";
        }
        if (static_cast<std::int32_t>(size) < 0) {
            return what + " has a negative size";
        }
        if (size > Left()) {
            return what + " declares " + std::to_string(size) + " bytes, " + std::to_string(Left()) + " left";
        }
        const Bytes bytes = ReadBytes(size);
        blob.assign(bytes.begin(), bytes.end());
        return SkipPadding(size, what);
    }

private:
    Bytes data_;
    std::size_t offset_ = 0;
};

// A type tag as it can be printed in a one-line message, whatever byte it is.
std::string ShowTag(char tag)
{
    if (tag >= 0x20 && tag < 0x7F) {
        return std::string{'\'', tag, '\''};
    }
    static constexpr char kHex[] = "0123456789abcdef";
    const auto byte = static_cast<unsigned char>(tag);
    return std::string{"byte 0x"} + kHex[byte >> 4] + kHex[byte & 15];
}

// One argument of type `tag`, the `index`-th (from 1), read off the front of the arguments.
std::string DecodeArgument(Reader& reader, char tag, std::size_t index, std::vector<OscArgument>& arguments)
{
    const std::string what = "argument " + std::to_string(index) + " (" + ShowTag(tag) + ")";
    std::uint32_t bits = 0;
    switch (tag) {
    case 'i':
    case 'f':
        if (!reader.ReadUint32(bits)) {
            return what + " truncated";
        }
        tag == 'i' ? arguments.emplace_back(static_cast<std::int32_t>(bits))
                   : arguments.emplace_back(std::bit_cast<float>(bits));
        return {};
    case 's': {
        std::string text;
        std::string error = reader.ReadString(text, what);
        arguments.emplace_back(std::move(text));
        return error;
    }
    case 'b': {
        OscBlob blob;
        std::string error = reader.ReadBlob(blob, what);
        arguments.emplace_back(std::move(blob));
        return error;
    }
    default:
        return "unknown type tag " + ShowTag(tag);
    }
}

std::string DecodeMessage(Bytes data, DecodedMessage& message)
{
    // Checked first: for junk, a missing '/' says more than a missing NUL far away.
    if (data.empty() || data.front() != '/') {
        return "address does not start with '/'";
    }
    Reader reader(data);
    if (std::string error = reader.ReadString(message.address, "address"); !error.empty()) {
        return error;
    }
    // Older OSC senders omit the type tag string of a message without arguments, and a console
    // takes such a message as a query.
    if (reader.Left() == 0) {
        return {};
    }
    if (std::string error = reader.ReadString(message.typeTags, "type tag string"); !error.empty()) {
        return error;
    }
    if (message.typeTags.empty() || message.typeTags.front() != ',') {
        return "type tag string does not start with ','";
    }
    for (std::size_t i = 1; i < message.typeTags.size(); ++i) {
        if (std::string error = DecodeArgument(reader, message.typeTags[i], i, message.arguments); !error.empty()) {
            return error;
        }
    }
    if (reader.Left() != 0) {
        return std::to_string(reader.Left()) + " trailing bytes after the arguments";
    }
    return {};
}

std::string DecodePacket(Bytes data, int depth, std::vector<DecodedMessage>& messages);

// "#bundle\0", an 8-byte time tag (ignored: nothing here is scheduled), then elements,
// each an int32 size and that many bytes holding a message or a bundle.
std::string DecodeBundle(Bytes data, int depth, std::vector<DecodedMessage>& messages)
{
    if (depth > kMaxBundleDepth) {
        return "bundles nested deeper than " + std::to_string(kMaxBundleDepth) + " levels";
    }
    Reader reader(data);
    reader.ReadBytes(kBundleHeader.size());
    if (reader.Left() < 8) {
        return "bundle time tag truncated";
    }
    reader.ReadBytes(8);
    for (int element = 1; reader.Left() > 0; ++element) {
        const std::string what = "bundle element " + std::to_string(element);
        std::uint32_t size = 0;
        if (!reader.ReadUint32(size)) {
            return what + " size truncated";
        }
        const auto signedSize = static_cast<std::int32_t>(size);
        if (signedSize <= 0 || size % 4 != 0) {
            return what + " has size " + std::to_string(signedSize) + ", not a positive multiple of 4";
        }
        if (size > reader.Left()) {
            return what + " declares " + std::to_string(size) + " bytes, " + std::to_string(reader.Left()) + " left";
        }
        if (std::string error = DecodePacket(reader.ReadBytes(size), depth, messages); !error.empty()) {
            return what + ": " + error;
        }
    }
    return {};
}

std::string DecodePacket(Bytes data, int depth, std::vector<DecodedMessage>& messages)
{
    if (data.size() >= kBundleHeader.size() && std::equal(kBundleHeader.begin(), kBundleHeader.end(), data.begin())) {
        return DecodeBundle(data, depth + 1, messages);
    }
    DecodedMessage message;
    if (std::string error = DecodeMessage(data, message); !error.empty()) {
        return error;
    }
    messages.push_back(std::move(message));
    return {};
}

} // namespace

DecodeResult DecodeDatagram(std::span<const std::uint8_t> datagram)
{
    DecodeResult result;
    if (datagram.empty()) {
        result.error = "empty datagram";
        return result;
    }
    result.error = DecodePacket(datagram, 0, result.messages);
    if (!result.Ok()) {
        result.messages.clear();
    }
    return result;
}
