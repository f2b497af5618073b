// Following the console, in-process and offscreen: from a console's change to the control showing it. (bench_x_probe
// watches the real program under X: a flood of changes, and the meters.) Usage: bench_follow [changes]
#include "Bench.h"
#include "gui/GuiFixture.h"

#include <QApplication>

namespace {

using namespace std::chrono_literals;

// A console of the bench's own; the fixture's own sockets are 200 and 201.
constexpr int kConsoleOctet = 214;

// Each change waits until the last has shown and the draw interval has passed, so each is drawn as it comes.
void ChangeToWindow(ProgramUnderTest& p, FakeConsole& console, int changes)
{
    std::vector<double> latencies;
    for (int i = 1; i <= changes; ++i) {
        const int value = i % 100 + 1;
        RunFor(20ms);
        const Clock::time_point sent = Clock::now(); // on loopback, the arrival follows within microseconds
        console.Push(FaderChange(value));
        while (p.program.window.GetControlState(88) != value && Clock::now() - sent < 1s) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        latencies.push_back(Milliseconds(Clock::now() - sent));
    }
    PrintRow({"Follow: a console change to its control (median of " + std::to_string(changes) + ")",
              Fixed(Percentile(latencies, 50), 3) + " ms", "-",
              "p99 " + Fixed(Percentile(latencies, 99), 3) + " ms, max " + Fixed(Percentile(latencies, 100), 3) + " ms",
              "-", "-"});
}

} // namespace

int main(int argc, char* argv[])
{
    const int changes = argc > 1 ? std::stoi(argv[1]) : 1000;
    QApplication application(argc, argv);
    FakeConsole console(kConsoleOctet);
    ProgramUnderTest p(201, ConfigFor(kConsoleOctet), Shell{.follow = true});
    ChangeToWindow(p, console, changes);
    return 0;
}
