// What a control event or the Return key starts, and the two auxiliary commands.
#pragma once

struct Program;

// Acts on an event of control `control`.
void DispatchControlEvent(Program& program, int control);

// Applies the value typed into the focused value field.
void ReturnKeyPath(Program& program);
