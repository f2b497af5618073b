// What the tests share: a UDP socket on 127.0.0.N:10023 that receives what the program sends,
// and temporary folders.
#pragma once

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A non-blocking UDP socket bound to 127.0.0.N:port; throws std::runtime_error with the reason.
int BindLoopbackUdp(int lastOctet, int port);

// A socket of the test bound to 127.0.0.N:port, where the program's messages arrive.
class UdpReceiver {
public:
    explicit UdpReceiver(int lastOctet, int port = 10023);
    ~UdpReceiver();
    UdpReceiver(const UdpReceiver&) = delete;
    UdpReceiver& operator=(const UdpReceiver&) = delete;

    QString Address() const; // "127.0.0.N"

    // Every datagram that has arrived by now, oldest first, without waiting.
    std::vector<Bytes> TakeAll();
    // Waits until `count` datagrams have arrived in all (or the deadline passes) and takes them.
    std::vector<Bytes> WaitFor(std::size_t count, std::chrono::milliseconds deadline = std::chrono::seconds(20));

private:
    int socket_ = -1;
    int lastOctet_;
};

// An OSC message with one float argument as the test reads it back.
struct FloatMessage {
    std::string address;
    float value;
    bool operator==(const FloatMessage&) const = default;
};

// Decodes a datagram that holds one ",f" message; address empty when it is anything else.
FloatMessage DecodeFloatMessage(const Bytes& datagram);
std::vector<FloatMessage> DecodeFloatMessages(const std::vector<Bytes>& datagrams);

// Bytes of a text, for comparing with datagrams and files.
Bytes ToBytes(const QByteArray& data);

// True only inside a network namespace with nothing but loopback: a UDP connect (which sends
// nothing) to 192.0.2.1 fails with ENETUNREACH. Tests of an unreachable mixer skip otherwise,
// so they can never send anywhere real.
bool OnlyLoopbackReachable();
