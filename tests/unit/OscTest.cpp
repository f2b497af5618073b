// The bytes on the wire: the encoder, the address table, and the console units shown for them.
#include "osc/AddressTable.h"
#include "osc/ConsoleUnits.h"
#include "osc/OscMessage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

// Bytes after the message stay zero, as the block is zero-filled for the next one.
TEST(OscEncoder, BytesTable)
{
    for (const Words& row : ReadTable("osc-encoder.tsv")) {
        Bytes block(kOscMessageSize, 0);
        block.resize(static_cast<std::size_t>(BuildOscMessage(block.data(), row[0], row[1], std::stof(row[2]))));
        EXPECT_EQ(block, ParseBytes(row[3])) << row[0] << ' ' << row[2];
    }
}

// 2039 characters, their NUL, ",f" and the value fill the block exactly; one character more is
// refused with nothing written; so is a missing block.
TEST(OscEncoder, LongestAddressFillsTheBlock)
{
    Bytes guarded(kOscMessageSize + 16, 0xEE);
    std::fill_n(guarded.begin(), kOscMessageSize, 0);
    EXPECT_EQ(BuildOscMessage(guarded.data(), std::string(2040, 'a'), ",f", 1.0f), 0);
    EXPECT_EQ(std::count(guarded.begin(), guarded.end(), 0), kOscMessageSize);
    ASSERT_EQ(BuildOscMessage(guarded.data(), std::string(2039, 'a'), ",f", 1.0f), kOscMessageSize);
    EXPECT_EQ(Bytes(guarded.begin() + 2039, guarded.end()),
              ParseBytes(R"(00 ",f" 0000 3F800000 EEEEEEEE EEEEEEEE EEEEEEEE EEEEEEEE)"));
    EXPECT_EQ(BuildOscMessage(nullptr, "/a", ",f", 1.0f), 0);
}

TEST(AddressTable, HoldsTheConsoleAddressesInSlotOrder)
{
    SlotState slots;
    FillAddressTable(slots);
    Words expected;
    for (const Words& row : ReadTable("addresses.txt"))
        expected.push_back(row[0]);
    expected.resize(kSlotCount);
    EXPECT_EQ(Words(slots.addressTable.begin(), slots.addressTable.end()), expected);
    EXPECT_EQ((Words{expected[kChannelBankSlot], expected[kGroupBankSlot], expected[kInitAllSlot]}),
              (Words{"/-stat/chfaderbank", "/-stat/grpfaderbank", "/-action/initall"}));
}

TEST(ConsoleUnits, LawTable)
{
    for (const Words& row : ReadTable("console-units.tsv")) {
        if (row[0] == "db") {
            EXPECT_EQ(FormatDb(std::stod(row[1])), row[2]) << row[1];
            continue;
        }
        const bool fader = row[0] == "fader";
        const float value = std::stof(row[1]);
        const double db = fader ? FaderLevelToDb(value) : PreampGainToDb(value);
        const double expected = std::stod(row[2]);
        EXPECT_TRUE(db == expected || std::abs(db - expected) < 1e-4 || (std::isnan(db) && std::isnan(expected)))
            << row[0] << ' ' << row[1] << " gave " << db;
        EXPECT_EQ(fader ? FormatFaderLevel(value) : FormatPreampGain(value), row[3]) << row[1];
    }
}
