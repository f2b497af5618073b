// Save Scene: every mixer-driving control into a scene file the user names.
#pragma once

struct Mixer;

void SaveScene(Mixer& mixer);
