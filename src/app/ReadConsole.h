// The console's mix read back over the link (--read-console, and the follow mode's reads): the
// console is asked for every fader, preamp gain, on switch and link, and the window is set from
// the answers. The read runs on the event loop, so the window stays usable meanwhile; nothing but
// the questions is sent and no handler runs.
#pragma once

#include "controls/ConsoleChange.h"

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QTimer;
struct Program;

struct ReadResult {
    int asked = 0;
    int answered = 0;
    bool ended = false; // a Load or Reset ended the read before it was done
};

// One read under way. Up to 8 questions are in flight; one unanswered after 500 ms is asked again,
// up to 4 times in all. Once nothing has answered for 1 s, a console that never answered is given
// up on; otherwise no new question goes out, and the read ends when those asked have had their tries.
struct ConsoleRead {
    using Clock = std::chrono::steady_clock;
    struct Question {
        ConsoleQuery query;
        int asked = 0;
        bool answered = false;
        Clock::time_point sentAt{};
    };

    ConsoleRead();
    ~ConsoleRead();

    bool running = false;
    bool paused = false;    // a Save runs: answers wait, and so do the clocks
    bool finishing = false; // ended; what comes after runs from the event loop
    std::vector<Question> questions;
    std::deque<std::size_t> waiting; // to be asked, first in line first
    std::vector<std::size_t> flight; // asked, not yet answered or given up on
    std::vector<ConsoleChange> held; // answers that came while paused
    int answered = 0;
    Clock::time_point lastAnswer{}; // or the read's start
    Clock::time_point lastShown{};  // of the progress
    std::unique_ptr<QTimer> timer;  // at the next deadline
    std::function<void(const ReadResult&)> done;
};

// Starts a read: `names` adds the strips' names. The busy cursor and the progress show until it
// ends; then `done` runs from the event loop. Controls the user changes meanwhile keep the user's
// value. The link must be listened to (ListenToConsole).
void StartRead(Program& program, bool names, std::function<void(const ReadResult&)> done);

// A read is running, or its `done` has yet to run.
bool Reading(const Program& program);

// What the console said, during a read: an answer counts for the question of its address. True
// when the read took the change (shown, or held for after a Save): nothing else may show it.
bool TakeAnswer(Program& program, const ConsoleChange& change);

// A Save holds the read (true) and lets it go on (false).
void PauseRead(Program& program, bool paused);

// Ends a running read at once, for a Load or Reset; `done` runs with `ended` set.
void EndRead(Program& program);

// Tells the user when answers of the read at start are missing.
void TellUnanswered(Program& program, const ReadResult& result);
