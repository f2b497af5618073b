// The link to the console over BSD sockets: a non-blocking UDP socket that sends, and reads only with
// --read-console or --follow, and then only what the console sends back to it; --find's socket
// that asks every network.
#include "host/Network.h"

#include <QSocketNotifier>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A dotted quad as is, otherwise the first IPv4 address the resolver gives; network byte order.
std::optional<std::uint32_t> ResolveIPv4(const QByteArray& host)
{
    in_addr parsed{};
    if (::inet_pton(AF_INET, host.constData(), &parsed) == 1) {
        return parsed.s_addr;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.constData(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    const std::uint32_t first = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return first;
}

sockaddr_in PeerOf(const Connection& connection)
{
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(connection.port);
    peer.sin_addr.s_addr = connection.address;
    return peer;
}

bool SetNonBlocking(int socket)
{
    const int flags = ::fcntl(socket, F_GETFL);
    return flags >= 0 && ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

} // namespace

Connection::Connection(std::uint32_t peerAddress, std::uint16_t peerPort, int datagramSocket)
    : address(peerAddress), port(peerPort), socket(datagramSocket)
{
}

Connection::~Connection()
{
    watch.reset(); // before its socket closes
    ::close(socket);
}

bool StartNetwork()
{
    return true;
}

std::unique_ptr<Connection> OpenConnection(const QString& host, int port)
{
    // The broadcast address is never a console, and sending there would reach every host.
    if (host.isEmpty() || host == QStringLiteral("255.255.255.255")) {
        return nullptr;
    }
    const std::optional<std::uint32_t> address = ResolveIPv4(host.toLatin1());
    if (!address) {
        return nullptr;
    }
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        return nullptr;
    }
    auto connection = std::make_unique<Connection>(*address, static_cast<std::uint16_t>(port), socket);
    // Unbound and unconnected: the first send picks the local port; nothing can arrive before it.
    if (!SetNonBlocking(socket)) {
        return nullptr;
    }
    return connection;
}

long SendDatagram(Connection* connection, const std::uint8_t* block, std::ptrdiff_t length)
{
    if (connection == nullptr || block == nullptr || length < 0) {
        return -1;
    }
    const sockaddr_in peer = PeerOf(*connection);
    return static_cast<long>(::sendto(connection->socket, block, static_cast<std::size_t>(length), 0,
                                      reinterpret_cast<const sockaddr*>(&peer), sizeof peer));
}

std::unique_ptr<Connection> OpenBroadcastConnection(int port)
{
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket < 0) {
        return nullptr;
    }
    auto connection = std::make_unique<Connection>(INADDR_BROADCAST, static_cast<std::uint16_t>(port), socket);
    const int on = 1;
    if (::setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        return nullptr;
    }
    return connection;
}

QString SendDatagramTo(Connection* connection, std::uint32_t address, const std::uint8_t* block, std::ptrdiff_t length)
{
    if (connection == nullptr || block == nullptr || length < 0) {
        return QStringLiteral("no socket");
    }
    sockaddr_in peer = PeerOf(*connection);
    peer.sin_addr.s_addr = address;
    if (::sendto(connection->socket, block, static_cast<std::size_t>(length), 0,
                 reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == length) {
        return {};
    }
    return QString::fromLocal8Bit(std::strerror(errno));
}

std::vector<std::uint32_t> BroadcastAddresses()
{
    std::vector<std::uint32_t> found;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return found;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        const unsigned wanted = IFF_UP | IFF_BROADCAST;
        if (entry->ifa_addr == nullptr || entry->ifa_netmask == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & wanted) != wanted) {
            continue;
        }
        // The host part all ones; the bitwise rule holds in network byte order as well.
        const std::uint32_t broadcast = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr |
                                        ~reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr;
        if (std::find(found.begin(), found.end(), broadcast) == found.end()) {
            found.push_back(broadcast);
        }
    }
    ::freeifaddrs(list);
    return found;
}

long ReceiveDatagram(Connection* connection, std::uint8_t* buffer, std::size_t capacity, int milliseconds,
                     std::uint32_t& fromAddress, std::uint16_t& fromPort)
{
    if (connection == nullptr) {
        return -1;
    }
    pollfd ready{connection->socket, POLLIN, 0};
    if (::poll(&ready, 1, milliseconds) != 1) {
        return -1;
    }
    sockaddr_in from{};
    socklen_t size = sizeof from;
    const ssize_t length =
        ::recvfrom(connection->socket, buffer, capacity, 0, reinterpret_cast<sockaddr*>(&from), &size);
    fromAddress = from.sin_addr.s_addr;
    fromPort = ntohs(from.sin_port);
    return static_cast<long>(length);
}

void WatchDatagrams(Connection* connection, std::function<void()> onReadable)
{
    if (connection == nullptr) {
        return;
    }
    connection->watch.reset();
    if (onReadable) {
        connection->watch = std::make_unique<QSocketNotifier>(connection->socket, QSocketNotifier::Read);
        QObject::connect(connection->watch.get(), &QSocketNotifier::activated, connection->watch.get(),
                         std::move(onReadable));
    }
}

void EnableWatch(Connection* connection, bool enabled)
{
    if (connection != nullptr && connection->watch) {
        connection->watch->setEnabled(enabled);
    }
}

std::int64_t PackIPv4(std::int64_t first, std::int64_t second, std::int64_t third, std::int64_t fourth)
{
    // Octets above 255 carry into the next one and the sum wraps modulo 2^32; unsigned arithmetic
    // keeps that defined, and the result reads back as a signed 32-bit number.
    const std::uint32_t packed = static_cast<std::uint32_t>(first) + (static_cast<std::uint32_t>(second) << 8) +
                                 (static_cast<std::uint32_t>(third) << 16) + (static_cast<std::uint32_t>(fourth) << 24);
    return static_cast<std::int32_t>(packed);
}

QString DottedIPv4(std::uint32_t address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 24) & 0xFF);
}

QString DottedNetworkIPv4(std::uint32_t address)
{
    char text[INET_ADDRSTRLEN] = {};
    const in_addr parsed{address};
    ::inet_ntop(AF_INET, &parsed, text, sizeof text);
    return QString::fromLatin1(text);
}
