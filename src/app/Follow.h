// Following the console live (--follow): subscribed to the console's changes on the link, the
// window shows each change as the console reports it, a heartbeat notices a console that stops
// answering, and the window reads the whole mix again whenever it may have missed changes.
#pragma once

#include "controls/ConsoleChange.h"

#include <QDateTime>
#include <chrono>
#include <map>
#include <memory>

class QTimer;
struct Program;

struct Follow {
    Follow();
    ~Follow();

    // One question to the console per heartbeat; one unanswered for answerWait means the console
    // is lost, so that is noticed within 4 s, with under one wake-up a second while all is quiet.
    std::chrono::milliseconds heartbeat{2400};
    std::chrono::milliseconds answerWait{1500};
    // The console forgets a subscriber after 10 s; renewed on a precise timer of its own, so that
    // even a late one leaves a second to spare.
    std::chrono::milliseconds renewal{7000};
    // Changes are drawn at most this often; in between, only the latest per control is kept.
    std::chrono::milliseconds drawInterval{16};

    std::unique_ptr<QTimer> heartbeatTimer;
    std::unique_ptr<QTimer> answerTimer; // runs while the heartbeat's question waits for an answer
    std::unique_ptr<QTimer> renewalTimer;
    std::unique_ptr<QTimer> drawTimer;
    // Changes not yet drawn: the latest for each control, its value and its strip's name apart.
    std::map<std::pair<const Control*, ConsoleChange::Kind>, ConsoleChange> pending;
    bool lost = false;
    bool readDue = false;    // changes may have been missed: read the whole mix again
    bool renewalDue = false; // the subscription's time came while a command ran
    int commandsRunning = 0; // Load, Save or Reset: changes wait
    std::chrono::steady_clock::time_point lastDraw{};
    std::chrono::steady_clock::time_point lastRenewal{};
    QDateTime lastHeard;
};

// Starts the follow mode: listens to the link, reads the mix and the strips' names, then subscribes
// and starts the heartbeat. The console counts as lost from the start when the read found no answer.
void StartFollowing(Program& program);

// Stops the timers; the program ends.
void StopFollowing(Program& program);

// Anything from the console answers the heartbeat.
void HeardFromConsole(Program& program);

// A change the console sent, kept until it is drawn.
void TakeConsoleChange(Program& program, const ConsoleChange& change);

// After a batch of datagrams: draws what came, or reads again when changes may have been missed.
void AfterConsoleChanges(Program& program);

// Load, Save and Reset hold the console's changes back while they run, and a read with them: Load
// and Reset end it, Save pauses it. Afterwards, when following, the window reads the whole mix
// again after Load and Reset (on the new link Reset opened); after Save the held changes show.
class HoldChanges {
public:
    enum class After { ReadAgain, ShowHeld };
    HoldChanges(Program& program, After after);
    ~HoldChanges();
    HoldChanges(const HoldChanges&) = delete;
    HoldChanges& operator=(const HoldChanges&) = delete;

private:
    Program& program_;
    After after_;
};
