// The pause after each message, on the monotonic clock against an absolute deadline.
#include "host/Timing.h"

#include <cerrno>
#include <ctime>

void Pause(int milliseconds)
{
    // Linux sleeps on high-resolution timers already, so no timer resolution needs raising.
    if (milliseconds <= 0) {
        return;
    }
    timespec deadline{};
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1'000'000L;
    if (deadline.tv_nsec >= 1'000'000'000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1'000'000'000L;
    }
    // An absolute deadline lets a signal-interrupted sleep resume without drift or shortening.
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}
