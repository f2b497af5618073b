// From the user's input to its datagram on the wire: Up and Down keys on a fader, and clicks
// on an "M" box, injected through Qt's window-system interface (where a platform plugin hands
// over what the window system delivered) and timed to the datagram's arrival on loopback.
// The handler pauses only after it has sent, so the pause is not part of what is measured.
#include "ArrivalRecorder.h"
#include "BenchStats.h"
#include "gui/GuiFixture.h"
#include "osc/ControlMap.h"

#include <QApplication>
#include <QTest>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The fixture's own socket (nothing is sent there) and the console's, which the program sends to.
constexpr int kFixtureOctet = 202;
constexpr int kConsoleOctet = 203;

constexpr int kChannelOneFader = FirstWith(ControlRole::Fader).number;
constexpr int kChannelOneMute = FirstWith(ControlRole::Mute).number;

// Input-to-arrival times in ms of `events` inputs, each expected to send one datagram.
std::vector<double> Time(ProgramUnderTest& p, ArrivalRecorder& wire, int events, const std::function<void(int)>& input)
{
    std::vector<double> reactions;
    p.Pump();
    wire.Clear();
    for (int i = 0; i < events; ++i) {
        const std::size_t before = wire.Count();
        const auto start = BenchClock::now();
        input(i);
        if (!wire.WaitForCount(before + 1, std::chrono::seconds(1))) {
            std::fprintf(stderr, "bench_reaction: input %d sent nothing\n", i);
            break;
        }
        reactions.push_back(Milliseconds(wire.Arrivals()[before] - start));
        p.Pump();
    }
    return reactions;
}

void Report(const std::string& what, int events, const std::vector<double>& reactions)
{
    const double median = Median(reactions);
    const bool complete = reactions.size() == static_cast<std::size_t>(events);
    PrintRow({what + " (median of " + std::to_string(reactions.size()) + ")", Fixed(median, 3) + " ms", "-",
              "p99 " + Fixed(Percentile(reactions, 99), 3) + " ms, max " + Fixed(Maximum(reactions), 3) + " ms",
              "under 1 ms median", Met(complete && median < 1.0)});
}

int EventsFrom(int argc, char* argv[])
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--events") {
            return std::clamp(std::atoi(argv[i + 1]), 1, 1000);
        }
    }
    return 200;
}

int Run(int argc, char* argv[])
{
    const int events = EventsFrom(argc, argv);
    QApplication application(argc, argv);
    ArrivalRecorder wire(kConsoleOctet);
    ProgramUnderTest p(kFixtureOctet, ConfigFor(kConsoleOctet));
    if (!p.started) {
        std::fprintf(stderr, "bench_reaction: the program did not start\n");
        return 1;
    }
    QWidget* main = p.program.window.MainWindow();
    QWindow* window = main->windowHandle();

    // Alternating Up and Down keeps the fader between 0 and 1, so every key moves it.
    p.Control(kChannelOneFader)->setFocus();
    const auto keys =
        Time(p, wire, events, [window](int i) { QTest::keyClick(window, i % 2 == 0 ? Qt::Key_Up : Qt::Key_Down); });
    Report("Reaction: Up/Down key on a fader to its datagram, in-process", events, keys);

    // Every click toggles the box, and every toggle sends.
    QWidget* box = p.Control(kChannelOneMute);
    const QPoint onBox = box->mapTo(main, QPoint(8, box->height() / 2));
    // A box has no bound handler: its click is queued and the main loop's dispatch sends it.
    const auto clicks = Time(p, wire, events / 2, [&p, window, onBox](int) {
        QTest::mouseClick(window, Qt::LeftButton, {}, onBox);
        p.Pump();
    });
    Report("Reaction: click on an M box to its datagram, in-process", events / 2, clicks);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    return RunReportingErrors("bench_reaction", Run, argc, argv);
}
