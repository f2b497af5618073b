// The read as a state machine on the event loop: answers come through the one receive path, and
// one timer wakes it at the next deadline, a question's or the silence's.
#include "app/ReadConsole.h"

#include "app/ConsoleView.h"
#include "app/Program.h"
#include "host/Network.h"

#include <QTimer>
#include <algorithm>

namespace {

using Clock = ConsoleRead::Clock;
using namespace std::chrono_literals;

constexpr std::size_t kInFlight = 8;
// A question unanswered this long leaves the flight, to be asked again; its answer still counts
// when it comes later.
constexpr auto kAnswerWait = 500ms;
constexpr int kTimesAsked = 4;
// Nothing answered for this long: the console is silent, and no more questions go out.
constexpr auto kSilence = 1s;
// Progress is shown at most this often, so a screen reader is not flooded.
constexpr auto kProgressInterval = 200ms;

bool Silent(const ConsoleRead& read, Clock::time_point now)
{
    return now - read.lastAnswer >= kSilence;
}

void ShowProgress(Program& program, Clock::time_point now)
{
    ConsoleRead& read = program.read;
    read.lastShown = now;
    const auto [x, y, width, height] = control_rows::kFollowIndicatorRect;
    program.window.ShowIndicator(x, y, width, height,
                                 QStringLiteral("Reading the mix from %1: %2 of %3")
                                     .arg(program.shell.consoleAddress)
                                     .arg(read.answered)
                                     .arg(read.questions.size()));
}

void Ask(Program& program, std::size_t index, Clock::time_point now)
{
    ConsoleRead::Question& question = program.read.questions[index];
    SendBare(program.surface, question.query.address);
    ++question.asked;
    question.sentAt = now;
    program.read.flight.push_back(index);
}

// Questions whose time ran out leave the flight; those with tries left queue up again.
void Expire(ConsoleRead& read, Clock::time_point now)
{
    std::erase_if(read.flight, [&](std::size_t index) {
        const ConsoleRead::Question& question = read.questions[index];
        if (question.answered) {
            return true;
        }
        if (now - question.sentAt < kAnswerWait) {
            return false;
        }
        if (question.asked < kTimesAsked) {
            read.waiting.push_back(index);
        }
        return true;
    });
}

void Fill(Program& program, Clock::time_point now)
{
    ConsoleRead& read = program.read;
    if (Silent(read, now) && read.answered == 0) {
        return; // given up on
    }
    while (read.flight.size() < kInFlight) {
        // A silent console gets no new question, but what was asked is asked again: an answer
        // lost on the way may yet come.
        const auto next =
            Silent(read, now)
                ? std::ranges::find_if(read.waiting,
                                       [&read](std::size_t index) { return read.questions[index].asked > 0; })
                : read.waiting.begin();
        if (next == read.waiting.end()) {
            return;
        }
        const std::size_t index = *next;
        read.waiting.erase(next);
        if (!read.questions[index].answered) {
            Ask(program, index, now);
        }
    }
}

bool Done(const ConsoleRead& read, Clock::time_point now)
{
    const bool everything = read.answered == static_cast<int>(read.questions.size());
    const bool nothingLeft = read.waiting.empty() && read.flight.empty();
    // A console that never answered is given up on at once; one that went quiet, once the
    // questions in flight have had their time.
    return everything || nothingLeft || (Silent(read, now) && (read.answered == 0 || read.flight.empty()));
}

void Finish(Program& program, bool ended)
{
    ConsoleRead& read = program.read;
    read.running = false;
    read.finishing = true;
    read.timer->stop();
    program.window.SetWorking(false);
    const ReadResult result{static_cast<int>(read.questions.size()), read.answered, ended};
    // From the event loop, not from inside the receive path: `done` may show a message box.
    QTimer::singleShot(0, read.timer.get(), [&program, result, done = std::exchange(read.done, {})] {
        program.read.finishing = false;
        if (done) {
            done(result);
        }
    });
}

// Where the read stands after an answer or a deadline: more questions, the next wake-up, or the end.
void Advance(Program& program)
{
    ConsoleRead& read = program.read;
    if (!read.running || read.paused) {
        return;
    }
    const Clock::time_point now = Clock::now();
    Expire(read, now);
    Fill(program, now);
    if (Done(read, now)) {
        ShowProgress(program, now);
        Finish(program, false);
        return;
    }
    Clock::time_point next = Silent(read, now) ? Clock::time_point::max() : read.lastAnswer + kSilence;
    for (const std::size_t index : read.flight) {
        next = std::min(next, read.questions[index].sentAt + kAnswerWait);
    }
    read.timer->start(std::chrono::ceil<std::chrono::milliseconds>(std::max(next - now, Clock::duration{})));
}

// The user's hand wins: a control changed during the read keeps the user's value.
bool TouchedDuringRead(const HostWindow& window, const Control& control)
{
    return window.Touched(control.number) || (control.valueField != 0 && window.Touched(control.valueField));
}

void Show(Program& program, const ConsoleChange& change)
{
    if (change.kind == ConsoleChange::Kind::Name || !TouchedDuringRead(program.window, *change.control)) {
        ShowConsoleChange(program.window, program.names, change);
    }
}

} // namespace

