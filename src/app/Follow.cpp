// The follow mode's subscription, heartbeat and drawing, all on the event loop: the receive path
// hands it what the console sends, timers do the rest, and nothing polls.
#include "app/Follow.h"

#include "app/ConsoleView.h"
#include "app/Meters.h"
#include "app/Program.h"
#include "app/ReadConsole.h"
#include "app/Receive.h"
#include "host/Network.h"

#include <QTimer>

namespace {

using Clock = std::chrono::steady_clock;

// The console forgets a subscriber after this long.
constexpr auto kSubscriptionLife = std::chrono::seconds(10);

bool Following(const Program& program)
{
    return program.follow.heartbeatTimer != nullptr;
}

void Subscribe(Program& program)
{
    Follow& follow = program.follow;
    SendBare(program.surface, "/xremote");
    if (!follow.lost) {
        RequestMeters(program); // they stream as long as the subscription, and are renewed with it
    }
    follow.lastRenewal = Clock::now();
    follow.renewalDue = false;
    follow.renewalTimer->start(follow.renewal);
}

void ShowState(Program& program)
{
    const Follow& follow = program.follow;
    const QString text = follow.lost ? QStringLiteral("No answer from %1 since %2")
                                           .arg(program.shell.consoleAddress,
                                                follow.lastHeard.time().toString(QStringLiteral("hh:mm:ss")))
                                     : QStringLiteral("Following %1").arg(program.shell.consoleAddress);
    const auto [x, y, width, height] = control_rows::kFollowIndicatorRect;
    program.window.ShowIndicator(x, y, width, height, text);
}

void Draw(Program& program)
{
    Follow& follow = program.follow;
    if (follow.commandsRunning > 0) {
        return;
    }
    for (const auto& [key, change] : follow.pending) {
        ShowConsoleChange(program.window, program.names, change);
    }
    follow.pending.clear();
    follow.lastDraw = Clock::now();
}

void ReadAgain(Program& program, bool first = false)
{
    Follow& follow = program.follow;
    follow.readDue = false;
    if (program.read.running) {
        follow.readDue = true; // once this one is done
        return;
    }
    follow.pending.clear();
    StartRead(program, true, [&program, first](const ReadResult& result) {
        if (result.ended) {
            return; // the command that ended it reads again when it is done
        }
        Follow& after = program.follow;
        if (first) {
            TellUnanswered(program, result);
            after.lost = result.answered == 0;
        }
        ShowState(program);
        Subscribe(program);
        if (after.readDue) {
            ReadAgain(program);
        }
    });
}

// At most one draw per interval: in between, the socket is left to fill and the latest value per
// control is what shows.
void ScheduleDraw(Program& program)
{
    Follow& follow = program.follow;
    const auto since = Clock::now() - follow.lastDraw;
    if (follow.pending.empty() || follow.drawTimer->isActive()) {
        return;
    }
    if (since >= follow.drawInterval) {
        Draw(program);
        return;
    }
    EnableWatch(program.surface.link.get(), false);
    follow.drawTimer->start(std::chrono::ceil<std::chrono::milliseconds>(follow.drawInterval - since));
}

void Tick(Program& program)
{
    Follow& follow = program.follow;
    if (follow.commandsRunning > 0 || program.read.running) {
        return; // a command's messages go out undisturbed; a read shows whether the console answers
    }
    SendBare(program.surface, "/xinfo");
    follow.answerTimer->start(follow.answerWait);
}

void Renew(Program& program)
{
    if (program.follow.commandsRunning > 0) {
        program.follow.renewalDue = true; // when the command is done
    } else {
        Subscribe(program);
    }
}

void Lost(Program& program)
{
    if (!program.follow.lost) {
        program.follow.lost = true;
        ShowState(program);
        DropMeters(program);
    }
}

std::unique_ptr<QTimer> MakeTimer(Program& program, bool singleShot, Qt::TimerType type, void (*action)(Program&))
{
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(singleShot);
    timer->setTimerType(type);
    QObject::connect(timer.get(), &QTimer::timeout, [&program, action] { action(program); });
    return timer;
}

} // namespace

Follow::Follow() = default;
Follow::~Follow() = default;

void StartFollowing(Program& program)
{
    Follow& follow = program.follow;
    follow.lastHeard = QDateTime::currentDateTime();
    follow.heartbeatTimer = MakeTimer(program, false, Qt::CoarseTimer, Tick);
    follow.heartbeatTimer->start(follow.heartbeat);
    follow.answerTimer = MakeTimer(program, true, Qt::PreciseTimer, Lost);
    follow.renewalTimer = MakeTimer(program, false, Qt::PreciseTimer, Renew);
    follow.drawTimer = MakeTimer(program, true, Qt::PreciseTimer, [](Program& p) {
        EnableWatch(p.surface.link.get(), true);
        Draw(p);
    });
    CreateMeters(program);
    ListenToConsole(program);
    ReadAgain(program, true);
}

void StopFollowing(Program& program)
{
    Follow& follow = program.follow;
    follow.heartbeatTimer.reset();
    follow.answerTimer.reset();
    follow.renewalTimer.reset();
    follow.drawTimer.reset();
}

void HeardFromConsole(Program& program)
{
    Follow& follow = program.follow;
    if (!Following(program)) {
        return;
    }
    follow.answerTimer->stop();
    follow.lastHeard = QDateTime::currentDateTime();
    // A console heard again after it was lost may have changed meanwhile.
    if (follow.lost) {
        follow.lost = false;
        follow.readDue = true;
        ShowState(program);
    }
}

void TakeConsoleChange(Program& program, const ConsoleChange& change)
{
    Follow& follow = program.follow;
    if (!Following(program)) {
        return;
    }
    if (change.kind == ConsoleChange::Kind::SceneRecalled) {
        follow.readDue = true;
    } else if (change.kind != ConsoleChange::Kind::None) {
        follow.pending[{change.control, change.kind}] = change;
    }
}

void AfterConsoleChanges(Program& program)
{
    if (!Following(program)) {
        return;
    }
    if (program.follow.readDue && program.follow.commandsRunning == 0) {
        ReadAgain(program);
    } else {
        ScheduleDraw(program);
    }
}

HoldChanges::HoldChanges(Program& program, After after) : program_(program), after_(after)
{
    ++program.follow.commandsRunning;
    after == After::ReadAgain ? EndRead(program) : PauseRead(program, true);
}

HoldChanges::~HoldChanges()
{
    Follow& follow = program_.follow;
    if (--follow.commandsRunning > 0 || program_.shell.quit) {
        return;
    }
    PauseRead(program_, false);
    if (!Following(program_)) {
        return;
    }
    // A subscription that ran out while a dialog stayed open may have missed changes.
    if (after_ == After::ReadAgain || Clock::now() - follow.lastRenewal >= kSubscriptionLife) {
        ListenToConsole(program_); // Reset opened a new link
        ReadAgain(program_);
    } else {
        Draw(program_);
        if (follow.renewalDue) {
            Subscribe(program_);
        }
    }
}
