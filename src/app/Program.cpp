// Start-up in its fixed order, the main loop, and shutdown with exit status 0 on every path.
#include "app/Program.h"

#include "app/Configuration.h"
#include "app/Dispatch.h"
#include "app/FindConsole.h"
#include "app/Layout.h"
#include "app/ReadConsole.h"
#include "host/Network.h"

#include <QTimer>

QString WindowTitle()
{
    return QStringLiteral("Quillon Beta for Behringer X32 Compact Digital Mixer - %1 bit - 640x600 Pixel")
        .arg(sizeof(void*) * 8);
}

bool StartProgram(Program& program)
{
    if (program.shell.find) { // before config.ini is read, which it may replace
        const FindResult found = FindConsoles(program.shell.write);
        PrintFindResult(found, program.shell.write);
        TellFindResult(program.window, found);
    }
    FillAddressTable(program.mixer.addresses);
    program.window.OpenMainWindow(kWindowWidth, kWindowHeight, WindowTitle());
    program.window.CreateStatusBar();
    if (!LoadConfiguration(program)) {
        program.shell.quit = true;
        return false;
    }
    program.window.HoldRedraw(true);
    CreateControls(program.window);
    BindTrackbars(program.mixer);
    ShowDescriptions(program.window, program.names);
    program.window.HoldRedraw(false);
    DrainPendingEvents(program.window);
    if (program.shell.readConsole || program.shell.follow) {
        program.follow.addresses = std::make_unique<ConsoleAddresses>(program.mixer.addresses);
        const ReadResult read = ReadConsoleMix(program, program.shell.follow);
        TellUnanswered(program, read);
        DrainPendingEvents(program.window); // what was clicked while the window filled does not count
        if (program.shell.follow) {
            StartFollowing(program, read);
        }
    }
    return true;
}

void HandleEvent(Program& program, EventKind kind)
{
    switch (kind) {
    case EventKind::Shortcut:
        ReturnKeyPath(program);
        break;
    case EventKind::Close:
        program.shell.quit = true;
        break;
    case EventKind::Control:
        DispatchControlEvent(program, program.window.EventControl());
        break;
    default:
        break;
    }
}

void RunMainLoop(Program& program)
{
    while (!program.shell.quit) {
        HandleEvent(program, program.window.WaitEvent());
    }
}

void ShutDown(Program& program)
{
    program.follow.ticker.reset();
    program.follow.answerTimer.reset();
    program.follow.drawTimer.reset();
    CloseConnection(program.mixer.link);
    program.mixer.link = nullptr;
}

int RunQuillon(const Shell& options)
{
    Program program;
    program.shell = options;
    if (StartProgram(program)) {
        RunMainLoop(program);
    }
    ShutDown(program);
    return 0;
}
