// Save Scene: writes the 79 lines and replaces the file only once every byte is written.
#include "scene/SaveScene.h"

#include "controls/Handlers.h"
#include "host/TextFile.h"
#include "host/Window.h"
#include "scene/SceneFormat.h"

std::optional<QString> WriteSceneFile(HostWindow& window, const QString& path, bool letInputGo)
{
    TextFile file;
    const bool created = CreateFileForWriting(file, path);
    int number = 0;
    for (const SceneLine& line : SceneLines()) {
        WriteLine(file, SceneLineText(line, window.GetControlText(line.source), window.GetControlState(line.source)));
        if (SaveDrainsAfter(++number) && letInputGo) {
            DrainPendingEvents(window);
        }
    }
    if (CloseFile(file) && created) {
        return std::nullopt;
    }
    return file.error;
}

void SaveScene(ControlSurface& surface)
{
    HostWindow& window = surface.window;
    DrainPendingEvents(window);
    const QString path = window.AskSaveFileName(QStringLiteral("Please choose file name to save"), kScenePatterns);
    std::optional<QString> failure;
    if (path.isEmpty()) {
        window.ShowMessage(QStringLiteral("Quillon"), QStringLiteral("The requester was canceled."));
    } else {
        window.SetBusy(true);
        failure = WriteSceneFile(window, path, true);
    }
    DrainPendingEvents(window);
    window.SetBusy(false);
    if (!failure) {
        window.ShowMessage(QStringLiteral("Save..."), path);
    } else {
        // Whatever was at the path before is still there: the new content never replaced it.
        window.ShowMessage(QStringLiteral("Save..."),
                           QStringLiteral("The scene was not saved.\n%1\n%2").arg(path, *failure));
    }
}
