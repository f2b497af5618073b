// The program and the floor, each started fresh under the X server of $DISPLAY and watched from outside through /proc:
// start-up to an idle window, its CPU time, peak memory, idle CPU; then input through XTEST, timed to its datagram.
#include "Bench.h"
#include "controls/ControlMap.h"

#include <QTemporaryDir>
#include <csignal>
#include <filesystem>
#include <linux/input-event-codes.h>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <xcb/xtest.h>

namespace {

using namespace std::chrono_literals;

// Quiet this long with the window up counts as idle. It stays under the 500 ms of a text
// cursor's blink, so a blink after start-up is not taken for start-up.
constexpr auto kQuiet = 400ms;
// Each input waits out the 50 ms pause of the one before, so none is queued behind it.
constexpr auto kSpacing = 80ms;
constexpr ControlRect kFader = FindOnStrip(ControlRole::Fader, StripKind::Channel, 1)->rect;
constexpr ControlRect kMute = FindOnStrip(ControlRole::Mute, StripKind::Channel, 1)->rect;
// Xvfb's keymap (evdev) numbers a key as the kernel does, plus 8.
constexpr xcb_keycode_t kUpDown[] = {KEY_UP + 8, KEY_DOWN + 8};

// Where the programs run: their windows, and XTEST input, which the server delivers as a device's.
class XDisplay {
    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
    xcb_atom_t pidAtom_ = 0;

    // A request and its reply; null after an error.
    template <typename Cookie, typename Reply, typename... Parameters, typename... Arguments>
    auto Ask(Cookie (*request)(xcb_connection_t*, Parameters...),
             Reply* (*reply)(xcb_connection_t*, Cookie, xcb_generic_error_t**), Arguments... arguments)
    {
        return std::unique_ptr<Reply, decltype([](Reply* answer) { std::free(answer); })>(
            reply(connection_, request(connection_, arguments...), nullptr));
    }

public:
    XDisplay() : connection_(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(connection_)) {
            throw std::runtime_error("no X server at $DISPLAY");
        }
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        pidAtom_ = Ask(xcb_intern_atom, xcb_intern_atom_reply, 0, 11, "_NET_WM_PID")->atom;
    }
    ~XDisplay() { xcb_disconnect(connection_); }
    // A viewable top-level window whose _NET_WM_PID is `pid`; 0 while there is none.
    xcb_window_t WindowOf(std::int64_t pid)
    {
        const auto tree = Ask(xcb_query_tree, xcb_query_tree_reply, root_);
        for (int i = 0; tree && i < xcb_query_tree_children_length(tree.get()); ++i) {
            const xcb_window_t child = xcb_query_tree_children(tree.get())[i];
            const auto shown = Ask(xcb_get_window_attributes, xcb_get_window_attributes_reply, child);
            const auto owner =
                Ask(xcb_get_property, xcb_get_property_reply, 0, child, pidAtom_, XCB_ATOM_CARDINAL, 0, 1);
            if (shown && shown->map_state == XCB_MAP_STATE_VIEWABLE && owner && owner->value_len == 1 &&
                *static_cast<const std::uint32_t*>(xcb_get_property_value(owner.get())) == pid) {
                return child;
            }
        }
        return 0;
    }
    // Moves the pointer to a point of the window's client area and presses the left button there.
    void PressOn(xcb_window_t window, int x, int y)
    {
        const auto at = Ask(xcb_translate_coordinates, xcb_translate_coordinates_reply, window, root_, x, y);
        Input(XCB_MOTION_NOTIFY, 0, at->dst_x, at->dst_y);
        Input(XCB_BUTTON_PRESS, 1);
    }
    // An XTEST event (XCB_KEY_PRESS, XCB_BUTTON_RELEASE...), sent at once.
    void Input(std::uint8_t type, std::uint8_t detail, std::int16_t x = 0, std::int16_t y = 0)
    {
        xcb_test_fake_input(connection_, type, detail, XCB_CURRENT_TIME, root_, x, y, 0);
        xcb_flush(connection_);
    }
};

