// Save Scene: every surface-driving control into a scene file the user names.
#pragma once

struct ControlSurface;

void SaveScene(ControlSurface& surface);