ConsoleRead::ConsoleRead() = default;
ConsoleRead::~ConsoleRead() = default;

void StartRead(Program& program, bool names, std::function<void(const ReadResult&)> done)
{
    ConsoleRead& read = program.read;
    if (!read.timer) { // one for every read, as a read may start from the last one's `done`
        read.timer = std::make_unique<QTimer>();
        read.timer->setSingleShot(true);
        read.timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(read.timer.get(), &QTimer::timeout, [&program] { Advance(program); });
    }
    read.running = true;
    read.paused = false;
    read.done = std::move(done);
    read.questions.clear();
    read.waiting.clear();
    read.flight.clear();
    read.held.clear();
    read.answered = 0;
    for (const ConsoleQuery& query : program.consoleAddresses->Queries(names)) {
        read.questions.push_back({query});
        read.waiting.push_back(read.questions.size() - 1);
    }
    read.lastAnswer = Clock::now();
    program.window.ForgetTouches();
    program.window.SetWorking(true);
    ShowProgress(program, read.lastAnswer);
    Advance(program);
}

bool Reading(const Program& program)
{
    return program.read.running || program.read.finishing;
}

bool TakeAnswer(Program& program, const ConsoleChange& change)
{
    ConsoleRead& read = program.read;
    if (!read.running || (change.kind != ConsoleChange::Kind::Value && change.kind != ConsoleChange::Kind::Name)) {
        return false;
    }
    read.paused ? read.held.push_back(change) : Show(program, change);
    const bool name = change.kind == ConsoleChange::Kind::Name;
    bool counted = false;
    for (ConsoleRead::Question& question : read.questions) {
        if (!question.answered && question.query.control == change.control && question.query.name == name) {
            question.answered = true;
            ++read.answered;
            counted = true;
        }
    }
    if (!counted) {
        return true;
    }
    read.lastAnswer = Clock::now();
    if (read.lastAnswer - read.lastShown >= kProgressInterval) {
        ShowProgress(program, read.lastAnswer);
    }
    Advance(program);
    return true;
}

void PauseRead(Program& program, bool paused)
{
    ConsoleRead& read = program.read;
    if (!read.running || read.paused == paused) {
        return;
    }
    read.paused = paused;
    if (paused) {
        read.timer->stop();
        return;
    }
    // The clocks start again: a dialog left open is not the console's silence.
    const Clock::time_point now = Clock::now();
    read.lastAnswer = now;
    for (const std::size_t index : read.flight) {
        read.questions[index].sentAt = now;
    }
    for (const ConsoleChange& change : std::exchange(read.held, {})) {
        Show(program, change);
    }
    Advance(program);
}

void EndRead(Program& program)
{
    if (program.read.running) {
        Finish(program, true);
    }
}

void TellUnanswered(Program& program, const ReadResult& result)
{
    if (result.answered == 0) {
        program.window.ShowMessage(QStringLiteral("Quillon"),
                                   QStringLiteral("The console at %1 did not answer. The window shows zeros.")
                                       .arg(program.shell.consoleAddress));
    } else if (result.answered < result.asked) {
        program.window.ShowMessage(QStringLiteral("Quillon"),
                                   QStringLiteral("The console at %1 did not answer %2 of %3 questions. Those "
                                                  "controls show zeros.")
                                       .arg(program.shell.consoleAddress)
                                       .arg(result.asked - result.answered)
                                       .arg(result.asked));
    }
}
