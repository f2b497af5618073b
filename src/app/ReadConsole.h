// Starting from the console's mix (opt-in): one query for each value the console keeps of what
// Quillon drives, and the window set from the answers. Nothing else is sent, no handler runs.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

struct Program;

// The value an answer to a query of `address` carries: one message to that address with one
// int or float argument; empty for anything else.
std::optional<float> AnswerValue(std::span<const std::uint8_t> datagram, std::string_view address);

// Asks, waits for each answer in turn, sets the window, and tells the user when answers are
// missing. Needs the controls and the link.
void ReadConsoleMix(Program& program);
