// Following the console, in-process and offscreen: the read of the whole mix against quillon-monitor on loopback and
// over a link of 20 ms each way; from a console's change to the control showing it; and the program thread's CPU
// and longest stall under a flood of 5,000 changes a second. (bench_x_probe watches the real program under X.)
// Usage: bench_follow [changes] [flood-seconds]
#include "Bench.h"
#include "app/ReadConsole.h"
#include "gui/GuiFixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>

namespace {

using namespace std::chrono_literals;

// The consoles: the stand-in's, and one of the bench's own; the fixture's own sockets are 200 and 201.
constexpr int kMonitorOctet = 213, kConsoleOctet = 214;

// CPU time of the calling thread, in ms.
double ThreadCpuMs()
{
    timespec cpu{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    return static_cast<double>(cpu.tv_sec) * 1e3 + static_cast<double>(cpu.tv_nsec) / 1e6;
}

// Runs the event loop for `duration`, asleep in it whenever nothing comes.
void RunFor(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

// The read at start, five times, against quillon-monitor answering at once or `delay` ms late.
void Reads(const char* delay)
{
    ChildProcess monitor(MonitorCommand({"--answer", "--bind", "127.0.0.213", "--delay", delay}));
    monitor.WaitForLine("listening on");
    ProgramUnderTest p(200, ConfigFor(kMonitorOctet), Shell{.follow = true});
    std::vector<double> times;
    int answered = 0;
    for (int run = 0; run < 5; ++run) {
        const Clock::time_point start = Clock::now();
        StartRead(p.program, true, [&answered](const ReadResult& result) { answered = result.answered; });
        p.FinishRead();
        times.push_back(Milliseconds(Clock::now() - start));
    }
    PrintRow({"The read at start, 74 values and 33 names, answers " + std::string(delay) + " ms late (median of 5)",
              Fixed(Percentile(times, 50), 1) + " ms", "-",
              "max " + Fixed(Percentile(times, 100), 1) + " ms, " + std::to_string(answered) + " of 107 answered", "-",
              "-"});
}

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

// A thread sends 5,000 changes a second; the program's thread keeps a 10 ms timer, whose longest gap is its stall.
void Flood(FakeConsole& console, int seconds)
{
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        for (auto next = Clock::now(); !stop; next += 200us) {
            std::this_thread::sleep_until(next);
            console.Push(FaderChange(static_cast<int>(next.time_since_epoch().count() / 1000 % 100)));
        }
    });
    QTimer ticker;
    QElapsedTimer since;
    double stall = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] { stall = std::max(stall, double(since.restart())); });
    const double before = ThreadCpuMs();
    since.start();
    ticker.start(10);
    RunFor(std::chrono::seconds(seconds));
    const double cpu = (ThreadCpuMs() - before) / (seconds * 10.0);
    stop = true;
    sender.join();
    PrintRow({"Follow: the program's thread under 5,000 changes a second for " + std::to_string(seconds) + " s",
              Fixed(cpu, 1) + " % of a core", "-", "longest gap of a 10 ms timer " + Fixed(stall, 0) + " ms",
              "under 25 %", Met(cpu < 25.0)});
}

} // namespace

int main(int argc, char* argv[])
{
    const int changes = argc > 1 ? std::stoi(argv[1]) : 1000;
    const int flood = argc > 2 ? std::stoi(argv[2]) : 10;
    QApplication application(argc, argv);
    Reads("0");
    Reads("20");
    FakeConsole console(kConsoleOctet);
    ProgramUnderTest p(201, ConfigFor(kConsoleOctet), Shell{.follow = true});
    ChangeToWindow(p, console, changes);
    Flood(console, flood);
    return 0;
}
