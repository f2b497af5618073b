// The monitor's outgoing datagrams: who gets what the console says, and when.
#include "monitor/Outbox.h"

#include <algorithm>
#include <utility>

void Outbox::Post(const MonitorLog& log, const Peer& sender, double seconds)
{
    const double due = seconds + delaySeconds_;
    if (log.Subscribes()) {
        subscribers_.Subscribe(sender, seconds);
    }
    if (log.MetersEvery()) {
        meters_.Request(sender, due, *log.MetersEvery());
    }
    if (silent_) {
        return;
    }
    for (const std::vector<std::uint8_t>& answer : log.Answers()) {
        letters_.push_back({sender, answer, due});
    }
    // Never back to the sender, which knows what it set.
    const std::vector<Peer> others = subscribers_.LiveExcept(sender, seconds);
    for (const std::vector<std::uint8_t>& change : log.Changes()) {
        for (const Peer& peer : others) {
            letters_.push_back({peer, change, due});
        }
    }
}

std::vector<Letter> Outbox::TakeDue(double seconds, MonitorLog& log)
{
    std::vector<Letter> due;
    while (!letters_.empty() && letters_.front().due <= seconds) {
        due.push_back(std::move(letters_.front()));
        letters_.pop_front();
    }
    for (const Peer& peer : meters_.TakeDue(seconds)) {
        if (!silent_) {
            due.push_back({peer, log.MeterFrame(seconds), seconds});
        }
    }
    return due;
}

std::optional<double> Outbox::NextDue() const
{
    const std::optional<double> frame = meters_.NextDue();
    if (letters_.empty()) {
        return frame;
    }
    return std::min(letters_.front().due, frame.value_or(letters_.front().due));
}

void Outbox::SetSilent(bool silent)
{
    silent_ = silent;
    if (silent) {
        letters_.clear();
    }
}
