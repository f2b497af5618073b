// The monitor's outgoing datagrams: who gets what the console says, and when.
#include "monitor/Outbox.h"

#include <utility>

void Outbox::Post(const MonitorLog& log, const Peer& sender, double seconds)
{
    if (log.Subscribes()) {
        subscribers_.Subscribe(sender, seconds);
    }
    if (silent_) {
        return;
    }
    const double due = seconds + delaySeconds_;
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

std::vector<Letter> Outbox::TakeDue(double seconds)
{
    std::vector<Letter> due;
    while (!letters_.empty() && letters_.front().due <= seconds) {
        due.push_back(std::move(letters_.front()));
        letters_.pop_front();
    }
    return due;
}

std::optional<double> Outbox::NextDue() const
{
    return letters_.empty() ? std::nullopt : std::optional(letters_.front().due);
}

void Outbox::SetSilent(bool silent)
{
    silent_ = silent;
    if (silent) {
        letters_.clear();
    }
}
