// What the tests share: the receiving socket and a small decoder for the program's messages.
#include "support/TestSupport.h"

#include <arpa/inet.h>
#include <bit>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

int BindLoopbackUdp(int lastOctet, int port)
{
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        throw std::runtime_error("socket: " + std::string(std::strerror(errno)));
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    local.sin_addr.s_addr = htonl(0x7F000000u | static_cast<std::uint32_t>(lastOctet));
    if (::bind(socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(socket);
        throw std::runtime_error("bind 127.0.0." + std::to_string(lastOctet) + ": " + reason);
    }
    return socket;
}

UdpReceiver::UdpReceiver(int lastOctet, int port) : socket_(BindLoopbackUdp(lastOctet, port)), lastOctet_(lastOctet) {}

UdpReceiver::~UdpReceiver()
{
    ::close(socket_);
}

QString UdpReceiver::Address() const
{
    return QStringLiteral("127.0.0.%1").arg(lastOctet_);
}

std::vector<Bytes> UdpReceiver::TakeAll()
{
    std::vector<Bytes> datagrams;
    for (;;) {
        std::uint8_t buffer[65536];
        const ssize_t received = ::recv(socket_, buffer, sizeof buffer, 0);
        if (received < 0) {
            break;
        }
        datagrams.emplace_back(buffer, buffer + received);
    }
    return datagrams;
}

std::vector<Bytes> UdpReceiver::WaitFor(std::size_t count, std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    std::vector<Bytes> datagrams = TakeAll();
    while (datagrams.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd ready{socket_, POLLIN, 0};
        ::poll(&ready, 1, static_cast<int>(left.count()));
        for (Bytes& datagram : TakeAll()) {
            datagrams.push_back(std::move(datagram));
        }
    }
    return datagrams;
}

FloatMessage DecodeFloatMessage(const Bytes& datagram)
{
    const auto terminator = std::find(datagram.begin(), datagram.end(), std::uint8_t{0});
    if (terminator == datagram.end()) {
        return {};
    }
    const std::size_t addressLength = static_cast<std::size_t>(terminator - datagram.begin());
    const std::size_t tagOffset = (addressLength + 4) & ~std::size_t{3};
    if (datagram.size() != tagOffset + 8 || datagram[tagOffset] != ',' || datagram[tagOffset + 1] != 'f' ||
        datagram[tagOffset + 2] != 0 || datagram[tagOffset + 3] != 0) {
        return {};
    }
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        bits = (bits << 8) | datagram[tagOffset + 4 + static_cast<std::size_t>(i)];
    }
    return {std::string(datagram.begin(), terminator), std::bit_cast<float>(bits)};
}

std::vector<FloatMessage> DecodeFloatMessages(const std::vector<Bytes>& datagrams)
{
    std::vector<FloatMessage> messages;
    for (const Bytes& datagram : datagrams) {
        messages.push_back(DecodeFloatMessage(datagram));
    }
    return messages;
}

Bytes ToBytes(const QByteArray& data)
{
    return Bytes(data.begin(), data.end());
}

bool OnlyLoopbackReachable()
{
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        return false;
    }
    sockaddr_in documentation{};
    documentation.sin_family = AF_INET;
    documentation.sin_port = htons(10023);
    documentation.sin_addr.s_addr = htonl(0xC0000201u); // 192.0.2.1, TEST-NET-1
    const bool unreachable = ::connect(probe, reinterpret_cast<sockaddr*>(&documentation), sizeof documentation) != 0 &&
                             errno == ENETUNREACH;
    ::close(probe);
    return unreachable;
}
