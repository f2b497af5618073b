// config.ini: the console's address, shown in the status bar, and the link to it.
#pragma once

#include <cstdint>

struct Program;
struct TextFile;

inline constexpr int kConsolePort = 10023;

// Reads the four octet lines of config.ini in the current directory, shows the address in the
// status bar and opens a new link to the console in place of the old one. When the file cannot be
// opened, tells the user and returns false; nothing else changes then.
bool LoadConfiguration(Program& program);

// The first four lines of an open config.ini as one packed address, first octet in the low
// byte; a missing or non-numeric line counts as 0, and out-of-range octets carry.
std::int64_t ReadMixerAddress(TextFile& file);
