// A socket in place of the console that notes when each datagram arrives. It receives on a
// thread of its own: the program's thread is blocked in its pauses and could not note them.
#pragma once

#include "BenchStats.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

// The benchmarks' own loopback addresses, 127.0.0.200 to 127.0.0.220: apart from the tests'.
inline constexpr int kFirstBenchOctet = 200;
inline constexpr int kLastBenchOctet = 220;

class ArrivalRecorder {
public:
    // Binds 127.0.0.N:port, N within the benchmarks' range; throws std::runtime_error otherwise.
    explicit ArrivalRecorder(int lastOctet, int port = 10023);
    ~ArrivalRecorder();
    ArrivalRecorder(const ArrivalRecorder&) = delete;
    ArrivalRecorder& operator=(const ArrivalRecorder&) = delete;

    // Arrival times since the last Clear, oldest first.
    std::vector<BenchClock::time_point> Arrivals() const;
    std::size_t Count() const;
    // True once `count` datagrams have arrived since the last Clear; false at the deadline.
    bool WaitForCount(std::size_t count, std::chrono::milliseconds deadline) const;
    void Clear();

private:
    void Receive();

    int socket_ = -1;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<BenchClock::time_point> arrivals_;
    std::thread thread_;
};
