// What the monitor sends and when, without a socket: answers back to whoever asked, changes to
// the console's other subscribers, each --delay after the datagram that called for it, in order;
// meter frames to whoever asked for them, on their own schedule; nothing at all while the console
// is silent.
#pragma once

#include "monitor/Meters.h"
#include "monitor/MonitorLog.h"
#include "monitor/Subscribers.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

// One datagram to send, and when (seconds since start).
struct Letter {
    Peer to;
    std::vector<std::uint8_t> bytes;
    double due;
};

class Outbox {
public:
    explicit Outbox(double delaySeconds) : delaySeconds_(delaySeconds) {}

    // Takes what the log made of one datagram from `sender`, received at `seconds`: its
    // subscription or meter request, its answers to the sender and its changes to every other
    // live subscriber.
    void Post(const MonitorLog& log, const Peer& sender, double seconds);

    // Removes and returns the datagrams due by `seconds`, answers and changes oldest first, then
    // the meter frames due, which the log makes and counts.
    std::vector<Letter> TakeDue(double seconds, MonitorLog& log);

    // When the next datagram is due, meter frames included; empty when none waits.
    std::optional<double> NextDue() const;

    // Whether answers or changes still wait to be sent.
    bool HoldsLetters() const { return !letters_.empty(); }

    // A silent console, as one whose link back is broken, still keeps its subscribers but sends
    // nothing: what waits is dropped, and nothing more is posted until it answers again. Meter
    // streams run out their time meanwhile, without frames.
    void SetSilent(bool silent);

private:
    double delaySeconds_;
    bool silent_ = false;
    Subscribers subscribers_;
    MeterStreams meters_;
    std::deque<Letter> letters_; // due times in order, as each waits the same delay
};
