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
struct ReadResult;

struct Follow {
    Follow();
    ~Follow();

    bool on = false; // --follow
    // One question to the console per heartbeat; one unanswered for answerWait means the console
    // is lost, so that is noticed within 4 s, with under one wake-up a second while all is quiet.
    std::chrono::milliseconds heartbeat{2400};
    std::chrono::milliseconds answerWait{1500};
    // The console forgets a subscriber after 10 s: it is renewed sooner.
    std::chrono::milliseconds renewal{7200};
    // Changes are drawn at most this often; in between, only the latest per control is kept.
    std::chrono::milliseconds drawInterval{16};

    std::unique_ptr<ConsoleAddresses> addresses; // set at start-up
    std::unique_ptr<QTimer> ticker;
    std::unique_ptr<QTimer> answerTimer; // runs while the heartbeat's question waits for an answer
    std::unique_ptr<QTimer> drawTimer;
    // Changes not yet drawn: the latest for each control, its value and its strip's name apart.
    std::map<std::pair<const Control*, ConsoleChange::Kind>, ConsoleChange> pending;
    bool lost = false;
    bool readDue = false; // changes may have been missed: read the whole mix again
    int commands = 0;     // > 0 while Load, Save or Reset runs: changes wait
    std::chrono::steady_clock::time_point lastDraw{};
    std::chrono::steady_clock::time_point lastRenewal{};
    QDateTime lastHeard;
};

// After the read at start: subscribes, watches the link and starts the heartbeat; the console
// counts as lost from the start when the read found no answer.
void StartFollowing(Program& program, const ReadResult& read);

// Load, Save and Reset hold the console's changes back while they run. After Load and Reset the
// window reads the whole mix again (on the new link Reset opened); after Save the held changes show.
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
