// A program started and watched from outside through /proc: when it went quiet, its peak
// resident memory, the shared libraries it mapped, and the CPU time and wake-ups it used.
#pragma once

#include "BenchStats.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// A fresh folder under /tmp holding a config.ini for 127.0.0.N, for the programs to start in.
// When it goes, what the programs printed there goes to stderr (the bench's log), then the folder.
class ScratchFolder {
public:
    explicit ScratchFolder(int lastOctet); // throws std::runtime_error when no folder can be made
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string LogFor(const std::string& name) const { return path_ + "/" + name + ".log"; }

private:
    std::string path_;
};

// CPU use of a process as the kernel accounts it, or the difference of two such readings.
struct CpuUse {
    long ticks = 0;   // utime + stime, in clock ticks
    long wakeUps = 0; // context switches: each time a thread ran again
    double cpuMs = 0; // CPU time from the scheduler's own count, finer than ticks

    CpuUse operator-(const CpuUse& earlier) const
    {
        return {ticks - earlier.ticks, wakeUps - earlier.wakeUps, cpuMs - earlier.cpuMs};
    }
};

// "0 ticks (0.00 ms CPU, 0 wake-ups)"
std::string Describe(const CpuUse& use);

class WatchedProcess {
public:
    // Starts `program` without arguments in `folder`, its output going to `log`. The start time
    // is taken just before the fork.
    WatchedProcess(const std::string& program, const std::string& folder, const std::string& log);
    // Ends the program (SIGTERM, then SIGKILL if it lingers) and reaps it.
    ~WatchedProcess();
    WatchedProcess(const WatchedProcess&) = delete;
    WatchedProcess& operator=(const WatchedProcess&) = delete;

    pid_t Pid() const { return pid_; }
    BenchClock::time_point Started() const { return started_; }

    // Waits until the CPU time of all the program's threads has not moved for `quiet` and then
    // `shown` says yes; returns when it last moved. Nothing at the deadline or if it ended.
    std::optional<BenchClock::time_point> WaitUntilIdle(const std::function<bool()>& shown,
                                                        std::chrono::milliseconds quiet,
                                                        std::chrono::milliseconds deadline) const;

    long PeakResidentKib() const; // VmHWM
    // Distinct shared objects mapped, the program's plugins included; their paths in `paths`.
    int SharedLibraries(std::vector<std::string>* paths = nullptr) const;
    long CpuTicks() const;                    // utime + stime of all threads, in clock ticks
    long ContextSwitches() const;             // voluntary and involuntary, of the threads alive now
    std::uint64_t RuntimeNanoseconds() const; // CPU time of the threads alive now
    CpuUse Use() const;

private:
    pid_t pid_ = -1;
    mutable bool reaped_ = false; // once reaped, the id may belong to someone else: never signalled
    BenchClock::time_point started_;
};
