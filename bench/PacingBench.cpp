// The pacing of Reset (69 messages) and of a Load that sends 106, as a socket on loopback
// receives them: the gaps between consecutive datagrams, and the whole run of n messages, from the
// first to the closing message box, against n x 50 ms.
// Drives the real window in-process, as the window tests do; a bare sender that only pauses is
// measured first, as the floor this machine's timers allow.
#include "ArrivalRecorder.h"
#include "BenchStats.h"
#include "gui/GuiFixture.h"
#include "host/Timing.h"
#include "osc/ControlMap.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include <algorithm>
#include <arpa/inet.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// The fixture's own socket (nothing is sent there) and the console's, which the program sends to.
constexpr int kFixtureOctet = 200;
constexpr int kConsoleOctet = 201;

constexpr int kLoadSceneButton = CommandControl(ControlRole::LoadScene);
constexpr int kResetButton = CommandControl(ControlRole::Reset);
constexpr double kPauseMilliseconds = 50.0;
constexpr std::size_t kResetMessages = 69;
// A scene file of 79 empty lines: no line is "0", so every line's handler sends.
constexpr std::size_t kLoadMessages = 106;
constexpr int kSceneLines = 79;

// When a command ends (its closing message box appears) and when a file dialog hands over its name.
class CommandMarks : public QObject {
public:
    std::optional<BenchClock::time_point> dialogClosed;
    std::optional<BenchClock::time_point> messageShown;

    void Clear()
    {
        dialogClosed.reset();
        messageShown.reset();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && !dialogClosed && qobject_cast<QFileDialog*>(watched)) {
            dialogClosed = BenchClock::now();
        } else if (event->type() == QEvent::Show && !messageShown && qobject_cast<QMessageBox*>(watched)) {
            messageShown = BenchClock::now();
        }
        return false;
    }
};

struct CommandRun {
    std::size_t received = 0;
    std::vector<double> gaps; // ms between consecutive arrivals
    double total = 0;         // ms from the first datagram to the closing message box: n pauses, ideally
    double lead = 0;          // ms from the user's action to the first datagram
    double tail = 0;          // ms from the last datagram to the closing message box
};

CommandRun Measure(ArrivalRecorder& wire, std::size_t expected, BenchClock::time_point start,
                   const std::optional<BenchClock::time_point>& end)
{
    wire.WaitForCount(expected, std::chrono::seconds(2));
    const std::vector<BenchClock::time_point> arrivals = wire.Arrivals();
    CommandRun run;
    run.received = arrivals.size();
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        run.gaps.push_back(Milliseconds(arrivals[i] - arrivals[i - 1]));
    }
    if (!arrivals.empty() && end) {
        run.total = Milliseconds(*end - arrivals.front());
        run.lead = Milliseconds(arrivals.front() - start);
        run.tail = Milliseconds(*end - arrivals.back());
    }
    return run;
}

// What this machine's timer and loopback give at best: the program's own pause after a bare
// sendto, nothing else, received by the same socket.
std::vector<double> FloorGaps(ArrivalRecorder& wire, std::size_t messages)
{
    const int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in console{};
    console.sin_family = AF_INET;
    console.sin_port = htons(10023);
    console.sin_addr.s_addr = htonl(0x7F000000u | kConsoleOctet);
    const std::uint8_t message[28] = {};
    wire.Clear();
    for (std::size_t i = 0; i < messages; ++i) {
        ::sendto(sender, message, sizeof message, 0, reinterpret_cast<const sockaddr*>(&console), sizeof console);
        Pause(static_cast<int>(kPauseMilliseconds));
    }
    ::close(sender);
    return Measure(wire, messages, BenchClock::now(), std::nullopt).gaps;
}

