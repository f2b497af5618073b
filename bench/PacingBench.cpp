// The pacing of Reset (69 messages) and of a Load that sends 106, as they arrive on loopback: the gaps between
// consecutive datagrams, and the whole run from the first message to the closing message box against n x 50 ms.
// Drives the real window in-process, as the window tests do; a bare sender that only pauses takes turns with them,
// as the floor this machine allows. Usage: bench_pacing [runs]
#include "Bench.h"
#include "gui/GuiFixture.h"
#include "host/Timing.h"

#include <QApplication>
#include <QMessageBox>
#include <cmath>
#include <optional>

namespace {

// The fixture's own socket (nothing is sent there), the console's, and the floor's sender.
constexpr int kFixtureOctet = 200;
constexpr int kConsoleOctet = 201;
constexpr int kSenderOctet = 202;
constexpr double kPause = 50.0;

// Notes when a command's closing message box appears.
struct MessageShown : QObject {
    std::optional<Clock::time_point> at;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !at && qobject_cast<QMessageBox*>(watched)) {
            at = Clock::now();
        }
        return false;
    }
};

// A command's runs, summed up.
struct Command {
    std::string name;
    std::size_t expected;       // messages in a run
    std::vector<double> gaps{}; // ms between consecutive arrivals, of all runs
    bool complete = true;       // every run sent all its messages and closed with a message box
    double slowest = 0;         // ms from the first message to the closing message box: n pauses, ideally
};

// Adds the run as far as it has arrived; forgets the message box.
void AddRun(Command& command, Wire& wire, MessageShown& shown)
{
    const std::vector<Clock::time_point> arrivals = wire.Take(command.expected, std::chrono::seconds(2));
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        command.gaps.push_back(Milliseconds(arrivals[i] - arrivals[i - 1]));
    }
    command.complete = command.complete && arrivals.size() == command.expected && shown.at;
    if (!arrivals.empty() && shown.at) {
        command.slowest = std::max(command.slowest, Milliseconds(*shown.at - arrivals.front()));
    }
    shown.at.reset();
}

void Report(const Command& command, const std::vector<double>& floor, int runs)
{
    const std::string& name = command.name;
    const std::string title = name + " (" + std::to_string(command.expected) + " messages, " + std::to_string(runs) +
                              " runs, " + std::to_string(command.gaps.size()) + " gaps)";
    const auto gapRow = [&](const std::string& what, double percent, const std::string& target, bool met) {
        const double gap = Percentile(command.gaps, percent);
        PrintRow({what, Fixed(gap, 2) + " ms", "50 ms ideal; floor " + Fixed(Percentile(floor, percent), 2) + " ms",
                  (gap >= kPause ? "+" : "") + Fixed(gap - kPause, 2) + " ms", target, target == "-" ? "-" : Met(met)});
    };
    gapRow(title + ", gap median", 50, "within 0.5 ms of 50 ms",
           std::abs(Percentile(command.gaps, 50) - kPause) <= 0.5);
    gapRow(name + ", gap 99th percentile", 99, "under 52 ms", Percentile(command.gaps, 99) < kPause + 2);
    gapRow(name + ", gap max", 100, "-", true);
    const double ideal = static_cast<double>(command.expected) * kPause;
    const double excess = (command.slowest - ideal) / ideal * 100.0;
    PrintRow({name + ", first message to the closing message box, slowest run", Fixed(command.slowest, 1) + " ms",
              Fixed(ideal, 0) + " ms (" + std::to_string(command.expected) + " x 50)",
              (excess >= 0 ? "+" : "") + Fixed(excess, 2) + " %", "within 2 %",
              Met(command.complete && std::abs(excess) <= 2.0)});
}

} // namespace

int main(int argc, char* argv[])
{
    const int runs = argc > 1 ? std::stoi(argv[1]) : 3;
    QApplication application(argc, argv);
    Wire wire(kConsoleOctet);
    ProgramUnderTest p(kFixtureOctet, ConfigFor(kConsoleOctet));
    // 79 empty lines: no line is "0", so every line's handler sends, 106 messages in all.
    const QString scene = p.Path(QStringLiteral("empty-lines.scn"));
    if (!p.started || !WriteFile(scene, QByteArray("\r\n").repeated(79))) {
        std::fprintf(stderr, "bench_pacing: the program did not start, or the scene could not be written\n");
        return 1;
    }
    MessageShown shown;
    application.installEventFilter(&shown);
    const UdpReceiver sender(kSenderOctet, 0);
    Command floor{.name = "Floor", .expected = 106};
    Command reset{.name = "Reset", .expected = 69};
    Command load{.name = "Load", .expected = 106};
    // Floor, Reset and Load take turns, so that the machine's ups and downs hit all three alike.
    for (int run = 0; run < runs; ++run) {
        // What this machine's timer and loopback give at best: a bare send, then the program's own pause.
        for (std::size_t i = 0; i < floor.expected; ++i) {
            sender.SendTo(kConsoleOctet, 10023, Bytes(28));
            Pause(static_cast<int>(kPause));
        }
        AddRun(floor, wire, shown);
        p.Click(CommandControl(ControlRole::Reset));
        AddRun(reset, wire, shown);
        p.answerer.TypeFileName(scene);
        p.Click(CommandControl(ControlRole::LoadScene));
        AddRun(load, wire, shown);
    }
    Report(reset, floor.gaps, runs);
    Report(load, floor.gaps, runs);
    return 0;
}
