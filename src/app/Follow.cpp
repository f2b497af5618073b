// The follow mode's subscription, heartbeat and drawing, all on the event loop: the link's socket
// wakes it when the console sends, two timers do the rest, and nothing polls.
#include "app/Follow.h"

#include "app/ConsoleView.h"
#include "app/Program.h"
#include "app/ReadConsole.h"
#include "host/Blocks.h"
#include "host/Network.h"
#include "osc/OscDecoder.h"
#include "osc/OscMessage.h"

#include <QTimer>

namespace {

using Clock = std::chrono::steady_clock;

// Datagrams read per wake-up, so that a flood from the console leaves the window responsive.
constexpr int kReadsPerWake = 512;
// The console forgets a subscriber after this long.
constexpr auto kSubscriptionLife = std::chrono::seconds(10);

void SendQuery(Program& program, const char* address)
{
    std::uint8_t* block = AllocateZeroed(kOscMessageSize);
    SendDatagram(program.mixer.link, block, BuildOscQuery(block, address));
    FreeBlock(block);
}

void Subscribe(Program& program)
{
    SendQuery(program, "/xremote");
    program.follow.lastRenewal = Clock::now();
}

void ShowState(Program& program)
{
    const Follow& follow = program.follow;
    const QString text =
        follow.lost ? QStringLiteral("No answer from %1 since %2")
                          .arg(program.shell.mixerAddress, follow.lastHeard.time().toString(QStringLiteral("hh:mm:ss")))
                    : QStringLiteral("Following %1").arg(program.shell.mixerAddress);
    const auto [x, y, width, height] = control_rows::kFollowIndicatorRect;
    program.window.ShowIndicator(x, y, width, height, text);
}

void Draw(Program& program)
{
    Follow& follow = program.follow;
    if (follow.commands > 0) {
        return;
    }
    for (const auto& [key, change] : follow.pending) {
        ShowConsoleChange(program.window, program.names, change);
    }
    follow.pending.clear();
    follow.lastDraw = Clock::now();
}

void ReadAgain(Program& program)
{
    Follow& follow = program.follow;
    follow.pending.clear();
    if (ReadConsoleMix(program, true).answered > 0) {
        follow.answerTimer->stop();
        follow.lastHeard = QDateTime::currentDateTime();
        if (follow.lost) {
            follow.lost = false;
            ShowState(program);
        }
    }
    follow.readDue = false;
    Subscribe(program);
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
    EnableWatch(program.mixer.link, false);
    follow.drawTimer->start(std::chrono::ceil<std::chrono::milliseconds>(follow.drawInterval - since));
}

// Anything from the console answers the heartbeat; a console heard again after it was lost may
// have changed meanwhile.
void Heard(Program& program)
{
    Follow& follow = program.follow;
    follow.answerTimer->stop();
    follow.lastHeard = QDateTime::currentDateTime();
    if (follow.lost) {
        follow.lost = false;
        follow.readDue = true;
        ShowState(program);
    }
}

void ReadWhatCame(Program& program)
{
    Connection* link = program.mixer.link;
    Follow& follow = program.follow;
    std::uint8_t datagram[2048];
    for (int read = 0; read < kReadsPerWake; ++read) {
        std::uint32_t fromAddress = 0;
        std::uint16_t fromPort = 0;
        const long size = ReceiveDatagram(link, datagram, sizeof datagram, 0, fromAddress, fromPort);
        if (size < 0) {
            break;
        }
        if (fromAddress != link->address || fromPort != link->port) {
            continue;
        }
        Heard(program);
        for (const DecodedMessage& message : DecodeDatagram({datagram, static_cast<std::size_t>(size)}).messages) {
            const ConsoleChange change = follow.addresses->Interpret(message);
            if (change.kind == ConsoleChange::Kind::SceneRecalled) {
                follow.readDue = true;
            } else if (change.kind != ConsoleChange::Kind::None) {
                follow.pending[{change.control, change.kind}] = change;
            }
        }
    }
    if (follow.readDue && follow.commands == 0) {
        ReadAgain(program);
    } else {
        ScheduleDraw(program);
    }
}

void Tick(Program& program)
{
    Follow& follow = program.follow;
    if (follow.commands > 0) {
        return; // a command's messages go out undisturbed; it reads again or renews when it ends
    }
    SendQuery(program, "/xinfo");
    follow.answerTimer->start(follow.answerWait);
    if (Clock::now() - follow.lastRenewal >= follow.renewal) {
        Subscribe(program);
    }
}

void Lost(Program& program)
{
    if (!program.follow.lost) {
        program.follow.lost = true;
        ShowState(program);
    }
}

void Watch(Program& program)
{
    WatchDatagrams(program.mixer.link, [&program] { ReadWhatCame(program); });
}

} // namespace

Follow::Follow() = default;
Follow::~Follow() = default;

void StartFollowing(Program& program, const ReadResult& read)
{
    Follow& follow = program.follow;
    follow.lastHeard = QDateTime::currentDateTime();
    follow.lost = read.answered == 0;
    follow.ticker = std::make_unique<QTimer>();
    follow.ticker->setTimerType(Qt::CoarseTimer);
    QObject::connect(follow.ticker.get(), &QTimer::timeout, [&program] { Tick(program); });
    follow.ticker->start(follow.heartbeat);
    follow.answerTimer = std::make_unique<QTimer>();
    follow.answerTimer->setSingleShot(true);
    QObject::connect(follow.answerTimer.get(), &QTimer::timeout, [&program] { Lost(program); });
    follow.drawTimer = std::make_unique<QTimer>();
    follow.drawTimer->setSingleShot(true);
    QObject::connect(follow.drawTimer.get(), &QTimer::timeout, [&program] {
        EnableWatch(program.mixer.link, true);
        Draw(program);
    });
    Subscribe(program);
    Watch(program);
    ShowState(program);
}

HoldChanges::HoldChanges(Program& program, After after) : program_(program), after_(after)
{
    ++program.follow.commands;
}

HoldChanges::~HoldChanges()
{
    Follow& follow = program_.follow;
    if (--follow.commands > 0 || !follow.ticker || program_.shell.quit) {
        return;
    }
    // A subscription that ran out while a dialog stayed open may have missed changes.
    if (after_ == After::ReadAgain || Clock::now() - follow.lastRenewal >= kSubscriptionLife) {
        Watch(program_); // Reset opened a new link
        ReadAgain(program_);
    } else {
        Draw(program_);
    }
}
