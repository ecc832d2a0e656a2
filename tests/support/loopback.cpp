#include "loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace kt {

namespace {

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

}  // namespace

Bytes datagram(uint8_t header, const Bytes &data, uint8_t length)
{
    Bytes d{0xA0, 0xA0, length, header, 0, 0, 0, 0, 0, 0, 0, 0};
    for (size_t i = 0; i < data.size() && i < 8; ++i)
        d[4 + i] = data[i];
    return d;
}

bool is_keep_alive(const Bytes &d)
{
    return d == Bytes{0xA0, 0xA0, 0x4B, 0x41, 0, 0, 0, 0, 0, 0, 0, 0};
}

uint16_t free_udp_port()
{
    UdpPeer p;
    return p.port();
}

uint16_t free_tcp_port()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

UdpPeer::UdpPeer()
{
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len);
    port_ = ntohs(a.sin_port);
}

UdpPeer::~UdpPeer()
{
    close(fd_);
}

void UdpPeer::enlarge_buffer(int bytes) const
{
    if (setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

void UdpPeer::send_to(uint16_t port, const Bytes &bytes) const
{
    const sockaddr_in a = loopback(port);
    sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr *>(&a), sizeof a);
}

bool UdpPeer::receive(Bytes &out, int timeout_ms, uint16_t *from_port) const
{
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0)
        return false;
    uint8_t buf[2048];
    sockaddr_in a{};
    socklen_t len = sizeof a;
    const ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&a), &len);
    if (n < 0)
        return false;
    out.assign(buf, buf + n);
    if (from_port)
        *from_port = ntohs(a.sin_port);
    return true;
}

Bytes UdpPeer::receive_first(const std::function<bool(const Bytes &)> &wanted, int timeout_ms,
                             uint16_t *from_port) const
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    Bytes d;
    do {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (!receive(d, left > 0 ? int(left) : 0, from_port))
            break;
        if (wanted(d))
            return d;
    } while (Clock::now() < end);
    return {};
}

Bytes UdpPeer::receive_header(uint8_t header, int timeout_ms) const
{
    return receive_first([header](const Bytes &d) { return d.size() == 12 && d[3] == header; }, timeout_ms);
}

Bytes FakeMixer::next_command(int timeout_ms, uint16_t *from_port) const
{
    return receive_first([](const Bytes &d) { return !is_keep_alive(d); }, timeout_ms, from_port);
}

std::vector<Bytes> FakeMixer::take_messages() const
{
    std::vector<Bytes> messages;
    Bytes d;
    while (receive(d, 0))
        if (d.size() == 12 && d[0] == 0xA0 && d[1] == 0xA0 && !is_keep_alive(d))
            messages.push_back(d);
    return messages;
}

void FakeMixer::reply(int number, const Bytes &data) const
{
    send_to(target_, datagram(uint8_t(0x80 | number), data));
}

void FakeMixer::event(int number, const Bytes &data) const
{
    send_to(target_, datagram(uint8_t(0xC0 | number), data));
}

void FakeMixer::meters(int prog_left, int prog_right, int crm_left, int crm_right) const
{
    // whole dB in the low six bits, counted from -50
    auto code = [](int dB) { return uint8_t(dB + 50); };
    event(48, {code(prog_left), code(prog_right), 0, 0, code(crm_left), code(crm_right)});
}

}  // namespace kt