// CPU use as the kernel counts it, or the difference of two readings.
struct CpuUse {
    long ticks;   // utime + stime in clock ticks, of all the threads it had
    double cpuMs; // the scheduler's own count, of the threads alive, finer than ticks
    CpuUse operator-(const CpuUse& rhs) const { return {ticks - rhs.ticks, cpuMs - rhs.cpuMs}; }
    std::string Text() const
    {
        return std::to_string(ticks) + (ticks == 1 ? " tick (" : " ticks (") + Fixed(cpuMs, 2) + " ms CPU)";
    }
};

// A program started in `folder`, its stderr going to ours (the bench's log), ended when this goes.
class WatchedProcess {
    pid_t pid_ = 0;
    std::string Proc(const std::string& file) const { return "/proc/" + std::to_string(pid_) + "/" + file; }
    // The scheduler's CPU time of the threads alive now, in ms.
    double CpuMs() const
    {
        double sum = 0;
        std::error_code error;
        for (const auto& thread : std::filesystem::directory_iterator(Proc("task"), error)) {
            sum += static_cast<double>(ProcNumber(thread.path() / "schedstat"));
        }
        return sum / 1e6;
    }

public:
    const Clock::time_point started = Clock::now(); // just before the fork
    xcb_window_t window = 0;
    WatchedProcess(const std::string& program, const QTemporaryDir& folder, std::vector<const char*> arguments = {})
    {
        const QByteArray where = folder.path().toLocal8Bit();
        arguments.insert(arguments.begin(), program.c_str());
        arguments.push_back(nullptr);
        if ((pid_ = ::fork()) == 0) {
            if (std::freopen("/dev/null", "w", stdout) && ::chdir(where.constData()) == 0) {
                ::execv(program.c_str(), const_cast<char* const*>(arguments.data()));
            }
            ::_exit(127);
        }
    }
    ~WatchedProcess()
    {
        if (pid_ != 0) {
            End();
        }
    }
    // Ends it and returns the CPU time of all the threads it had, ended ones too, as the kernel counts a reaped child.
    double End()
    {
        ::kill(pid_, SIGTERM);
        rusage usage{};
        ::wait4(std::exchange(pid_, 0), nullptr, 0, &usage);
        const auto ms = [](const timeval& time) { return 1e3 * static_cast<double>(time.tv_sec) + time.tv_usec / 1e3; };
        return ms(usage.ru_utime) + ms(usage.ru_stime);
    }
    // When its CPU time last moved before standing still for 400 ms with its window viewable. Windows are looked for
    // only once it is quiet: each look costs the X server a little, which would slow the start-up being measured.
    Clock::time_point WaitUntilIdle(XDisplay& display)
    {
        double cpuMs = CpuMs();
        for (auto moved = Clock::now(); Clock::now() < started + 30s;) {
            std::this_thread::sleep_for(1ms);
            if (const double now = CpuMs(); now != std::exchange(cpuMs, now)) {
                moved = Clock::now();
            } else if (Clock::now() - moved >= kQuiet && (window = display.WindowOf(pid_)) != 0) {
                return moved;
            }
        }
        throw std::runtime_error("a program did not come up within 30 s");
    }
    double PeakMib() const { return static_cast<double>(ProcNumber(Proc("status"), "VmHWM:")) / 1024.0; }
    CpuUse Use() const
    {
        std::string stat;
        std::getline(std::ifstream(Proc("stat")), stat);
        long times[2] = {};
        // The name may hold spaces and brackets: the fields from the third on follow its last ")".
        std::sscanf(stat.c_str() + stat.rfind(')') + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld",
                    &times[0], &times[1]);
        return {times[0] + times[1], CpuMs()};
    }
};

// What the measurements share; the programs' config.ini points at the wire.
struct Probe {
    std::string label, program, floor;
    Wire wire;
    QTemporaryDir folder;
    XDisplay display;
};

