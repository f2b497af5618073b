// The meters, in-process under the X server of $DISPLAY: the process's CPU while 27 levels come 20 times a second,
// from a frame's arrival (its bytes, decoded) to the end of its meters' paint, the value changes a screen reader
// hears (with Qt's accessibility bridge up, as scripts/with-accessibility.sh has it), and the main thread's wake-ups
// with every meter resting at the floor.
// Usage: bench_meters [seconds]
#include "Bench.h"
#include "app/Meters.h"
#include "app/Program.h"
#include "osc/OscDecoder.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <sys/resource.h>

namespace {

using namespace std::chrono_literals;

// The console's address in config.ini; nothing listens there, and the bench sends nothing.
constexpr int kConsoleOctet = 142;

double ProcessCpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

long MainThreadWakeUps()
{
    return ProcNumber("/proc/self/status", "voluntary_ctxt_switches:");
}

void RunFor(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// A frame as the console sends it at `seconds`: each level moving slowly between -40 and -6 dBFS, each its own phase;
// with no swing, every level at the centre.
Bytes Frame(double seconds, double centre = -23.0, double swing = 17.0)
{
    Bytes frame = ParseBytes(R"("/meters/5"~ ",b"~ 00000070 1B000000)");
    for (int i = 0; i < 27; ++i) {
        const double db = centre + swing * std::sin(seconds * 1.5 + i * 0.7);
        const auto bits = std::bit_cast<std::uint32_t>(static_cast<float>(std::pow(10.0, db / 20.0)));
        for (int shift = 0; shift < 32; shift += 8) {
            frame.push_back(static_cast<std::uint8_t>(bits >> shift));
        }
    }
    return frame;
}

void Take(Program& program, const Bytes& frame)
{
    for (const DecodedMessage& message : DecodeDatagram(frame).messages) {
        TakeMeterMessage(program, message);
    }
}

// The process's CPU in % of a core over `seconds` of frames every 50 ms.
double StreamCpu(Program& program, int seconds)
{
    QTimer console;
    console.setTimerType(Qt::PreciseTimer);
    int sent = 0;
    QObject::connect(&console, &QTimer::timeout, [&] { Take(program, Frame(++sent * 0.05)); });
    const double before = ProcessCpuMs();
    console.start(50);
    RunFor(std::chrono::seconds(seconds));
    return (ProcessCpuMs() - before) / (seconds * 10.0);
}

// When each meter's paint last ended: a paint event is handed on to the meter from inside its filter.
class PaintClock : public QObject {
public:
    std::vector<Clock::time_point> ends;
    int painted = 0; // since the bench last set it to 0

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || inside_) {
            return false;
        }
        inside_ = true;
        QCoreApplication::sendEvent(watched, event);
        inside_ = false;
        ends.push_back(Clock::now());
        ++painted;
        return true;
    }

private:
    bool inside_ = false;
};

} // namespace

int main(int argc, char* argv[])
{
    const int seconds = argc > 1 ? std::stoi(argv[1]) : 10;
    QApplication application(argc, argv);
    QTemporaryDir folder;
    WriteFile(folder.filePath(QStringLiteral("config.ini")),
              QByteArray("127\r\n0\r\n0\r\n") + QByteArray::number(kConsoleOctet) + "\r\n");
    QDir::setCurrent(folder.path());
    Program program;
    if (!StartProgram(program)) {
        return 1;
    }
    RunFor(1s);

    const long before = MainThreadWakeUps();
    RunFor(std::chrono::seconds(seconds));
    const long idle = MainThreadWakeUps() - before;
    const double without = StreamCpu(program, seconds);
    CreateMeters(program);
    const double with = StreamCpu(program, seconds);
    PrintRow({"Meters: 27 levels 20 times a second for " + std::to_string(seconds) + " s, process CPU",
              Fixed(with, 2) + " % of a core", Fixed(without, 2) + " % without meters",
              "+" + Fixed(with - without, 2) + " %", "at most 2 %", Met(with <= 2.0)});

    // Frames every 50 ms: one at -10 dBFS, then three at -40 during which the bars fall; the time of each -10 frame,
    // which raises every meter, runs from its bytes to the end of the 25th meter's paint.
    PaintClock clock;
    for (int i = 0; QWidget* meter = program.window.Meter(i); ++i) {
        meter->installEventFilter(&clock);
    }
    std::vector<double> latencies;
    for (int sample = 0; sample < 25 * seconds; ++sample) {
        for (int fall = 0; fall < 3; ++fall) {
            Take(program, Frame(0.0, -40.0, 0.0));
            RunFor(50ms);
        }
        clock.painted = 0;
        const Clock::time_point arrived = Clock::now();
        Take(program, Frame(0.0, -10.0, 0.0));
        while (clock.painted < 25 && Clock::now() - arrived < 1s) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        latencies.push_back(Milliseconds(clock.ends.back() - arrived));
        RunFor(50ms);
    }
    const double p99 = Percentile(latencies, 99);
    PrintRow({"Meters: a frame's bytes to the end of its 25 meters' paint (median of " +
                  std::to_string(latencies.size()) + ")",
              Fixed(Percentile(latencies, 50), 3) + " ms", "-",
              "p99 " + Fixed(p99, 3) + " ms, max " + Fixed(Percentile(latencies, 100), 3) + " ms", "p99 within 16.7 ms",
              Met(p99 <= 16.7)});

    // The changes a screen reader hears while the levels move: at most two a second of each meter.
    static std::map<QObject*, int> heard;
    QAccessible::installUpdateHandler(
        [](QAccessibleEvent* event) { heard[event->object()] += event->type() == QAccessible::ValueChanged ? 1 : 0; });
    StreamCpu(program, seconds);
    QAccessible::installUpdateHandler(nullptr);
    int most = 0;
    for (int i = 0; QWidget* meter = program.window.Meter(i); ++i) {
        most = std::max(most, heard[meter]);
    }
    const double rate = static_cast<double>(most) / seconds;
    PrintRow({"Meters: value changes a screen reader hears, busiest meter, levels moving for " +
                  std::to_string(seconds) + " s",
              QAccessible::isActive() ? Fixed(rate, 2) + " a second" : "not measured: no accessibility bridge", "-",
              "-", "at most 2 a second", QAccessible::isActive() ? Met(rate <= 2.0) : "-"});

    // No frames: the meters fall to the floor and rest; the bench's own timer that ends the wait wakes the thread.
    RunFor(6s);
    const long restingBefore = MainThreadWakeUps();
    RunFor(std::chrono::seconds(seconds));
    const long resting = MainThreadWakeUps() - restingBefore;
    PrintRow({"Meters: resting at the floor for " + std::to_string(seconds) + " s, main-thread wake-ups",
              std::to_string(resting), std::to_string(idle) + " before the meters were made", "-",
              "no wake-up from the meters", Met(resting <= idle)});
    ShutDown(program);
    return 0;
}
