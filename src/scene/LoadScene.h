// Load Scene: initialise the console, then set every control from a scene file and send it.
#pragma once

struct Mixer;

void LoadScene(Mixer& mixer);