// Each program started `runs` times, in turn (the floor first in even runs), until its window is idle, and ended 1 s
// later for the CPU time of all its threads, its first paint included.
void StartUps(Probe& probe, int runs)
{
    std::vector<double> startupMs[2]; // the program's, the floor's
    std::vector<double> peakMib[2];
    std::vector<double> cpuMs[2];
    for (int run = 0; run < runs; ++run) {
        for (const int which : {1 - run % 2, run % 2}) {
            WatchedProcess process(which == 0 ? probe.program : probe.floor, probe.folder);
            startupMs[which].push_back(Milliseconds(process.WaitUntilIdle(probe.display) - process.started));
            peakMib[which].push_back(process.PeakMib());
            std::this_thread::sleep_for(1s);
            cpuMs[which].push_back(process.End());
        }
    }
    const auto compare = [&](const std::string& what, const std::vector<double>(&samples)[2], const std::string& unit,
                             double target) {
        const double program = Percentile(samples[0], 50);
        const double floor = Percentile(samples[1], 50);
        PrintRow({what + ", " + probe.label + " (median of " + std::to_string(runs) + ")", Fixed(program, 1) + unit,
                  Fixed(floor, 1) + unit + " (floor)", Fixed(program / floor, 2) + " x",
                  "within " + Fixed(target, 1) + " x", Met(program <= target * floor)});
    };
    compare("Start-up to an idle window", startupMs, " ms", 1.2);
    compare("Start-up CPU time, all threads, to 1 s after the window is idle", cpuMs, " ms", 1.2);
    compare("Peak resident memory (VmHWM)", peakMib, " MiB", 1.1);
}

// From the time `input` gives to the arrival of the datagram it sent, `events` times.
void TimeReaction(Probe& probe, const std::string& what, int events, const auto& input)
{
    std::vector<double> reactions;
    for (int i = 0; i < events; ++i) {
        probe.wire.Take();
        const Clock::time_point start = input(i);
        for (const Clock::time_point arrival : probe.wire.Take(1, 1s)) {
            reactions.push_back(Milliseconds(arrival - start)); // one, or none when nothing came
        }
        std::this_thread::sleep_until(start + kSpacing);
    }
    const double median = Percentile(reactions, 50);
    PrintRow({"Reaction: " + what + " through the X server (XTEST) to its datagram, " + probe.label + " (median of " +
                  std::to_string(reactions.size()) + ")",
              Fixed(median, 3) + " ms", "-",
              "p99 " + Fixed(Percentile(reactions, 99), 3) + " ms, max " + Fixed(Percentile(reactions, 100), 3) + " ms",
              "under 1 ms median", Met(reactions.size() == static_cast<std::size_t>(events) && median < 1.0)});
}

// Up and Down on channel 01's fader, then clicks on its "M" box.
void Reactions(Probe& probe, const WatchedProcess& program, int events)
{
    XDisplay& display = probe.display;
    // A click on the groove (along the left of the fader, the ticks along the right) above the thumb
    // at 0 gives the fader the focus and pages it up, so Up and Down in turn move it a step each.
    display.PressOn(program.window, kFader.x + kFader.width / 3, kFader.y + kFader.height / 4);
    display.Input(XCB_BUTTON_RELEASE, 1);
    std::this_thread::sleep_for(kSpacing);
    TimeReaction(probe, "Up/Down key", events, [&](int i) {
        const Clock::time_point pressed = Clock::now();
        display.Input(XCB_KEY_PRESS, kUpDown[i % 2]);
        display.Input(XCB_KEY_RELEASE, kUpDown[i % 2]);
        return pressed;
    });
    // Each click toggles the box, and each toggle sends; the button is held a moment, as a hand holds it.
    TimeReaction(probe, "click on an M box", events, [&](int) {
        display.PressOn(program.window, kMute.x + kMute.width / 2, kMute.y + kMute.height / 2);
        std::this_thread::sleep_for(20ms);
        const Clock::time_point released = Clock::now();
        display.Input(XCB_BUTTON_RELEASE, 1);
        return released;
    });
}

