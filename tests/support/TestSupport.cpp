// What the tests share; see TestSupport.h.
#include "support/TestSupport.h"

#include "osc/OscDecoder.h"

#include <QDir>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

static sockaddr_in Loopback(int lastOctet, int port)
{
    const std::uint32_t address = htonl(0x7F000000u | static_cast<std::uint32_t>(lastOctet));
    return {AF_INET, htons(static_cast<std::uint16_t>(port)), {address}, {}};
}

int BindUdp(const std::string& address, int port)
{
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in local = Loopback(0, port);
    ::inet_pton(AF_INET, address.c_str(), &local.sin_addr);
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        throw std::runtime_error("bind " + address + ": " + std::strerror(errno));
    return socket;
}

std::vector<Bytes> UdpReceiver::TakeAll()
{
    std::vector<Bytes> datagrams;
    std::uint8_t buffer[65536];
    for (ssize_t size; (size = ::recv(socket_, buffer, sizeof buffer, 0)) >= 0;)
        datagrams.emplace_back(buffer, buffer + size);
    return datagrams;
}

std::vector<Bytes> UdpReceiver::WaitFor(std::size_t count, std::chrono::milliseconds deadline)
{
    std::vector<Bytes> datagrams = TakeAll();
    for (pollfd ready{socket_, POLLIN, 0}; datagrams.size() < count && ::poll(&ready, 1, int(deadline.count())) > 0;) {
        for (Bytes& datagram : TakeAll())
            datagrams.push_back(std::move(datagram));
    }
    return datagrams;
}

Bytes UdpReceiver::TakeOne(int& fromPort, std::chrono::milliseconds deadline)
{
    std::uint8_t buffer[65536];
    sockaddr_in from{};
    socklen_t size = sizeof from;
    pollfd ready{socket_, POLLIN, 0};
    const ssize_t length =
        ::poll(&ready, 1, int(deadline.count())) > 0
            ? ::recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size)
            : -1;
    fromPort = ntohs(from.sin_port);
    return length < 0 ? Bytes() : Bytes(buffer, buffer + length);
}

bool UdpReceiver::SendTo(int lastOctet, int port, const Bytes& datagram) const
{
    const sockaddr_in to = Loopback(lastOctet, port);
    return ::sendto(socket_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
           static_cast<ssize_t>(datagram.size());
}

QString SentText(const std::vector<Bytes>& datagrams)
{
    QStringList sent;
    for (const Bytes& datagram : datagrams) {
        const std::vector<DecodedMessage> decoded = DecodeDatagram(datagram).messages;
        const bool one = decoded.size() == 1 && decoded[0].typeTags == ",f";
        sent << (one ? QString::fromStdString(decoded[0].address) + u' ' +
                           QString::number(static_cast<double>(std::get<float>(decoded[0].arguments[0])), 'g', 7)
                     : QStringLiteral("?"));
    }
    return sent.join(QStringLiteral("; "));
}

bool OnlyLoopbackReachable()
{
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in documentation = Loopback(0, 10023);
    documentation.sin_addr.s_addr = htonl(0xC0000201u); // 192.0.2.1, TEST-NET-1
    const bool unreachable = ::connect(probe, reinterpret_cast<sockaddr*>(&documentation), sizeof documentation) != 0 &&
                             errno == ENETUNREACH;
    ::close(probe);
    return unreachable;
}

// sh prints its process number, then becomes the program (QProcess cannot start programs under
// qemu-user, where the 32-bit tests run).
ChildProcess::ChildProcess(const Words& command)
{
    std::string line = "echo $$; exec";
    for (const std::string& word : command)
        line += " '" + word + "'";
    output_ = ::popen((line + " 2>&1").c_str(), "re");
    if (output_ == nullptr || !ReadLine())
        throw std::runtime_error("cannot start " + command[0]);
    pid = std::stoi(lines_.back());
    lines_.clear();
}

ChildProcess::~ChildProcess()
{
    if (output_ == nullptr)
        return;
    ::kill(pid, SIGKILL);
    ::pclose(output_);
}

bool ChildProcess::ReadLine()
{
    char buffer[65536];
    if (std::fgets(buffer, sizeof buffer, output_) == nullptr)
        return false;
    lines_.emplace_back(buffer, std::strcspn(buffer, "\n"));
    return true;
}

std::optional<std::string> ChildProcess::WaitForLine(const std::string& text)
{
    for (;; ++next_) {
        if (next_ == lines_.size() && !ReadLine())
            return std::nullopt;
        if (lines_[next_].find(text) != std::string::npos)
            return lines_[next_++];
    }
}

int ChildProcess::Finish()
{
    while (ReadLine()) {
    }
    const int status = ::pclose(output_);
    output_ = nullptr;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Words MonitorCommand(const Words& options)
{
    Words command{QUILLON_MONITOR_COMMAND};
    command.insert(command.end(), options.begin(), options.end());
    return command;
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray WaitForFile(const QString& path)
{
    for (int wait = 0; wait < 2000 && ReadFile(path).isEmpty(); ++wait)
        QThread::msleep(10);
    return ReadFile(path);
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray ToQByteArray(const Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

int SocketCount()
{
    int sockets = 0;
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System))
        sockets += fd.symLinkTarget().contains(QStringLiteral("socket:[")) ? 1 : 0;
    return sockets;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN); // the write fails instead of the process
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    const rlimit limit{bytes, previous_.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

std::vector<Words> ReadTable(const std::string& name, bool split)
{
    std::ifstream file(QUILLON_TEST_DATA_DIR "/" + name);
    if (!file)
        throw std::runtime_error("cannot read test data " + name);
    std::vector<Words> rows;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        Words& row = rows.emplace_back(1, split ? "" : line);
        for (std::size_t i = 0; split && i < line.size(); ++i) {
            const char escaped = line[i] == '\\' ? line[++i] : '\0';
            if (line[i] == '\t' && !escaped && line[i - 1] != '\t')
                row.emplace_back();
            else if (line[i] != '\t' || escaped)
                row.back() += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : line[i];
        }
        for (std::string& field : row)
            field = field == "\"\"" ? std::string() : field;
    }
    return rows;
}

Bytes ParseBytes(const std::string& text)
{
    Bytes bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            const std::size_t close = text.find('"', i + 1);
            bytes.insert(bytes.end(), text.data() + i + 1, text.data() + close);
            i = close;
        } else if (text[i] == '~') {
            bytes.resize((bytes.size() + 4) & ~std::size_t{3}, 0);
        } else if (std::isxdigit(static_cast<unsigned char>(text[i]))) {
            bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i++, 2), nullptr, 16)));
        }
    }
    return bytes;
}
