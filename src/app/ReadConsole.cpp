// The console's mix read back over the link, up to eight questions in flight; answers count
// whenever they come during the read, matched by their address.
#include "app/ReadConsole.h"

#include "app/ConsoleView.h"
#include "app/Program.h"
#include "host/Blocks.h"
#include "host/Network.h"
#include "osc/OscDecoder.h"
#include "osc/OscMessage.h"

#include <algorithm>
#include <chrono>
#include <deque>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t kInFlight = 8;
// A question unanswered this long leaves the flight, to be asked once more; its answer still
// counts when it comes later.
constexpr auto kAnswerWait = 500ms;
// The read ends when nothing at all has answered this long.
constexpr auto kSilence = 1s;

struct Question {
    ConsoleQuery query;
    int asked = 0;
    bool answered = false;
    Clock::time_point sentAt{};
};

class Read {
public:
    Read(Program& program, bool names) : program_(program), lastAnswer_(Clock::now())
    {
        for (const ConsoleQuery& query : program.follow.addresses->Queries(names)) {
            questions_.push_back({query});
            waiting_.push_back(questions_.size() - 1);
        }
    }

    ReadResult Run()
    {
        while (true) {
            const Clock::time_point now = Clock::now();
            if (now - lastAnswer_ >= kSilence) {
                break;
            }
            Expire(now);
            Fill(now);
            if (answered_ == static_cast<int>(questions_.size()) || (waiting_.empty() && flight_.empty())) {
                break;
            }
            Receive(NextDeadline() - now);
        }
        return {static_cast<int>(questions_.size()), answered_};
    }

private:
    void Send(std::size_t index, Clock::time_point now)
    {
        Question& question = questions_[index];
        std::uint8_t* block = AllocateZeroed(kOscMessageSize);
        const std::ptrdiff_t length = BuildOscQuery(block, question.query.address);
        SendDatagram(program_.mixer.link, block, length);
        FreeBlock(block);
        ++question.asked;
        question.sentAt = now;
        flight_.push_back(index);
    }

    void Expire(Clock::time_point now)
    {
        std::erase_if(flight_, [&](std::size_t index) {
            const Question& question = questions_[index];
            if (question.answered) {
                return true;
            }
            if (now - question.sentAt < kAnswerWait) {
                return false;
            }
            if (question.asked < 2) {
                waiting_.push_back(index);
            }
            return true;
        });
    }

    void Fill(Clock::time_point now)
    {
        while (flight_.size() < kInFlight && !waiting_.empty()) {
            const std::size_t index = waiting_.front();
            waiting_.pop_front();
            if (!questions_[index].answered) {
                Send(index, now);
            }
        }
    }

    Clock::time_point NextDeadline() const
    {
        Clock::time_point deadline = lastAnswer_ + kSilence;
        for (const std::size_t index : flight_) {
            deadline = std::min(deadline, questions_[index].sentAt + kAnswerWait);
        }
        return deadline;
    }

    // Waits up to `wait` for one datagram and shows what it says; only the console's own count.
    void Receive(Clock::duration wait)
    {
        Connection* link = program_.mixer.link;
        std::uint8_t datagram[2048];
        std::uint32_t fromAddress = 0;
        std::uint16_t fromPort = 0;
        const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(std::max(wait, Clock::duration{}));
        const long size = ReceiveDatagram(link, datagram, sizeof datagram, static_cast<int>(milliseconds.count()),
                                          fromAddress, fromPort);
        if (size < 0 || fromAddress != link->address || fromPort != link->port) {
            return;
        }
        for (const DecodedMessage& message : DecodeDatagram({datagram, static_cast<std::size_t>(size)}).messages) {
            const ConsoleChange change = program_.follow.addresses->Interpret(message);
            if (change.kind != ConsoleChange::Kind::Value && change.kind != ConsoleChange::Kind::Name) {
                continue;
            }
            lastAnswer_ = Clock::now();
            ShowConsoleChange(program_.window, program_.names, change);
            const bool name = change.kind == ConsoleChange::Kind::Name;
            for (Question& question : questions_) {
                if (!question.answered && question.query.control == change.control && question.query.name == name) {
                    question.answered = true;
                    ++answered_;
                }
            }
        }
    }

    Program& program_;
    std::vector<Question> questions_;
    std::deque<std::size_t> waiting_;
    std::vector<std::size_t> flight_;
    Clock::time_point lastAnswer_;
    int answered_ = 0;
};

} // namespace

ReadResult ReadConsoleMix(Program& program, bool names)
{
    if (program.mixer.link == nullptr) {
        return {static_cast<int>(program.follow.addresses->Queries(names).size()), 0};
    }
    program.window.SetBusy(true);
    const ReadResult result = Read(program, names).Run();
    program.window.SetBusy(false);
    return result;
}

void TellUnanswered(Program& program, const ReadResult& result)
{
    if (result.answered == 0) {
        program.window.ShowMessage(QStringLiteral("Quillon"),
                                   QStringLiteral("The console at %1 did not answer. The window shows zeros.")
                                       .arg(program.shell.mixerAddress));
    } else if (result.answered < result.asked) {
        program.window.ShowMessage(QStringLiteral("Quillon"),
                                   QStringLiteral("The console at %1 did not answer %2 of %3 questions. Those "
                                                  "controls show zeros.")
                                       .arg(program.shell.mixerAddress)
                                       .arg(result.asked - result.answered)
                                       .arg(result.asked));
    }
}
