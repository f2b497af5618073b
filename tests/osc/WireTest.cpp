// The bytes on the wire: what the encoder writes into a block that holds other bytes, and what the
// decoder makes of each datagram, well formed or not (tables in tests/data).
#include "osc/OscDecoder.h"
#include "osc/OscMessage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <bit>

// What a reused block may hold: none of it may show through.
constexpr std::uint8_t kPoison = 0xA5;

// A decoded argument as the decoder table writes it: an int in decimal, a float's bits in hex (so
// NaN and -0 show as they are), a string quoted, a blob's bytes in hex.
static std::string Shown(const OscArgument& argument)
{
    if (const auto* text = std::get_if<std::string>(&argument))
        return '"' + *text + '"';
    if (const auto* number = std::get_if<std::int32_t>(&argument))
        return std::to_string(*number);
    if (const auto* real = std::get_if<float>(&argument))
        return QByteArray::number(std::bit_cast<std::uint32_t>(*real), 16).rightJustified(8, '0').toStdString();
    return "blob:" + ToQByteArray(std::get<OscBlob>(argument)).toHex().toStdString();
}

TEST(OscEncoder, BytesTable)
{
    for (const Words& row : ReadTable("osc-encoder.tsv")) {
        Bytes block(kOscMessageSize, kPoison);
        const std::vector<std::string_view> strings(row.begin() + 2, row.end() - 1);
        block.resize(static_cast<std::size_t>(
            row[1].starts_with(",s") ? BuildOscStringsMessage(block.data(), row[0], strings)
            : row[2] == "query"      ? BuildOscQuery(block.data(), row[0])
            : row[1] == ",i"         ? BuildOscIntMessage(block.data(), row[0], row[1], std::stoi(row[2]))
                                     : BuildOscMessage(block.data(), row[0], row[1], std::stof(row[2]))));
        EXPECT_EQ(block, ParseBytes(row.back())) << row[0] << ' ' << row[2];
    }
}

// 2039 characters, their NUL, ",f" and the value fill the block exactly; one character more is
// refused with nothing written; so is a missing block.
TEST(OscEncoder, LongestAddressFillsTheBlock)
{
    Bytes guarded(kOscMessageSize + 16, kPoison);
    EXPECT_EQ(BuildOscMessage(guarded.data(), std::string(2040, 'a'), ",f", 1.0f), 0);
    EXPECT_EQ(std::count(guarded.begin(), guarded.end(), kPoison), std::ssize(guarded));
    ASSERT_EQ(BuildOscMessage(guarded.data(), std::string(2039, 'a'), ",f", 1.0f), kOscMessageSize);
    EXPECT_EQ(Bytes(guarded.begin() + 2039, guarded.end()),
              ParseBytes("002C6600 003F8000 00A5A5A5 A5A5A5A5 A5A5A5A5 A5A5A5A5 A5"));
    EXPECT_EQ(BuildOscMessage(nullptr, "/a", ",f", 1.0f), 0);
    EXPECT_EQ(BuildOscQuery(guarded.data(), std::string(2044, 'a')), 0);
    EXPECT_EQ(BuildOscStringsMessage(guarded.data(), "/a", {std::string(2040, 'a')}), 0);
}

// Each row: its name, the datagram, then the decoder's one sentence, or each message as its
// address, its type tags and its arguments.
TEST(OscDecoder, DatagramsTable)
{
    for (const Words& row : ReadTable("osc-decoder.tsv")) {
        const DecodeResult result = DecodeDatagram(ParseBytes(row[1]));
        Words shown{row[0], row[1]};
        if (!result.Ok())
            shown.push_back(result.error);
        for (const DecodedMessage& message : result.messages) {
            shown.push_back(message.address + (message.typeTags.empty() ? "" : ' ' + message.typeTags));
            for (const OscArgument& argument : message.arguments)
                shown.back() += ' ' + Shown(argument);
        }
        EXPECT_EQ(shown, row);
    }
}
