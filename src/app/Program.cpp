// Start-up in its fixed order, the main loop, and shutdown with exit status 0 on every path.
#include "app/Program.h"

#include "app/Configuration.h"
#include "app/Dispatch.h"
#include "app/FindConsole.h"
#include "app/Layout.h"
#include "app/Receive.h"
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
    FillAddressTable(program.surface.addresses);
    program.window.OpenMainWindow(kWindowWidth, kWindowHeight, WindowTitle());
    program.window.CreateStatusBar();
    if (!LoadConfiguration(program)) {
        program.shell.quit = true;
        return false;
    }
    program.window.HoldRedraw(true);
    CreateControls(program.window);
    BindFaders(program.surface);
    ShowDescriptions(program.window, program.names);
    program.window.HoldRedraw(false);
    DrainPendingEvents(program.window);
    if (program.shell.readConsole || program.shell.follow) {
        program.consoleAddresses = std::make_unique<ConsoleAddresses>(program.surface.addresses);
    }
    if (program.shell.follow) {
        StartFollowing(program);
    } else if (program.shell.readConsole) {
        ListenToConsole(program);
        StartRead(program, false, [&program](const ReadResult& result) {
            StopListening(program); // nothing more is read without --follow
            const auto [x, y, width, height] = control_rows::kFollowIndicatorRect;
            program.window.ShowIndicator(x, y, width, height, QString());
            if (!result.ended) {
                TellUnanswered(program, result);
            }
        });
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
    StopFollowing(program);
    program.read.timer.reset();
    program.surface.link.reset();
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
