// Fills the slot-to-address table once at start-up; slots 77 to 90 stay empty.
#include "controls/AddressTable.h"

#include <cstdio>

namespace {

// printf-style formatting of one address with a single number; addresses are at most 20 characters.
std::string Numbered(const char* pattern, int number)
{
    char text[32];
    std::snprintf(text, sizeof text, pattern, number);
    return text;
}

} // namespace

void FillAddressTable(AddressTable& table)
{
    int slot = 0;
    for (int channel = 1; channel <= 16; ++channel) {
        table[slot++] = Numbered("/ch/%02d/mix/fader", channel);
    }
    table[slot++] = "/main/st/mix/fader";
    for (int dca = 1; dca <= 8; ++dca) {
        table[slot++] = Numbered("/dca/%d/fader", dca);
    }
    for (int bus = 1; bus <= 8; ++bus) {
        table[slot++] = Numbered("/bus/%02d/mix/fader", bus);
    }
    table[slot++] = "/-stat/chfaderbank";
    table[slot++] = "/-stat/grpfaderbank";
    for (int first = 1; first <= 15; first += 2) {
        table[slot++] = "/config/chlink/" + std::to_string(first) + "-" + std::to_string(first + 1);
    }
    table[slot++] = "/-action/initall";
    // Preamp inputs count from 000 on the console, unlike the channels.
    for (int input = 0; input <= 15; ++input) {
        table[slot++] = Numbered("/headamp/%03d/gain", input);
    }
    for (int channel = 1; channel <= 16; ++channel) {
        table[slot++] = Numbered("/ch/%02d/mix/on", channel);
    }
    table[slot++] = "/main/st/mix/on";
}
