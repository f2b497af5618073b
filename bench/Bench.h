// What the benchmarks share: one clock, the console's socket with the kernel's arrival times, /proc, table rows.
#pragma once

#include "monitor/Numbers.h"
#include "support/TestSupport.h"

#include <QEventLoop>
#include <QTimer>
#include <bit>
#include <chrono>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>

// The kernel stamps arrivals on CLOCK_REALTIME, which system_clock reads: all times are on it, so they subtract.
using Clock = std::chrono::system_clock;

inline double Milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// A socket in place of the console on 127.0.0.N:10023, N from 200 to 220 (the benchmarks' own, apart from the tests').
// The kernel notes when each datagram arrives (SO_TIMESTAMPNS), so nothing need wait for them while the program under
// test is busy: the times are read afterwards.
class Wire : public UdpReceiver {
public:
    explicit Wire(int octet) : UdpReceiver(octet)
    {
        const int on = 1;
        if (octet < 200 || octet > 220 || ::setsockopt(socket_, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) != 0) {
            throw std::runtime_error("no bench socket with arrival times on 127.0.0." + std::to_string(octet));
        }
    }

    // Arrival times of the datagrams not taken yet, oldest first, once `count` have come or none has for `deadline`.
    std::vector<Clock::time_point> Take(std::size_t count = 0, std::chrono::milliseconds deadline = {})
    {
        std::vector<Clock::time_point> arrivals;
        for (pollfd ready{socket_, POLLIN, 0};
             ::poll(&ready, 1, arrivals.size() < count ? static_cast<int>(deadline.count()) : 0) > 0;) {
            // No room for the data: the datagram goes all the same, with its time in the one control message.
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
            msghdr message{nullptr, 0, nullptr, 0, control, sizeof control, 0};
            if (timespec at{}; ::recvmsg(socket_, &message, MSG_TRUNC) >= 0) {
                std::memcpy(&at, CMSG_DATA(CMSG_FIRSTHDR(&message)), sizeof at);
                arrivals.emplace_back(std::chrono::seconds(at.tv_sec) + std::chrono::nanoseconds(at.tv_nsec));
            }
        }
        return arrivals;
    }
};

// Runs the event loop for `duration`, asleep in it whenever nothing comes.
inline void RunFor(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// The number after `key` starting a line of a /proc file ("VmHWM:"), or with no key its first number; 0 if none.
inline long ProcNumber(const std::string& path, const std::string& key = "")
{
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        if (line.starts_with(key)) {
            return std::stol(line.substr(key.size()));
        }
    }
    return 0;
}

// A set of channel 05's fader to `hundredths`, as a client or the console sends it.
inline Bytes FaderChange(int hundredths)
{
    Bytes change = ParseBytes(R"("/ch/05/mix/fader"~ ",f"~)");
    const auto bits = std::bit_cast<std::uint32_t>(static_cast<float>(hundredths) / 100.0f);
    for (int shift = 24; shift >= 0; shift -= 8) {
        change.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
    return change;
}

// One row of the results table: what, Quillon, reference, Quillon against it, target, met.
inline void PrintRow(std::initializer_list<std::string> cells)
{
    for (const std::string& cell : cells) {
        std::printf("| %s ", cell.c_str());
    }
    std::printf("|\n");
    std::fflush(stdout);
}

inline std::string Met(bool met)
{
    return met ? "yes" : "**no**";
}
