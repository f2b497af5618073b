// What a control event or the Return key starts, and the two auxiliary commands.
#pragma once

struct Program;

inline constexpr int kReturnShortcut = 15;

// Acts on the current control number.
void DispatchControlEvent(Program& program);

// Applies the value typed into the focused value field.
void ReturnKeyPath(Program& program);
