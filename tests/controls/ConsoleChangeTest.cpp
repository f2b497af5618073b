// The controls' console addresses in slot order (tests/data/addresses.txt), and what each message
// from the console means for the window (tests/data/console-change.tsv): a value for a control by
// its number, a strip's name, the desk's scene recall, or nothing.
#include "controls/ConsoleChange.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>

TEST(AddressTable, HoldsTheConsoleAddressesInSlotOrder)
{
    AddressTable table;
    FillAddressTable(table);
    const std::vector<Words> expected = ReadTable("addresses.txt");
    for (std::size_t slot = 0; slot < kSlotCount; ++slot)
        EXPECT_EQ(table[slot], expected.at(slot)[0]) << slot;
}

TEST(ConsoleChange, MessagesTable)
{
    AddressTable table;
    FillAddressTable(table);
    const ConsoleAddresses addresses(table);
    for (const Words& row : ReadTable("console-change.tsv")) {
        const ConsoleChange change = addresses.Interpret(DecodeDatagram(ParseBytes(row[1])).messages.at(0));
        std::ostringstream shown;
        shown << std::array{"none", "value", "name", "scene recalled"}[static_cast<std::size_t>(change.kind)]
              << (change.control ? " " + std::to_string(change.control->number) : "");
        if (change.kind == ConsoleChange::Kind::Value)
            shown << ' ' << change.value;
        else if (change.kind == ConsoleChange::Kind::Name)
            shown << " \"" << change.name << '"';
        EXPECT_EQ(shown.str(), row[2]) << row[0];
    }
}
