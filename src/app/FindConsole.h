// --find: asks every network who is there with "/xinfo" and lists the consoles that answer; with
// --write it points config.ini at the one console that answered.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class HostWindow;

struct FoundConsole {
    std::uint32_t address; // the answer's source, network byte order; the address inside it is not trusted
    QString line;          // as printed: source address, name, model and firmware, separated by tabs
};

struct FindResult {
    std::vector<FoundConsole> consoles; // one per source address, in the order they first answered
    QStringList asked;                  // each address asked, with the reason when the send was refused
    bool written = false;               // --write: config.ini now names the one console
    QString writeError;                 // why config.ini could not be written
};

// Asks 3 times a second apart and listens 3 s in all. With `write` and exactly one console
// answering, replaces config.ini in the current folder with its address, whole or not at all.
FindResult FindConsoles(bool write);

// --find alone: the consoles on stdout, one line each, and what went wrong on stderr. The exit
// status: 1 when none answered or `write` wrote nothing, else 0.
int PrintFindResult(const FindResult& result, bool write);

// --find before the window opens: when none or several answered, or config.ini could not be
// written, a message box says so, lists what was found and how to pick a console.
void TellFindResult(HostWindow& window, const FindResult& result);
