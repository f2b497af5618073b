// Save Scene: every surface-driving control into a scene file the user names.
#pragma once

#include <QString>

#include <optional>

class HostWindow;
struct ControlSurface;

void SaveScene(ControlSurface& surface);

// The window's 79 scene lines into the file at `path`, the one rule by which a scene is written;
// what was there is replaced only once every byte is written. With `letInputGo` pending input goes
// where Save lets it go; without it, no event is touched. Returns why the file was not written.
std::optional<QString> WriteSceneFile(HostWindow& window, const QString& path, bool letInputGo);
