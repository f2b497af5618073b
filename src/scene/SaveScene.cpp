// Save Scene: writes the 79 lines and replaces the file only once every byte is written.
#include "scene/SaveScene.h"

#include "controls/Handlers.h"
#include "host/TextFile.h"
#include "host/Window.h"
#include "scene/SceneFormat.h"

void WriteSceneLines(HostWindow& window, TextFile& file, bool letInputGo)
{
    int number = 0;
    for (const SceneLine& line : SceneLines()) {
        WriteLine(file, SceneLineText(line, window.GetControlText(line.source), window.GetControlState(line.source)));
        if (SaveDrainsAfter(++number) && letInputGo) {
            DrainPendingEvents(window);
        }
    }
}

void SaveScene(ControlSurface& surface)
{
    HostWindow& window = surface.window;
    DrainPendingEvents(window);
    const QString path = window.AskSaveFileName(QStringLiteral("Please choose file name to save"), kScenePatterns);
    bool saved = true;
    QString reason;
    if (path.isEmpty()) {
        window.ShowMessage(QStringLiteral("Quillon"), QStringLiteral("The requester was canceled."));
    } else {
        window.SetBusy(true);
        TextFile file;
        const bool created = CreateFileForWriting(file, path);
        WriteSceneLines(window, file, true);
        saved = CloseFile(file) && created;
        reason = file.error;
    }
    DrainPendingEvents(window);
    window.SetBusy(false);
    if (saved) {
        window.ShowMessage(QStringLiteral("Save..."), path);
    } else {
        // Whatever was at the path before is still there: the new content never replaced it.
        window.ShowMessage(QStringLiteral("Save..."),
                           QStringLiteral("The scene was not saved.\n%1\n%2").arg(path, reason));
    }
}
