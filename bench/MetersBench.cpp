// The meters in-process under X with the accessibility bridge up (scripts/with-accessibility.sh): a frame's bytes to
// its pixels, what a screen reader hears, wake-ups at rest. bench_x_probe has their CPU. Usage: bench_meters [seconds]
#include "Bench.h"
#include "app/Meters.h"
#include "gui/GuiFixture.h"
#include "monitor/Meters.h"

#include <QAccessible>
#include <QApplication>
#include <QWidget>
#include <cmath>

namespace {

using namespace std::chrono_literals;

// A frame as the stand-in makes it, taken as the receive path takes one from the console.
void Take(Program& program, const std::array<float, kMeterCount>& levels)
{
    TakeMeterMessage(program, DecodeDatagram(MeterDatagram(levels)).messages.at(0));
}

std::array<float, kMeterCount> Every(double db)
{
    std::array<float, kMeterCount> levels;
    levels.fill(static_cast<float>(std::pow(10.0, db / 20.0)));
    return levels;
}

// The main thread's wake-ups in `seconds` of the event loop.
long WakeUps(int seconds)
{
    const long before = ProcNumber("/proc/self/status", "voluntary_ctxt_switches:");
    RunFor(std::chrono::seconds(seconds));
    return ProcNumber("/proc/self/status", "voluntary_ctxt_switches:") - before;
}

// When the meters' paints end: each paint event is handed on to its meter from inside the filter.
struct PaintClock : QObject {
    Clock::time_point last{};
    int painted = 0;
    bool inside = false;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || std::exchange(inside, true)) {
            return false;
        }
        QCoreApplication::sendEvent(watched, event);
        inside = false;
        last = Clock::now();
        ++painted;
        return true;
    }
};

} // namespace

int main(int argc, char* argv[])
{
    const int seconds = argc > 1 ? std::stoi(argv[1]) : 10;
    QApplication application(argc, argv);
    ProgramUnderTest p(217); // nothing is sent to its console
    Program& program = p.program;
    // The fixture's own timer wakes the thread too: the meters may add nothing to that at rest.
    const long idle = WakeUps(seconds);
    CreateMeters(program);
    PaintClock clock;
    for (int i = 0; QWidget* meter = program.window.Meter(i); ++i) {
        meter->installEventFilter(&clock);
    }
    // Three frames at -40 dBFS while the bars fall, then one at -10 that raises all 25: its bytes to the last paint.
    std::vector<double> latencies;
    for (int sample = 0; sample < 25 * seconds; ++sample) {
        for (int fall = 0; fall < 3; ++fall, RunFor(50ms)) {
            Take(program, Every(-40.0));
        }
        clock.painted = 0;
        const Clock::time_point arrived = Clock::now();
        Take(program, Every(-10.0));
        while (clock.painted < 25 && Clock::now() - arrived < 1s) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        latencies.push_back(Milliseconds(clock.last - arrived));
    }
    const double p99 = Percentile(latencies, 99);
    PrintRow({"Meters: a frame's bytes to the end of its 25 meters' paint (median of " +
                  std::to_string(latencies.size()) + ")",
              Fixed(Percentile(latencies, 50), 3) + " ms", "-",
              "p99 " + Fixed(p99, 3) + " ms, max " + Fixed(Percentile(latencies, 100), 3) + " ms", "p99 within 16.7 ms",
              Met(p99 <= 16.7)});

    // Channels moving between -40 and -6 dBFS, 20 frames a second: at most two value changes a second of each meter.
    static std::map<QObject*, int> heard;
    QAccessible::installUpdateHandler(
        [](QAccessibleEvent* event) { heard[event->object()] += event->type() == QAccessible::ValueChanged ? 1 : 0; });
    for (int frame = 0; frame < 20 * seconds; ++frame, RunFor(50ms)) {
        Take(program, MeterLevels(frame * 0.05, MeterMix{})); // channels alone move
    }
    QAccessible::installUpdateHandler(nullptr);
    int most = 0;
    for (const auto& [meter, count] : heard) {
        most = std::max(most, count);
    }
    const double rate = static_cast<double>(most) / seconds;
    PrintRow({"Meters: value changes a screen reader hears, busiest meter, levels moving for " +
                  std::to_string(seconds) + " s",
              QAccessible::isActive() ? Fixed(rate, 2) + " a second" : "not measured: no accessibility bridge", "-",
              "-", "at most 2 a second", QAccessible::isActive() ? Met(rate <= 2.0) : "-"});

    // No more frames: the meters fall to the floor and rest; only the bench's own timer ending the wait wakes the
    // thread.
    RunFor(6s);
    const long resting = WakeUps(seconds);
    PrintRow({"Meters: resting at the floor for " + std::to_string(seconds) + " s, main-thread wake-ups",
              std::to_string(resting), std::to_string(idle) + " before the meters were made", "-",
              "no wake-up from the meters", Met(resting <= idle + 1)});
    return 0;
}
