// The bytes on the wire: what the encoder writes into a block that holds other bytes (table in
// tests/data).
#include "osc/OscMessage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

// What a reused block may hold: none of it may show through.
constexpr std::uint8_t kPoison = 0xA5;

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
