// The console's subscribers: whoever sent "/xremote" in the last 10 seconds, four at most.
#pragma once

#include <cstdint>
#include <vector>

// Where a datagram comes from or goes: an IPv4 address and a UDP port, in host byte order.
struct Peer {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    bool operator==(const Peer&) const = default;
};

class Subscribers {
public:
    // Subscribes `peer` at `seconds` (since start) for the next 10 seconds, or renews its
    // subscription. While four others are subscribed, a fifth is ignored: false.
    bool Subscribe(const Peer& peer, double seconds);

    // The peers subscribed at `seconds` but `sender` (address and port both), in the order they
    // subscribed.
    std::vector<Peer> LiveExcept(const Peer& sender, double seconds) const;

private:
    struct Subscription {
        Peer peer;
        double until; // expired from this time on
    };
    std::vector<Subscription> subscriptions_;
};
