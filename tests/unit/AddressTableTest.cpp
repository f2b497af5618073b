// The slot-to-address table: the addresses at the family boundaries, their form, the unused slots.
#include "osc/AddressTable.h"

#include <gtest/gtest.h>

#include <set>

namespace {

AddressTable FilledSlots()
{
    AddressTable table;
    FillAddressTable(table);
    return table;
}

struct SlotAddress {
    int slot;
    const char* address;
};

void PrintTo(const SlotAddress& row, std::ostream* out)
{
    *out << '"' << row.address << '"';
}

class AddressTableSlot : public testing::TestWithParam<SlotAddress> {};

TEST_P(AddressTableSlot, HoldsAddress)
{
    EXPECT_EQ(FilledSlots()[static_cast<std::size_t>(GetParam().slot)], GetParam().address);
}

// First and last slot of every family, so an off-by-one between families shows.
INSTANTIATE_TEST_SUITE_P(FamilyBoundaries, AddressTableSlot,
                         testing::Values(SlotAddress{0, "/ch/01/mix/fader"}, SlotAddress{8, "/ch/09/mix/fader"},
                                         SlotAddress{15, "/ch/16/mix/fader"}, SlotAddress{16, "/main/st/mix/fader"},
                                         SlotAddress{17, "/dca/1/fader"}, SlotAddress{24, "/dca/8/fader"},
                                         SlotAddress{25, "/bus/01/mix/fader"}, SlotAddress{32, "/bus/08/mix/fader"},
                                         SlotAddress{kChannelBankSlot, "/-stat/chfaderbank"},
                                         SlotAddress{kGroupBankSlot, "/-stat/grpfaderbank"},
                                         SlotAddress{35, "/config/chlink/1-2"}, SlotAddress{39, "/config/chlink/9-10"},
                                         SlotAddress{42, "/config/chlink/15-16"},
                                         SlotAddress{kInitAllSlot, "/-action/initall"},
                                         SlotAddress{44, "/headamp/000/gain"}, SlotAddress{59, "/headamp/015/gain"},
                                         SlotAddress{60, "/ch/01/mix/on"}, SlotAddress{69, "/ch/10/mix/on"},
                                         SlotAddress{75, "/ch/16/mix/on"}, SlotAddress{76, "/main/st/mix/on"}),
                         [](const auto& info) { return "Slot" + std::to_string(info.param.slot); });

TEST(AddressTable, SlotsInUseAreUniqueShortAsciiAddresses)
{
    const AddressTable slots = FilledSlots();
    std::set<std::string> seen;
    for (int slot = 0; slot < kSlotsInUse; ++slot) {
        const std::string& address = slots[static_cast<std::size_t>(slot)];
        SCOPED_TRACE("slot " + std::to_string(slot) + ": " + address);
        ASSERT_FALSE(address.empty());
        EXPECT_EQ(address.front(), '/');
        // 20 characters keep every message within 32 bytes.
        EXPECT_LE(address.size(), 20u);
        EXPECT_TRUE(std::all_of(address.begin(), address.end(), [](char c) { return c > 0x20 && c < 0x7F; }));
        EXPECT_TRUE(seen.insert(address).second) << "duplicate";
    }
}

TEST(AddressTable, UnusedSlotsStayEmptyAndNoMessageIsInFlight)
{
    const AddressTable slots = FilledSlots();
    for (int slot = kSlotsInUse; slot < kSlotCount; ++slot) {
        EXPECT_TRUE(slots[static_cast<std::size_t>(slot)].empty()) << "slot " << slot;
    }
}

// The console matches the plain ASCII hyphen-minus, not a look-alike dash.
TEST(AddressTable, HyphensAreAsciiHyphenMinus)
{
    const AddressTable slots = FilledSlots();
    const std::string& bank = slots[kChannelBankSlot];
    EXPECT_EQ(std::vector<unsigned char>(bank.begin(), bank.begin() + 6),
              (std::vector<unsigned char>{0x2F, 0x2D, 0x73, 0x74, 0x61, 0x74}));
    const std::string& link = slots[42];
    ASSERT_EQ(link.size(), 20u);
    EXPECT_EQ(static_cast<unsigned char>(link[17]), 0x2D);
    EXPECT_EQ(static_cast<unsigned char>(slots[kInitAllSlot][1]), 0x2D);
}

} // namespace
