// The program's state and its spine: start-up, the main loop over window events, shutdown.
#pragma once

#include "host/Window.h"
#include "osc/Handlers.h"

#include <QString>

// Shell state, alive from start-up to exit.
struct Shell {
    int quit = 0;                // 1 ends the main loop
    int currentControl = 0;      // control number of the control event being handled
    int returnKeyArmed = 0;      // 1 once Return is a shortcut; never reset
    std::int64_t typedValue = 0; // number read from a value field on Return
    QString mixerAddress;        // dotted IPv4 text from config.ini
};

struct Program {
    HostWindow window;
    Mixer mixer{window, {}, nullptr};
    Shell shell;
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

// Closes the mixer link; the window goes with the Program.
void ShutDown(Program& program);

// The whole program; its exit status, always 0.
int RunQuillon();
