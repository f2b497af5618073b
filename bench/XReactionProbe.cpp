// From a key pressed through the X server to the datagram on the wire, for the real program
// under the X server of $DISPLAY: XTEST presses Up and Down on the fader of channel 01, and a
// socket in place of the console notes each datagram's arrival. Then, with the keyboard focus
// left on that fader, the window idles, to show what it does when no text cursor blinks.
//   bench_x_reaction_probe [--events N] [--idle-seconds S] [--octet N] [--label TEXT] PROGRAM
#include "ArrivalRecorder.h"
#include "BenchStats.h"
#include "ProcessWatch.h"
#include "XDisplay.h"
#include "osc/ControlMap.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uint32_t kUpKeysym = 0xFF52;
constexpr std::uint32_t kDownKeysym = 0xFF54;
constexpr int kLeftButton = 1;

// On the groove of channel 01's fader (the groove runs along its left side), above the thumb at
// 0: a click there gives the fader the keyboard focus and pages it up once.
constexpr ControlRect kChannelOneFader = FirstWith(ControlRole::Fader).rect;
constexpr RootPoint kOnChannelOneFader{kChannelOneFader.x + 8, kChannelOneFader.y + 55};

// Each key waits out the 50 ms pause of the one before, so none is queued behind it.
constexpr auto kKeySpacing = std::chrono::milliseconds(80);
constexpr auto kArrivalDeadline = std::chrono::seconds(1);

struct Options {
    int events = 100;
    int idleSeconds = 10;
    int octet = 206;
    std::string label = "64-bit";
    std::string program;
};

std::optional<Options> Parse(int argc, char* argv[])
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--events" && hasValue) {
            options.events = std::clamp(std::atoi(argv[++i]), 1, 1000);
        } else if (arg == "--idle-seconds" && hasValue) {
            options.idleSeconds = std::clamp(std::atoi(argv[++i]), 0, 60);
        } else if (arg == "--octet" && hasValue) {
            options.octet = std::atoi(argv[++i]);
        } else if (arg == "--label" && hasValue) {
            options.label = argv[++i];
        } else if (options.program.empty()) {
            options.program = std::filesystem::absolute(arg).string();
        } else {
            return std::nullopt;
        }
    }
    if (options.program.empty()) {
        return std::nullopt;
    }
    return options;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "bench_x_reaction_probe: %s\n", what);
    return 1;
}

int Run(int argc, char* argv[])
{
    const std::optional<Options> parsed = Parse(argc, argv);
    if (!parsed) {
        std::fprintf(stderr, "usage: bench_x_reaction_probe [--events N] [--idle-seconds S] [--octet N] [--label TEXT] "
                             "PROGRAM\n");
        return 2;
    }
    const Options& options = *parsed;
    ArrivalRecorder wire(options.octet);
    XDisplay display;
    if (!display.HasXTest()) {
        return Fail("the X server has no XTEST extension");
    }
    const std::uint8_t up = display.KeycodeOf(kUpKeysym);
    const std::uint8_t down = display.KeycodeOf(kDownKeysym);
    if (up == 0 || down == 0) {
        return Fail("no keycodes for Up and Down");
    }

    const ScratchFolder folder(options.octet);

    std::vector<double> reactions;
    std::optional<ResultRow> idleRow;
    {
        WatchedProcess program(options.program, folder.Path(), folder.LogFor("program"));
        std::uint32_t window = 0;
        const auto shown = [&] { return (window = display.ViewableWindowOf(program.Pid())) != 0; };
        if (!program.WaitUntilIdle(shown, std::chrono::milliseconds(300), std::chrono::seconds(30))) {
            return Fail("the program did not come up");
        }
        const std::optional<RootPoint> origin = display.Origin(window);
        if (!origin) {
            return Fail("the window has no place on the screen");
        }

        display.MovePointer({origin->x + kOnChannelOneFader.x, origin->y + kOnChannelOneFader.y});
        display.Button(kLeftButton, true);
        display.Button(kLeftButton, false);
        display.Sync();
        if (!wire.WaitForCount(1, kArrivalDeadline)) {
            return Fail("the click on the fader sent nothing");
        }
        std::this_thread::sleep_for(kKeySpacing);
        wire.Clear();

        // Alternating Up and Down keeps the fader moving by one step each time.
        for (int i = 0; i < options.events; ++i) {
            const std::uint8_t key = i % 2 == 0 ? up : down;
            const std::size_t before = wire.Count();
            const auto start = BenchClock::now();
            display.Key(key, true);
            const bool arrived = wire.WaitForCount(before + 1, kArrivalDeadline);
            display.Key(key, false);
            if (!arrived) {
                std::fprintf(stderr, "bench_x_reaction_probe: key %d sent nothing\n", i);
                break;
            }
            reactions.push_back(Milliseconds(wire.Arrivals()[before] - start));
            std::this_thread::sleep_until(start + kKeySpacing);
        }

        if (options.idleSeconds > 0) {
            const CpuUse before = program.Use();
            std::this_thread::sleep_for(std::chrono::seconds(options.idleSeconds));
            const CpuUse idle = program.Use() - before;
            idleRow = {"Idle CPU with the keyboard focus on a fader, " + std::to_string(options.idleSeconds) + " s, " +
                           options.label,
                       Describe(idle),
                       "-",
                       "-",
                       "0 ticks",
                       Met(idle.ticks == 0)};
        }
    }
    const double median = Median(reactions);
    const bool complete = reactions.size() == static_cast<std::size_t>(options.events);
    PrintRow({"Reaction: Up/Down key through the X server (XTEST) to its datagram, " + options.label + " (median of " +
                  std::to_string(reactions.size()) + ")",
              Fixed(median, 3) + " ms", "-",
              "p99 " + Fixed(Percentile(reactions, 99), 3) + " ms, max " + Fixed(Maximum(reactions), 3) + " ms",
              "under 1 ms median", Met(complete && median < 1.0)});
    if (idleRow) {
        PrintRow(*idleRow);
    }
    return complete ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    return RunReportingErrors("bench_x_reaction_probe", Run, argc, argv);
}
