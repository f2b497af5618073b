// Reset: keep a snapshot, re-read the configuration, initialise the console, and zero every control and parameter.
#pragma once

#include <functional>

struct ControlSurface;

// `configure` re-reads config.ini and reopens the link; when it fails nothing else happens and
// ResetAll returns false, for the program to end.
bool ResetAll(ControlSurface& surface, const std::function<bool()>& configure);
