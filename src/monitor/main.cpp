// quillon-monitor: stands in for the console on UDP, prints every message that arrives with what
// the console would make of it, and a summary at the end; with --answer it answers queries and
// sends its subscribers the changes, as the console does.
#include "monitor/MonitorLog.h"
#include "monitor/Outbox.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr char kUsage[] =
    "Usage: quillon-monitor [--bind ADDRESS] [--port N] [--json] [--answer] [--delay MS] [--count N]\n"
    "                       [--timeout SECONDS] [--help] [--version]\n"
    "Stands in for an X32 Compact console: receives OSC 1.0 over UDP on ADDRESS:N (default\n"
    "127.0.0.1:10023; port 0 picks a free one), prints one line per message with the time since start,\n"
    "the gap since the previous message and what the console makes of it, and one line per malformed\n"
    "datagram. Stops on SIGINT or SIGTERM, after the datagram that brings the message count to N\n"
    "(--count), or after SECONDS (--timeout), then prints a summary and the state the console would hold.\n"
    "  --json    the same as JSON Lines, one object per line\n"
    "  --answer  answer each query (a message without arguments) with the value the console holds,\n"
    "            and \"/xinfo\" and \"/status\" as the console does; send each value a set changes\n"
    "            to whoever else sent \"/xremote\" in the last 10 seconds (4 at most); send meter\n"
    "            frames of bank \"/meters/5\" to whoever asked for them in the last 10 seconds (4 at\n"
    "            most), counted in the summary. Bound to 0.0.0.0, it answers \"/xinfo\" broadcasts.\n"
    "  --delay   send each answer and change MS milliseconds (0 to 10000, default 0) after the\n"
    "            datagram that called for it\n"
    "SIGUSR1 makes the monitor fall silent, as a console whose link back is broken: it still\n"
    "receives, prints and keeps what is set, but sends nothing. SIGUSR2 makes it answer again.\n";

struct Options {
    std::string bind = "127.0.0.1";
    int port = 10023;
    bool json = false;
    bool answer = false;
    int delayMs = 0;
    std::size_t count = 0;     // 0: no limit
    double timeoutSeconds = 0; // 0: no limit
};

// Whole-text number parsing; from_chars ignores the locale.
template <typename Number> bool ParseNumber(std::string_view text, Number& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

constexpr std::string_view kValueOptions[] = {"--bind", "--port", "--delay", "--count", "--timeout"};

// Reads the value of --bind, --port, --delay, --count or --timeout; false when it does not fit.
bool ParseValue(std::string_view option, const char* text, Options& options)
{
    const std::string_view value = text;
    if (option == "--bind") {
        in_addr address{};
        options.bind = value;
        return ::inet_pton(AF_INET, text, &address) == 1;
    }
    if (option == "--port") {
        return ParseNumber(value, options.port) && options.port >= 0 && options.port <= 65535;
    }
    if (option == "--delay") {
        return ParseNumber(value, options.delayMs) && options.delayMs >= 0 && options.delayMs <= 10000;
    }
    if (option == "--count") {
        return ParseNumber(value, options.count) && options.count > 0;
    }
    return ParseNumber(value, options.timeoutSeconds) && options.timeoutSeconds > 0 && options.timeoutSeconds < 1e9;
}

// Returns an error text, or empty when the arguments are fine; --help and --version set `exitNow`.
std::string ParseOptions(int argc, char** argv, Options& options, bool& exitNow)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help" || option == "--version") {
            std::fputs(option == "--help" ? kUsage : "quillon-monitor " QUILLON_VERSION "\n", stdout);
            exitNow = true;
            return {};
        }
        if (option == "--json" || option == "--answer") {
            (option == "--json" ? options.json : options.answer) = true;
            continue;
        }
        if (std::find(std::begin(kValueOptions), std::end(kValueOptions), option) == std::end(kValueOptions)) {
            return "unknown option " + std::string(option);
        }
        if (i + 1 == argc) {
            return std::string(option) + " needs a value";
        }
        if (!ParseValue(option, argv[++i], options)) {
            return "bad value for " + std::string(option) + ": " + argv[i];
        }
    }
    return {};
}

// Lines go out one at a time, flushed, so a script reading the pipe sees each as it happens.
void Emit(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
}

// Written by the signal handler, read by the poll loop: the only async-signal-safe way to wake it.
// One byte per signal says which.
int signalPipe[2] = {-1, -1};
constexpr char kStopByte = 's';
constexpr char kSilentByte = 'q'; // SIGUSR1
constexpr char kAnswerByte = 'a'; // SIGUSR2

