// The console's values in the window, as if the user had set them: fader and value field, gain
// field, "M" box, link box with its pair, or a strip's name. Nothing is sent and no handler runs.
#pragma once

#include "app/Layout.h"
#include "controls/ConsoleChange.h"

class HostWindow;

// Sets what the change names, leaving alone a control the user is in the middle of changing.
void ShowConsoleChange(HostWindow& window, StripNames& names, const ConsoleChange& change);
