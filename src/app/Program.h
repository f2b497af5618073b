// The program's state and its spine: start-up, the main loop over window events, shutdown.
#pragma once

#include "app/Follow.h"
#include "app/Layout.h"
#include "app/Meters.h"
#include "app/ReadConsole.h"
#include "controls/Handlers.h"
#include "host/Window.h"

#include <QString>

// Shell state, alive from start-up to exit.
struct Shell {
    bool quit = false;           // ends the main loop
    bool returnKeyArmed = false; // Return is a shortcut from the first value-field event on; never reset
    bool readConsole = false;    // --read-console: start from the console's mix
    bool follow = false;         // --follow: start from the console's mix and follow its changes
    bool find = false;           // --find: look for consoles before anything else
    bool write = false;          // --write: and point config.ini at the one found
    QString consoleAddress = {}; // dotted IPv4 text from config.ini
};

struct Program {
    HostWindow window;
    ControlSurface surface{window, {}, nullptr};
    Shell shell;
    StripNames names;                                   // shown in tooltips; only the console names strips
    std::unique_ptr<ConsoleAddresses> consoleAddresses; // made when the program reads the console
    ConsoleRead read;
    Follow follow;
};

// The title names the build, so a user can tell which one runs.
QString WindowTitle();

// Brings the program up in order. False when config.ini could not be read: the user was told,
// no control exists, and the program is to end.
bool StartProgram(Program& program);

// One pass of the main loop for an event kind returned by WaitEvent.
void HandleEvent(Program& program, EventKind kind);

// Waits for events and handles them until the quit flag is set.
void RunMainLoop(Program& program);

// Closes the surface link; the window goes with the Program.
void ShutDown(Program& program);

// The whole program with the options of the command line; its exit status, always 0.
int RunQuillon(const Shell& options);