// `action` names what starts the command, for the row of the time before its first message.
void Report(const std::string& command, const std::string& action, std::size_t expected,
            const std::vector<CommandRun>& runs, const std::vector<double>& floor)
{
    std::vector<double> gaps;
    double slowest = 0;
    double slowestLead = 0;
    bool complete = true;
    for (const CommandRun& run : runs) {
        gaps.insert(gaps.end(), run.gaps.begin(), run.gaps.end());
        slowest = std::max(slowest, run.total);
        slowestLead = std::max(slowestLead, run.lead);
        complete = complete && run.received == expected && run.total > 0;
    }
    const std::string name = command + " (" + std::to_string(expected) + " messages, " + std::to_string(runs.size()) +
                             " runs, " + std::to_string(gaps.size()) + " gaps)";
    const std::string pause = Fixed(kPauseMilliseconds, 0) + " ms ideal";
    const auto off = [&](double value) {
        return (value >= kPauseMilliseconds ? "+" : "") + Fixed(value - kPauseMilliseconds, 2) + " ms";
    };
    if (!complete) {
        std::string counts;
        for (const CommandRun& run : runs) {
            counts += (counts.empty() ? "" : ", ") + std::to_string(run.received);
        }
        PrintRow({name + ": messages received", counts, std::to_string(expected), "", "all", Met(false)});
    }
    const double median = Median(gaps);
    const double p99 = Percentile(gaps, 99);
    const double maximum = Maximum(gaps);
    const auto reference = [&](double floorValue) { return pause + "; floor " + Fixed(floorValue, 2) + " ms"; };
    PrintRow({name + ", gap median", Fixed(median, 2) + " ms", reference(Median(floor)), off(median),
              "within 0.5 ms of 50 ms", Met(std::abs(median - kPauseMilliseconds) <= 0.5)});
    PrintRow({command + ", gap 99th percentile", Fixed(p99, 2) + " ms", reference(Percentile(floor, 99)), off(p99),
              "under 52 ms", Met(p99 < 52.0)});
    PrintRow({command + ", gap max", Fixed(maximum, 2) + " ms", reference(Maximum(floor)), off(maximum), "-", "-"});
    const double ideal = static_cast<double>(expected) * kPauseMilliseconds;
    const double excess = (slowest - ideal) / ideal * 100.0;
    PrintRow({command + ", first message to the closing message box, slowest run", Fixed(slowest, 1) + " ms",
              Fixed(ideal, 0) + " ms (" + std::to_string(expected) + " x 50)",
              (excess >= 0 ? "+" : "") + Fixed(excess, 2) + " %", "within 2 %", Met(std::abs(excess) <= 2.0)});
    PrintRow({command + ", from " + action + " to the first message, slowest run", Fixed(slowestLead, 1) + " ms", "-",
              "-", "-", "-"});
}

struct Options {
    int runs = 3;
    bool showGaps = false; // every gap on stderr, to see where the slow ones fall
};

Options Parse(int argc, char* argv[])
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            options.runs = std::clamp(std::atoi(argv[++i]), 1, 20);
        } else if (arg == "--show-gaps") {
            options.showGaps = true;
        }
    }
    return options;
}

void ShowGaps(const char* command, const CommandRun& run)
{
    std::fprintf(stderr,
                 "%s: first datagram after %.2f ms, closing message %.2f ms after the last; gaps (ms):", command,
                 run.lead, run.tail);
    for (std::size_t i = 0; i < run.gaps.size(); ++i) {
        std::fprintf(stderr, " %zu:%.2f", i + 1, run.gaps[i]);
    }
    std::fprintf(stderr, "\n");
}

int Run(int argc, char* argv[])
{
    const Options options = Parse(argc, argv);
    QApplication application(argc, argv);
    ArrivalRecorder wire(kConsoleOctet);
    ProgramUnderTest p(kFixtureOctet, ConfigFor(kConsoleOctet));
    if (!p.started) {
        std::fprintf(stderr, "bench_pacing: the program did not start\n");
        return 1;
    }
    const QString scene = p.folder_.path() + QStringLiteral("/empty-lines.scn");
    QFile file(scene);
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray("\r\n").repeated(kSceneLines)) != 2 * kSceneLines) {
        std::fprintf(stderr, "bench_pacing: could not write %s\n", qPrintable(scene));
        return 1;
    }
    file.close();
    CommandMarks marks;
    application.installEventFilter(&marks);

    // Floor, Reset and Load take turns, so that the machine's ups and downs hit all three alike.
    std::vector<double> floor;
    std::vector<CommandRun> resets;
    std::vector<CommandRun> loads;
    for (int run = 0; run < options.runs; ++run) {
        const std::vector<double> floorGaps = FloorGaps(wire, kLoadMessages);
        floor.insert(floor.end(), floorGaps.begin(), floorGaps.end());
        if (options.showGaps) {
            ShowGaps("Floor", {kLoadMessages, floorGaps, 0, 0, 0});
        }

        // Reset, started by the click on its button.
        wire.Clear();
        marks.Clear();
        const auto clicked = BenchClock::now();
        p.Click(kResetButton);
        resets.push_back(Measure(wire, kResetMessages, clicked, marks.messageShown));
        if (options.showGaps) {
            ShowGaps("Reset", resets.back());
        }

        // Load, started when the file dialog hands over the name.
        wire.Clear();
        marks.Clear();
        p.answerer.TypeFileName(scene);
        p.Click(kLoadSceneButton);
        const auto named = marks.dialogClosed.value_or(BenchClock::now());
        loads.push_back(Measure(wire, kLoadMessages, named, marks.messageShown));
        if (options.showGaps) {
            ShowGaps("Load", loads.back());
        }
    }
    application.removeEventFilter(&marks);
    Report("Reset", "the click", kResetMessages, resets, floor);
    Report("Load", "the file dialog closing", kLoadMessages, loads, floor);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    return RunReportingErrors("bench_pacing", Run, argc, argv);
}
