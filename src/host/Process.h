// Starting other programs and handing addresses to the desktop, without waiting for them.
#pragma once

#include <QString>

// Starts `program` (found on PATH) with `parameters` as its one argument when not empty, in
// `workingDirectory` or, when that is empty, in the current directory; returns at once. When it
// cannot be started, hands the program to the desktop opener instead. False when both fail.
bool RunProgram(const QString& program, const QString& parameters, const QString& workingDirectory);

// Asks the desktop's default handler (xdg-open) to open `address`; failures are silent.
void OpenWebPage(const QString& address);
