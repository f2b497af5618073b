// Load Scene: keep a snapshot, initialise the console, then set every control from a scene file and send it.
#pragma once

struct Mixer;

void LoadScene(Mixer& mixer);

// Clears every "M" box and sends each channel's on switch, the main bus first. Reset does the same.
void SwitchAllChannelsOn(Mixer& mixer);
