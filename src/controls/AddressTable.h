// The console parameters the program can change, each named by its slot number.
#pragma once

#include <array>
#include <string>

inline constexpr int kSlotCount = 91; // slots 0 to 90; 0 to 76 are in use
inline constexpr int kSlotsInUse = 77;

// Slots that the scene commands and the fader banks name directly.
inline constexpr int kChannelBankSlot = 33; // "/-stat/chfaderbank"
inline constexpr int kGroupBankSlot = 34;   // "/-stat/grpfaderbank"
inline constexpr int kInitAllSlot = 43;     // "/-action/initall"

// ASCII addresses by slot; 77 to 90 stay empty.
using AddressTable = std::array<std::string, kSlotCount>;

// Stores the 77 addresses at slots 0 to 76, in ascending order.
void FillAddressTable(AddressTable& table);
