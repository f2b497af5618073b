// Save Scene: every mixer-driving control into a scene file the user names.
#pragma once

class HostWindow;
struct Mixer;
struct TextFile;

void SaveScene(Mixer& mixer);

// The window's 79 scene lines into `file`, the one rule by which a scene is written. With
// `letInputGo` pending input goes where Save lets it go; without it, no event is touched.
void WriteSceneLines(HostWindow& window, TextFile& file, bool letInputGo);
