// The UDP link to the console, the datagrams that come back on it, the broadcast question of
// --find, and the 32-bit address packing.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

// Owns its socket: closed when the connection goes.
struct Connection {
    Connection(std::uint32_t peerAddress, std::uint16_t peerPort, int datagramSocket);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    std::uint32_t address; // peer IPv4 address, network byte order
    std::uint16_t port;    // host byte order, converted at each send
    int socket;
    std::unique_ptr<QSocketNotifier> watch; // set by WatchDatagrams; null while nothing watches
};

// Nothing to start on POSIX; kept so start-up and reset read as they behave. Always true.
bool StartNetwork();

// A non-blocking UDP socket, neither bound nor connected, with the peer as the fixed
// destination. `host` is a dotted IPv4 address or else a name to resolve. Null when the text is
// empty, is 255.255.255.255, does not resolve, or no socket could be made. Sends nothing.
std::unique_ptr<Connection> OpenConnection(const QString& host, int port);

// One datagram of `length` bytes; -1 when `connection` is null or the send is refused at once.
long SendDatagram(Connection* connection, const std::uint8_t* block, std::ptrdiff_t length);

// A socket like OpenConnection's that may also send to broadcast addresses (SO_BROADCAST), for
// asking who is on the networks; its fixed destination is 255.255.255.255:port. Null when no
// socket could be made.
std::unique_ptr<Connection> OpenBroadcastConnection(int port);

// One datagram to `address` (network byte order) at the connection's port: empty text when it
// went, otherwise why not.
QString SendDatagramTo(Connection* connection, std::uint32_t address, const std::uint8_t* block, std::ptrdiff_t length);

// Each up IPv4 interface's own broadcast address, computed from its address and netmask, in
// network byte order and without repeats; interfaces that cannot broadcast (loopback,
// point-to-point links) have none.
std::vector<std::uint32_t> BroadcastAddresses();

// Waits up to `milliseconds` for one datagram on the link's socket (bound by its first send) and
// copies at most `capacity` bytes of it; its length, or -1 when none came or `connection` is
// null. `fromAddress` (network byte order) and `fromPort` (host byte order) say who sent it.
long ReceiveDatagram(Connection* connection, std::uint8_t* buffer, std::size_t capacity, int milliseconds,
                     std::uint32_t& fromAddress, std::uint16_t& fromPort);

// From now on `onReadable` runs from the event loop whenever a datagram waits on the link's socket;
// an empty function stops it. Nothing is read here: `onReadable` reads with ReceiveDatagram.
void WatchDatagrams(Connection* connection, std::function<void()> onReadable);

// Holds a watch back (false) or lets it run again (true), for example while the reader is busy.
void EnableWatch(Connection* connection, bool enabled);

// first + second*256 + third*65536 + fourth*16777216 in 32-bit two's complement, sign-extended.
std::int64_t PackIPv4(std::int64_t first, std::int64_t second, std::int64_t third, std::int64_t fourth);

// The four bytes of a packed address, low byte first, in decimal without leading zeros,
// joined by ".": what the user reads as the console's address.
QString DottedIPv4(std::uint32_t address);

// The same for an address in network byte order, as ReceiveDatagram and BroadcastAddresses give it.
QString DottedNetworkIPv4(std::uint32_t address);
