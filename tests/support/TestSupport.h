// What the tests share: loopback UDP sockets, child processes, files, /proc, a file size limit,
// and the tables kept under tests/data.
#pragma once

#include <QStringList>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using Bytes = std::vector<std::uint8_t>;
using Words = std::vector<std::string>;

// ---- Sockets

// A non-blocking UDP socket bound to an IPv4 address and port; throws std::runtime_error with the reason.
int BindUdp(const std::string& address, int port);

// A socket of the test on 127.0.0.N:port (0: any free port), where the program's messages arrive, or
// on another address of the test's own network namespace.
class UdpReceiver {
public:
    explicit UdpReceiver(int lastOctet, int port = 10023) : UdpReceiver("127.0.0." + std::to_string(lastOctet), port) {}
    UdpReceiver(const std::string& address, int port) : socket_(BindUdp(address, port)) {}
    ~UdpReceiver() { ::close(socket_); }
    UdpReceiver(const UdpReceiver&) = delete;
    UdpReceiver& operator=(const UdpReceiver&) = delete;

    // Every datagram that has arrived by now, oldest first, without waiting.
    std::vector<Bytes> TakeAll();
    // Waits until `count` datagrams have arrived in all, or none arrives for `deadline`, and takes them.
    std::vector<Bytes> WaitFor(std::size_t count, std::chrono::milliseconds deadline = std::chrono::seconds(20));
    // The next datagram within `deadline` (empty when none came), and the port it came from.
    Bytes TakeOne(int& fromPort, std::chrono::milliseconds deadline);
    // Sends one datagram from this socket to 127.0.0.N:port; true when all of it went.
    bool SendTo(int lastOctet, int port, const Bytes& datagram) const;

protected:
    int socket_; // the benchmarks' console socket reads it with recvmsg, for the kernel's arrival times
};

// What the console received, as the gesture table writes it: "address value; address value", each
// datagram's one ",f" message with its value to 7 digits; "?" for a datagram holding anything else.
QString SentText(const std::vector<Bytes>& datagrams);

// True only inside a network namespace with nothing but loopback: a UDP connect (which sends
// nothing) to 192.0.2.1 fails with ENETUNREACH. Tests that look names up or need an unreachable
// address skip elsewhere, so they never reach anything real.
bool OnlyLoopbackReachable();

// ---- Child processes

// A program started through sh (words without single quotes), its output and errors read line
// by line. Killed if still running at the end.
class ChildProcess {
public:
    explicit ChildProcess(const Words& command);
    ~ChildProcess();

    // The next line (after those already taken) that contains `text`; empty once the output ends.
    std::optional<std::string> WaitForLine(const std::string& text);
    // Reads the output to its end and reaps the program: its exit code, -1 when killed by a signal.
    int Finish();
    const Words& Lines() const { return lines_; }
    int pid = -1;

private:
    bool ReadLine();
    FILE* output_;
    Words lines_;
    std::size_t next_ = 0;
};

// quillon-monitor as built, with these options; through the emulator in a cross build.
Words MonitorCommand(const Words& options);

// ---- Files

bool WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);    // empty when it cannot be read
QByteArray WaitForFile(const QString& path); // its content once it has some, or empty after 20 s
// Every name in a folder, hidden ones included, sorted, so a stray temporary file shows.
QStringList Entries(const QString& folder);
QByteArray ToQByteArray(const Bytes& bytes);

// ---- /proc and resource limits

// How many sockets this process holds, from the links in /proc/self/fd.
int SocketCount();

// Writes beyond `bytes` fail with EFBIG for this process, root included, as on a full disk,
// until destruction. SIGXFSZ is ignored from then on.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &previous_); }

private:
    rlimit previous_{};
};

// ---- Tables under tests/data

// The lines of a data file, without empty lines and lines starting with "#"; with `split`, each
// split at runs of tabs into fields where "" is empty, \n and \t are a line feed and a tab, and
// \ before any other character stands for that character.
std::vector<Words> ReadTable(const std::string& name, bool split = true);
// Bytes written as hex digits ("3F800000"; spaces ignored) and "quoted text"; "~" adds a NUL and
// zero bytes up to a multiple of four counted from the start, as OSC pads its strings.
Bytes ParseBytes(const std::string& text);
