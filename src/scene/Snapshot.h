// Snapshots: the mix as Save Scene would write it, kept before Load and Reset replace it, so a
// wrong scene or a Reset on stage can be undone with Load Scene.
#pragma once

#include <QString>

class HostWindow;

inline constexpr int kSnapshotsKept = 50;

// Writes the window's mix to "<yyyy-MM-dd HH-mm-ss> before <command>.scene" (local time) in
// $XDG_STATE_HOME/quillon/snapshots (~/.local/state without it) and keeps the newest
// kSnapshotsKept there. Lets no input go and shows nothing: a failure is one line on stderr.
void KeepSnapshot(HostWindow& window, const QString& command);
