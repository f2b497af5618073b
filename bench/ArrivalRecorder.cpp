// The receiving thread: blocks in poll, stamps each datagram the moment recv hands it over.
#include "ArrivalRecorder.h"

#include "support/TestSupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The thread wakes this often only to see whether it is to stop; arrivals wake it at once.
constexpr int kStopCheckMilliseconds = 100;
// No benchmark runs this long; the thread ends by itself rather than outlive a stuck run.
constexpr auto kLongestLife = std::chrono::minutes(15);

} // namespace

ArrivalRecorder::ArrivalRecorder(int lastOctet, int port)
{
    if (lastOctet < kFirstBenchOctet || lastOctet > kLastBenchOctet) {
        throw std::runtime_error("bench sockets use 127.0.0.200 to 127.0.0.220, not ." + std::to_string(lastOctet));
    }
    socket_ = BindLoopbackUdp(lastOctet, port);
    thread_ = std::thread([this] { Receive(); });
}

ArrivalRecorder::~ArrivalRecorder()
{
    stop_ = true;
    thread_.join();
    ::close(socket_);
}

std::vector<BenchClock::time_point> ArrivalRecorder::Arrivals() const
{
    const std::lock_guard lock(mutex_);
    return arrivals_;
}

std::size_t ArrivalRecorder::Count() const
{
    const std::lock_guard lock(mutex_);
    return arrivals_.size();
}

bool ArrivalRecorder::WaitForCount(std::size_t count, std::chrono::milliseconds deadline) const
{
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, deadline, [&] { return arrivals_.size() >= count; });
}

void ArrivalRecorder::Clear()
{
    const std::lock_guard lock(mutex_);
    arrivals_.clear();
}

void ArrivalRecorder::Receive()
{
    const auto end = BenchClock::now() + kLongestLife;
    while (!stop_ && BenchClock::now() < end) {
        pollfd ready{socket_, POLLIN, 0};
        if (::poll(&ready, 1, kStopCheckMilliseconds) <= 0) {
            continue;
        }
        std::uint8_t buffer[2048];
        while (::recv(socket_, buffer, sizeof buffer, 0) >= 0) {
            const auto now = BenchClock::now();
            const std::lock_guard lock(mutex_);
            arrivals_.push_back(now);
            arrived_.notify_all();
        }
    }
}