// Both programs sit with their windows open at the same time, untouched; then the floor goes (so
// that its window covers nothing), and input reaches the program.
void IdleAndInput(Probe& probe, int seconds, int events)
{
    WatchedProcess program(probe.program, probe.folder);
    {
        WatchedProcess floor(probe.floor, probe.folder);
        program.WaitUntilIdle(probe.display);
        floor.WaitUntilIdle(probe.display);
        probe.wire.Take();
        const CpuUse before[] = {program.Use(), floor.Use()};
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const CpuUse used[] = {program.Use() - before[0], floor.Use() - before[1]};
        PrintRow({"Idle CPU, window open and untouched for " + std::to_string(seconds) + " s, " + probe.label,
                  used[0].Text() + ", " + std::to_string(probe.wire.Take().size()) + " datagrams",
                  used[1].Text() + " (floor)", "-", "0 ticks", Met(used[0].ticks == 0)});
    }
    if (events > 0) {
        Reactions(probe, program, events);
    }
}

// quillon --follow against quillon-monitor --answer: `seconds` with the console idle but for its meters, 27 levels 20
// times a second, then 10 s of 5,000 changes a second that another client sets on the monitor, which forwards them.
void Follow(Probe& probe, const std::string& monitor, int seconds)
{
    QTemporaryDir folder;
    std::ofstream(folder.filePath(QStringLiteral("config.ini")).toStdString()) << "127\r\n0\r\n0\r\n215\r\n";
    const WatchedProcess console(monitor, folder, {"--answer", "--bind", "127.0.0.215"});
    std::this_thread::sleep_for(500ms);
    WatchedProcess program(probe.program, folder, {"--follow"});
    std::this_thread::sleep_for(3s); // up, read and streaming: with meters coming it is never idle
    CpuUse before = program.Use();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double meters = (program.Use() - before).cpuMs / (seconds * 10.0);
    PrintRow({"Follow: the console idle, its meters streaming 20 frames a second, " + probe.label,
              Fixed(meters, 2) + " % of a core", "-", "-", "at most 2 %", Met(meters <= 2.0)});
    const UdpReceiver desk(216, 0);
    before = program.Use();
    const Clock::time_point start = Clock::now();
    for (auto next = start; next < start + 10s; next += 200us) {
        std::this_thread::sleep_until(next);
        desk.SendTo(215, 10023, FaderChange(static_cast<int>(next.time_since_epoch() / 200us % 100)));
    }
    const CpuUse flood = program.Use() - before;
    PrintRow({"Follow: 5,000 changes a second for 10 s, " + probe.label, Fixed(flood.cpuMs / 100.0, 1) + " % of a core",
              "-", flood.Text(), "under 25 %", Met(flood.cpuMs < 2500.0)});
}

} // namespace

int main(int argc, char* argv[])
try {
    if (argc != 8 && argc != 9) {
        throw std::runtime_error("usage: bench_x_probe LABEL OCTET RUNS IDLE-SECONDS EVENTS PROGRAM FLOOR [MONITOR]");
    }
    const int octet = std::stoi(argv[2]);
    Probe probe{argv[1], std::filesystem::absolute(argv[6]), std::filesystem::absolute(argv[7]), Wire(octet), {}, {}};
    std::ofstream(probe.folder.filePath(QStringLiteral("config.ini")).toStdString()) << "127\r\n0\r\n0\r\n"
                                                                                     << octet << "\r\n";
    StartUps(probe, std::stoi(argv[3]));
    if (const int seconds = std::stoi(argv[4]); seconds > 0) {
        IdleAndInput(probe, seconds, std::stoi(argv[5]));
        if (argc == 9) {
            Follow(probe, std::filesystem::absolute(argv[8]), 3 * seconds);
        }
    }
    return 0;
} catch (const std::exception& error) {
    std::fprintf(stderr, "bench_x_probe: %s\n", error.what());
    return 1;
}
