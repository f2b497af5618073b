// Start-up, peak memory, shared libraries and idle CPU of a program against the floor, each
// started fresh under the X server of $DISPLAY and watched from outside:
//   bench_startup_probe [--runs N] [--idle-seconds S] [--octet N] [--label TEXT] PROGRAM FLOOR
// Start-up is from the fork to the moment the process last used CPU before going quiet with its
// window viewable. Runs alternate between the two programs, so drift hits both alike.
#include "ArrivalRecorder.h"
#include "BenchStats.h"
#include "ProcessWatch.h"
#include "XDisplay.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// Quiet this long with the window up counts as idle. It stays under the 500 ms of a text
// cursor's blink, so a blink after start-up is not taken for start-up.
constexpr auto kQuiet = std::chrono::milliseconds(400);
constexpr auto kStartDeadline = std::chrono::seconds(30);
constexpr double kTargetRatio = 1.2;

struct Options {
    int runs = 10;
    int idleSeconds = 10;
    int octet = 205;
    std::string label = "64-bit";
    std::string program;
    std::string floor;
};

struct Sample {
    double startupMs = 0;
    double peakMib = 0;
    int libraries = 0;
};

std::optional<Options> Parse(int argc, char* argv[])
{
    Options options;
    std::vector<std::string> programs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--runs" && hasValue) {
            options.runs = std::clamp(std::atoi(argv[++i]), 1, 50);
        } else if (arg == "--idle-seconds" && hasValue) {
            options.idleSeconds = std::clamp(std::atoi(argv[++i]), 0, 60);
        } else if (arg == "--octet" && hasValue) {
            options.octet = std::atoi(argv[++i]);
        } else if (arg == "--label" && hasValue) {
            options.label = argv[++i];
        } else {
            programs.push_back(arg);
        }
    }
    if (programs.size() != 2) {
        return std::nullopt;
    }
    options.program = std::filesystem::absolute(programs[0]).string();
    options.floor = std::filesystem::absolute(programs[1]).string();
    return options;
}

std::optional<Sample> StartOnce(XDisplay& display, const std::string& program, const ScratchFolder& folder)
{
    WatchedProcess process(program, folder.Path(), folder.LogFor("program"));
    const auto idle =
        process.WaitUntilIdle([&] { return display.ViewableWindowOf(process.Pid()) != 0; }, kQuiet, kStartDeadline);
    if (!idle) {
        return std::nullopt;
    }
    return Sample{Milliseconds(*idle - process.Started()), static_cast<double>(process.PeakResidentKib()) / 1024.0,
                  process.SharedLibraries()};
}

void CompareRow(const std::string& what, double program, double floor, const std::string& unit, int decimals)
{
    const double ratio = floor > 0 ? program / floor : 0;
    PrintRow({what, Fixed(program, decimals) + " " + unit, Fixed(floor, decimals) + " " + unit + " (floor)",
              Fixed(ratio, 2) + " x", "within 1.2 x", Met(ratio <= kTargetRatio)});
}

// Both programs sit with their windows open at the same time, untouched, for the idle seconds.
bool MeasureIdle(XDisplay& display, const Options& options, const ScratchFolder& folder, ArrivalRecorder& wire)
{
    WatchedProcess program(options.program, folder.Path(), folder.LogFor("program"));
    WatchedProcess floor(options.floor, folder.Path(), folder.LogFor("floor"));
    for (const WatchedProcess* process : {&program, &floor}) {
        if (!process->WaitUntilIdle([&] { return display.ViewableWindowOf(process->Pid()) != 0; }, kQuiet,
                                    kStartDeadline)) {
            std::fprintf(stderr, "bench_startup_probe: a program did not come up for the idle measurement\n");
            return false;
        }
    }
    wire.Clear();
    const CpuUse programBefore = program.Use();
    const CpuUse floorBefore = floor.Use();
    std::this_thread::sleep_for(std::chrono::seconds(options.idleSeconds));
    const CpuUse programUse = program.Use() - programBefore;
    const CpuUse floorUse = floor.Use() - floorBefore;
    const std::size_t sent = wire.Count();
    PrintRow({"Idle CPU, window open and untouched for " + std::to_string(options.idleSeconds) + " s, " + options.label,
              Describe(programUse) + ", " + std::to_string(sent) + " datagrams", Describe(floorUse) + " (floor)", "-",
              "0 ticks", Met(programUse.ticks == 0)});
    return true;
}

int Run(int argc, char* argv[])
{
    const std::optional<Options> parsed = Parse(argc, argv);
    if (!parsed) {
        std::fprintf(stderr, "usage: bench_startup_probe [--runs N] [--idle-seconds S] [--octet N] [--label TEXT] "
                             "PROGRAM FLOOR\n");
        return 2;
    }
    const Options& options = *parsed;
    // The program's config.ini points at this socket, so anything it sent would be counted.
    ArrivalRecorder wire(options.octet);
    XDisplay display;

    const ScratchFolder folder(options.octet);

    std::map<std::string, std::vector<Sample>> samples;
    bool complete = true;
    for (int run = 0; run < options.runs && complete; ++run) {
        const bool floorFirst = run % 2 == 0;
        for (const std::string* program :
             {floorFirst ? &options.floor : &options.program, floorFirst ? &options.program : &options.floor}) {
            const std::optional<Sample> sample = StartOnce(display, *program, folder);
            if (!sample) {
                std::fprintf(stderr, "bench_startup_probe: %s did not come up\n", program->c_str());
                complete = false;
                break;
            }
            samples[*program].push_back(*sample);
        }
    }
    if (!complete) {
        return 1;
    }
    if (wire.Count() > 0) {
        std::fprintf(stderr, "bench_startup_probe: %zu datagrams arrived during start-up\n", wire.Count());
    }
    const auto median = [&](const std::string& program, double Sample::*field) {
        std::vector<double> values;
        for (const Sample& sample : samples[program]) {
            values.push_back(sample.*field);
        }
        return Median(values);
    };
    const std::string runs = " (median of " + std::to_string(options.runs) + ")";
    CompareRow("Start-up to an idle window, " + options.label + runs, median(options.program, &Sample::startupMs),
               median(options.floor, &Sample::startupMs), "ms", 1);
    CompareRow("Peak resident memory (VmHWM), " + options.label + runs, median(options.program, &Sample::peakMib),
               median(options.floor, &Sample::peakMib), "MiB", 1);
    const int programLibraries = samples[options.program].back().libraries;
    const int floorLibraries = samples[options.floor].back().libraries;
    PrintRow({"Shared libraries loaded, plugins included, " + options.label, std::to_string(programLibraries),
              std::to_string(floorLibraries) + " (floor)",
              (programLibraries >= floorLibraries ? "+" : "") + std::to_string(programLibraries - floorLibraries), "-",
              "-"});
    if (options.idleSeconds > 0 && !MeasureIdle(display, options, folder, wire)) {
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    return RunReportingErrors("bench_startup_probe", Run, argc, argv);
}
