// The subscriber table: expiry, renewal and the console's limit of four.
#include "monitor/Subscribers.h"

#include "monitor/ConsoleModel.h"

#include <algorithm>

bool Subscribers::Subscribe(const Peer& peer, double seconds)
{
    std::erase_if(subscriptions_, [seconds](const Subscription& entry) { return entry.until <= seconds; });
    const double until = seconds + kSubscriptionSeconds;
    const auto known = std::find_if(subscriptions_.begin(), subscriptions_.end(),
                                    [&peer](const Subscription& entry) { return entry.peer == peer; });
    if (known != subscriptions_.end()) {
        known->until = until;
        return true;
    }
    if (subscriptions_.size() >= kMaxSubscribers) {
        return false;
    }
    subscriptions_.push_back({peer, until});
    return true;
}

std::vector<Peer> Subscribers::LiveExcept(const Peer& sender, double seconds) const
{
    std::vector<Peer> live;
    for (const Subscription& entry : subscriptions_) {
        if (entry.until > seconds && !(entry.peer == sender)) {
            live.push_back(entry.peer);
        }
    }
    return live;
}
