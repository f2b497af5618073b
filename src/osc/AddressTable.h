// The mixer parameters the program can change, each named by its slot number.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr int kSlotCount = 91; // slots 0 to 90; 0 to 76 are in use
inline constexpr int kSlotsInUse = 77;

// Slots that the scene commands name directly.
inline constexpr int kChannelBankSlot = 33; // "/-stat/chfaderbank"
inline constexpr int kGroupBankSlot = 34;   // "/-stat/grpfaderbank"
inline constexpr int kInitAllSlot = 43;     // "/-action/initall"

struct SlotState {
    std::array<std::string, kSlotCount> addressTable;       // ASCII addresses; 77 to 90 empty
    std::array<std::uint8_t*, kSlotCount> messageBuffer{};  // non-null only while that slot's message is in flight
    std::array<std::ptrdiff_t, kSlotCount> messageLength{}; // length of the slot's latest message
    std::ptrdiff_t currentSlot = 0;
    float currentValue = 0.0f;
    std::ptrdiff_t controlState = 0;
};

// Stores the 77 addresses at slots 0 to 76, in ascending order.
void FillAddressTable(SlotState& slots);
