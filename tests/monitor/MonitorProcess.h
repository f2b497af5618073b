// quillon-monitor as a child process of a test, read line by line; started through the emulator
// in a cross build. Needs QUILLON_MONITOR_PATH and QUILLON_MONITOR_EMULATOR from the build.
#pragma once

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Datagram = std::vector<std::uint8_t>;
using Words = std::vector<std::string>;

constexpr int kPort = 10023; // the monitor's default port; each test has its own 127.0.0.N
constexpr auto kDeadline = 20s;

std::string Address(int lastOctet)
{
    return "127.0.0." + std::to_string(lastOctet);
}

// The monitor as built, through the emulator when the build is cross-compiled.
Words MonitorCommand(const Words& options)
{
    Words command;
    std::stringstream emulator(QUILLON_MONITOR_EMULATOR);
    for (std::string word; std::getline(emulator, word, '|');) {
        command.push_back(word);
    }
    command.push_back(QUILLON_MONITOR_PATH);
    command.insert(command.end(), options.begin(), options.end());
    return command;
}

// A started program whose standard output and error come through pipes. It uses fork and exec, as
// QProcess cannot start programs under qemu-user, which runs the tests of the 32-bit build.
class Child {
public:
    explicit Child(const Words& command)
    {
        std::vector<char*> argv;
        for (const std::string& word : command) {
            argv.push_back(const_cast<char*>(word.c_str()));
        }
        argv.push_back(nullptr);
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe2 failed");
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }

    ~Child()
    {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        ::close(err_);
    }

    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Appends what the program writes within `wait`; false once its output has ended.
    bool Read(std::chrono::milliseconds wait, std::string& output)
    {
        pollfd ready{out_, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(wait.count())) <= 0) {
            return true;
        }
        char buffer[4096];
        const ssize_t size = ::read(out_, buffer, sizeof buffer);
        if (size <= 0) {
            return false;
        }
        output.append(buffer, static_cast<std::size_t>(size));
        return true;
    }

    // Reads the output to its end (or the deadline), then reaps the program: its exit code, or -1
    // when it was killed by a signal or is still running.
    int Finish(std::string& output)
    {
        const auto end = std::chrono::steady_clock::now() + kDeadline;
        while (std::chrono::steady_clock::now() < end && Read(200ms, output)) {
        }
        int status = 0;
        if (::waitpid(pid_, &status, std::chrono::steady_clock::now() < end ? 0 : WNOHANG) != pid_) {
            return -1;
        }
        status_ = status;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void Signal(int signal) { ::kill(pid_, signal); }

    // What the program has written to standard error so far.
    std::string Errors()
    {
        std::string errors;
        char buffer[4096];
        for (pollfd ready{err_, POLLIN, 0}; ::poll(&ready, 1, 0) > 0;) {
            const ssize_t size = ::read(err_, buffer, sizeof buffer);
            if (size <= 0) {
                break;
            }
            errors.append(buffer, static_cast<std::size_t>(size));
        }
        return errors;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::optional<int> status_; // set once reaped
};

// quillon-monitor on 127.0.0.N:10023, read line by line as it prints.
class Monitor {
public:
    Monitor(int lastOctet, const Words& options) : child_(MonitorCommand(WithBind(lastOctet, options)))
    {
        // Text or JSON, the first line names the bound address once datagrams can be sent.
        listening_ = WaitForLine(Address(lastOctet) + ":10023").has_value();
    }

    bool Listening() const { return listening_; }

    // The next line (after those already taken) that contains `text`; empty after the deadline.
    std::optional<std::string> WaitForLine(const std::string& text)
    {
        const auto end = std::chrono::steady_clock::now() + kDeadline;
        for (bool open = true;;) {
            Split();
            for (; next_ < lines_.size(); ++next_) {
                if (lines_[next_].find(text) != std::string::npos) {
                    return lines_[next_++];
                }
            }
            if (!open || std::chrono::steady_clock::now() > end) {
                return std::nullopt;
            }
            open = child_.Read(200ms, partial_);
        }
    }

    // Waits for the monitor to end; true when it exited with status 0.
    bool ExitsWithZero()
    {
        const int code = child_.Finish(partial_);
        Split();
        return code == 0;
    }

    void Signal(int signal) { child_.Signal(signal); }

    // Every line received so far from `from` on.
    std::vector<std::string> Lines(std::size_t from = 0) const
    {
        return {lines_.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines_.size())), lines_.end()};
    }

    std::string Errors() { return child_.Errors(); }

private:
    static Words WithBind(int lastOctet, Words options)
    {
        options.insert(options.begin(), {"--bind", Address(lastOctet)});
        return options;
    }

    void Split()
    {
        for (std::size_t end; (end = partial_.find('\n')) != std::string::npos; partial_.erase(0, end + 1)) {
            lines_.push_back(partial_.substr(0, end));
        }
    }

    Child child_;
    std::string partial_;
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
    bool listening_ = false;
};

} // namespace