extern "C" void OnSignal(int signal)
{
    const int savedErrno = errno;
    const char byte = signal == SIGUSR1 ? kSilentByte : signal == SIGUSR2 ? kAnswerByte : kStopByte;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

int Fail(const std::string& what)
{
    std::fprintf(stderr, "quillon-monitor: %s: %s\n", what.c_str(), std::strerror(errno));
    return 1;
}

// Hands SIGINT, SIGTERM (stop), SIGUSR1 and SIGUSR2 (silent, answering) to the poll loop through a
// pipe; false when no pipe can be made.
bool CatchSignals()
{
    if (::pipe2(signalPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) {
        ::sigaction(signal, &action, nullptr);
    }
    return true;
}

// Acts on what the signal handler wrote: true for a stop signal; SIGUSR1 and SIGUSR2 make the
// monitor fall silent and answer again, each with its line.
bool TakeSignals(const MonitorLog& log, Outbox& outbox)
{
    char bytes[16];
    const ssize_t count = ::read(signalPipe[0], bytes, sizeof bytes);
    for (ssize_t i = 0; i < count; ++i) {
        if (bytes[i] == kStopByte) {
            return true;
        }
        outbox.SetSilent(bytes[i] == kSilentByte);
        Emit({log.SilenceLine(bytes[i] == kSilentByte)});
    }
    return false;
}

// A UDP socket bound to the options' address and port; -1 with errno set when that fails. Says
// where it listens once it is bound, so whoever started the monitor knows when to send.
int Listen(const Options& options)
{
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(options.port));
    ::inet_pton(AF_INET, options.bind.c_str(), &local.sin_addr);
    if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        return -1;
    }
    socklen_t localSize = sizeof local;
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &localSize);
    const std::string bound = options.bind + ":" + std::to_string(ntohs(local.sin_port));
    Emit({options.json ? "{\"listening\":" + JsonString(bound) + "}" : "listening on " + bound});
    return socket;
}

// How long poll may wait before the --timeout deadline: -1 without one, 0 once it has passed.
int WaitMilliseconds(const Options& options, std::chrono::steady_clock::time_point deadline)
{
    if (options.timeoutSeconds <= 0) {
        return -1;
    }
    const auto left = std::chrono::duration<double, std::milli>(deadline - std::chrono::steady_clock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(std::min(left.count() + 1.0, 60000.0));
}

// How long poll may wait for the next datagram to send: -1 when none waits.
int DueMilliseconds(const Outbox& outbox, double seconds)
{
    const std::optional<double> due = outbox.NextDue();
    return due ? static_cast<int>(std::ceil(std::max(0.0, *due - seconds) * 1000.0)) : -1;
}

// The shorter of two poll waits, where -1 is none.
int Sooner(int first, int second)
{
    return first < 0 ? second : second < 0 ? first : std::min(first, second);
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Prints what one datagram holds and, with --answer, posts what the console sends for it.
void ReceiveOne(int socket, const Options& options, MonitorLog& log, Outbox& outbox,
                std::chrono::steady_clock::time_point start)
{
    static std::uint8_t datagram[65536]; // larger than any UDP payload
    sockaddr_in sender{};
    socklen_t senderSize = sizeof sender;
    const ssize_t size =
        ::recvfrom(socket, datagram, sizeof datagram, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&sender), &senderSize);
    if (size < 0) {
        return;
    }
    const double seconds = SecondsSince(start);
    Emit(log.Receive({datagram, static_cast<std::size_t>(size)}, seconds));
    if (options.answer) {
        outbox.Post(log, {ntohl(sender.sin_addr.s_addr), ntohs(sender.sin_port)}, seconds);
    }
}

// Sends what is due from the monitor's port, as the console answers from its own. A lost datagram
// is the receiver's to notice.
void SendDue(int socket, Outbox& outbox, MonitorLog& log, double seconds)
{
    for (const Letter& letter : outbox.TakeDue(seconds, log)) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(letter.to.port);
        to.sin_addr.s_addr = htonl(letter.to.address);
        ::sendto(socket, letter.bytes.data(), letter.bytes.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&to),
                 sizeof to);
    }
}

// Receives until a stop signal, the --count-th message or the --timeout deadline; after the
// --count-th, sends the answers and changes that still wait first. Sleeps in poll until a datagram
// or a signal comes or something is due to be sent.
int Serve(int socket, const Options& options, MonitorLog& log)
{
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                      std::chrono::duration<double>(options.timeoutSeconds));
    Outbox outbox(options.delayMs / 1000.0);
    for (;;) {
        const bool counted = options.count != 0 && log.MessageCount() >= options.count;
        const int waitMs = WaitMilliseconds(options, deadline);
        if (waitMs == 0 || (counted && !outbox.HoldsLetters())) {
            break;
        }
        // poll skips a negative descriptor: once counted, nothing more is received.
        pollfd ready[2] = {{counted ? -1 : socket, POLLIN, 0}, {signalPipe[0], POLLIN, 0}};
        if (::poll(ready, 2, Sooner(waitMs, DueMilliseconds(outbox, SecondsSince(start)))) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Fail("poll");
        }
        if (ready[1].revents != 0 && TakeSignals(log, outbox)) {
            break;
        }
        if (ready[0].revents != 0) {
            ReceiveOne(socket, options, log, outbox, start);
        }
        SendDue(socket, outbox, log, SecondsSince(start));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    bool exitNow = false;
    if (const std::string error = ParseOptions(argc, argv, options, exitNow); !error.empty()) {
        std::fprintf(stderr, "quillon-monitor: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (exitNow) {
        return 0;
    }
    if (!CatchSignals()) {
        return Fail("pipe");
    }
    const int socket = Listen(options);
    if (socket < 0) {
        return Fail("cannot bind " + options.bind + ":" + std::to_string(options.port));
    }
    MonitorLog log(options.json ? OutputFormat::Json : OutputFormat::Text, options.bind);
    const int status = Serve(socket, options, log);
    Emit(log.Summary());
    ::close(socket);
    return status;
}
