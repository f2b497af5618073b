// Load Scene: keep a snapshot, initialise the console, then set every control from a scene file and send it.
#pragma once

struct ControlSurface;

void LoadScene(ControlSurface& surface);

// Clears every "M" box and sends each channel's on switch, the main mix first. Reset does the same.
void SwitchAllChannelsOn(ControlSurface& surface);
