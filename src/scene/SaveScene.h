// Save Scene: every surface-driving control into a scene file the user names.
#pragma once

class HostWindow;
struct ControlSurface;
struct TextFile;

void SaveScene(ControlSurface& surface);

// The window's 79 scene lines into `file`, the one rule by which a scene is written. With
// `letInputGo` pending input goes where Save lets it go; without it, no event is touched.
void WriteSceneLines(HostWindow& window, TextFile& file, bool letInputGo);
