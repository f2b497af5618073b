// /proc readings of a child process: schedstat for fine CPU time, status for memory and wake-ups,
// maps for the shared objects, stat for the CPU ticks the kernel accounts.
#include "ProcessWatch.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(1);
constexpr auto kExitGrace = std::chrono::seconds(5);

std::string ProcPath(pid_t pid, const std::string& rest)
{
    return "/proc/" + std::to_string(pid) + "/" + rest;
}

// The number after `key` in a "Key:   value" line of a status file; 0 when absent.
long StatusField(const std::string& path, const std::string& key)
{
    std::ifstream status(path);
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, key.size(), key) == 0) {
            return std::atol(line.c_str() + key.size());
        }
    }
    return 0;
}

std::vector<std::string> Tasks(pid_t pid)
{
    std::vector<std::string> tasks;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(ProcPath(pid, "task"), error)) {
        tasks.push_back(entry.path().string());
    }
    return tasks;
}

// A file name that is a shared object: "libX.so", "libX.so.6.4.2", "ld-linux.so.2".
bool IsSharedObject(const std::string& path)
{
    const std::string name = std::filesystem::path(path).filename().string();
    const std::size_t so = name.find(".so");
    return so != std::string::npos && (so + 3 == name.size() || name[so + 3] == '.');
}

} // namespace

ScratchFolder::ScratchFolder(int lastOctet)
{
    char pattern[] = "/tmp/quillon-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        throw std::runtime_error("no temporary folder");
    }
    path_ = pattern;
    std::ofstream(path_ + "/config.ini") << "127\r\n0\r\n0\r\n" << lastOctet << "\r\n";
}

ScratchFolder::~ScratchFolder()
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path_, error)) {
        if (entry.path().extension() == ".log") {
            std::ifstream log(entry.path());
            std::string line;
            while (std::getline(log, line)) {
                std::fprintf(stderr, "%s: %s\n", entry.path().filename().c_str(), line.c_str());
            }
        }
    }
    std::filesystem::remove_all(path_, error);
}

std::string Describe(const CpuUse& use)
{
    return std::to_string(use.ticks) + (use.ticks == 1 ? " tick (" : " ticks (") + Fixed(use.cpuMs, 2) + " ms CPU, " +
           std::to_string(use.wakeUps) + (use.wakeUps == 1 ? " wake-up)" : " wake-ups)");
}

WatchedProcess::WatchedProcess(const std::string& program, const std::string& folder, const std::string& log)
{
    started_ = BenchClock::now();
    pid_ = ::fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (out >= 0) {
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
        }
        if (::chdir(folder.c_str()) == 0) {
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        }
        ::_exit(127);
    }
}

WatchedProcess::~WatchedProcess()
{
    if (reaped_) {
        return;
    }
    ::kill(pid_, SIGTERM);
    const auto end = BenchClock::now() + kExitGrace;
    while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
        if (BenchClock::now() > end) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            return;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

std::optional<BenchClock::time_point> WatchedProcess::WaitUntilIdle(const std::function<bool()>& shown,
                                                                    std::chrono::milliseconds quiet,
                                                                    std::chrono::milliseconds deadline) const
{
    const auto end = started_ + deadline;
    std::uint64_t runtime = RuntimeNanoseconds();
    auto lastMoved = BenchClock::now();
    while (BenchClock::now() < end) {
        if (::waitpid(pid_, nullptr, WNOHANG) != 0) {
            reaped_ = true; // it ended by itself
            return std::nullopt;
        }
        const std::uint64_t now = RuntimeNanoseconds();
        if (now != runtime) {
            runtime = now;
            lastMoved = BenchClock::now();
        }
        // The window is looked for only once the program is quiet: each look costs the X server
        // a little, which would slow the start-up being measured.
        if (BenchClock::now() - lastMoved >= quiet && shown()) {
            return lastMoved;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return std::nullopt;
}

long WatchedProcess::PeakResidentKib() const
{
    return StatusField(ProcPath(pid_, "status"), "VmHWM:");
}

int WatchedProcess::SharedLibraries(std::vector<std::string>* paths) const
{
    std::ifstream maps(ProcPath(pid_, "maps"));
    std::set<std::string> objects;
    std::string line;
    while (std::getline(maps, line)) {
        // address perms offset dev inode path: the path starts at the first "/" after the inode.
        const std::size_t slash = line.find(" /");
        if (slash != std::string::npos && IsSharedObject(line.substr(slash + 1))) {
            objects.insert(line.substr(slash + 1));
        }
    }
    if (paths) {
        paths->assign(objects.begin(), objects.end());
    }
    return static_cast<int>(objects.size());
}

long WatchedProcess::CpuTicks() const
{
    std::ifstream stat(ProcPath(pid_, "stat"));
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The command name may hold spaces and brackets: the fields start after its last ")".
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long utime = 0;
    long stime = 0;
    for (int number = 3; fields >> field; ++number) {
        if (number == 14) {
            utime = std::atol(field.c_str());
        } else if (number == 15) {
            stime = std::atol(field.c_str());
            break;
        }
    }
    return utime + stime;
}

long WatchedProcess::ContextSwitches() const
{
    long switches = 0;
    for (const std::string& task : Tasks(pid_)) {
        switches += StatusField(task + "/status", "voluntary_ctxt_switches:");
        switches += StatusField(task + "/status", "nonvoluntary_ctxt_switches:");
    }
    return switches;
}

std::uint64_t WatchedProcess::RuntimeNanoseconds() const
{
    std::uint64_t runtime = 0;
    for (const std::string& task : Tasks(pid_)) {
        std::ifstream schedstat(task + "/schedstat");
        std::uint64_t onCpu = 0;
        if (schedstat >> onCpu) {
            runtime += onCpu;
        }
    }
    return runtime;
}

CpuUse WatchedProcess::Use() const
{
    return {CpuTicks(), ContextSwitches(), static_cast<double>(RuntimeNanoseconds()) / 1e6};
}
