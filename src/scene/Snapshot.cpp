// Snapshots in the user's state folder, named so that their names sort by time.
#include "scene/Snapshot.h"

#include "scene/SaveScene.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <cstdio>

namespace {

QString SnapshotFolder()
{
    // As the XDG base directories have it, a relative path counts as unset.
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (QDir::isRelativePath(state)) {
        state = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return state + QStringLiteral("/quillon/snapshots");
}

} // namespace

void KeepSnapshot(HostWindow& window, const QString& command)
{
    const QString folder = SnapshotFolder();
    const QString path = QStringLiteral("%1/%2 before %3.scene")
                             .arg(folder, QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH-mm-ss"), command);
    QString failure;
    if (!QDir().mkpath(folder)) {
        failure = QStringLiteral("cannot make %1").arg(folder);
    } else if (const std::optional<QString> written = WriteSceneFile(window, path, false)) {
        failure = QStringLiteral("%1: %2").arg(path, *written);
    }
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "quillon: no snapshot before %s: %s\n", qPrintable(command), qPrintable(failure));
        return;
    }
    QStringList kept = QDir(folder).entryList({QStringLiteral("*-*-* *-*-* before *.scene")}, QDir::Files, QDir::Name);
    while (kept.size() > kSnapshotsKept) {
        QFile::remove(folder + u'/' + kept.takeFirst());
    }
}
