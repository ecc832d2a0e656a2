// A raw UDP socket on 127.0.0.1 for talking to korvane-sim without the library.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace simtest {

class UdpPeer {
public:
    UdpPeer()
    {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a = loopback(0);
        bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~UdpPeer() { close(fd_); }
    UdpPeer(const UdpPeer &) = delete;
    UdpPeer &operator=(const UdpPeer &) = delete;

    uint16_t port() const { return port_; }

    void send(uint16_t to, const void *data, std::size_t size) const
    {
        const sockaddr_in a = loopback(to);
        sendto(fd_, data, size, 0, reinterpret_cast<const sockaddr *>(&a), sizeof a);
    }

    // Sends a 12-byte datagram: marker and the given message bytes.
    void send_message(uint16_t to, std::vector<uint8_t> message) const
    {
        std::array<uint8_t, 12> dg{};
        dg[0] = dg[1] = 0xA0;
        for (std::size_t i = 0; i < message.size() && i < 10; ++i)
            dg[2 + i] = message[i];
        send(to, dg.data(), dg.size());
    }

    // Waits up to `timeout_ms` for a datagram; empty when none came.
    std::vector<uint8_t> receive(int timeout_ms) const
    {
        pollfd p = {fd_, POLLIN, 0};
        if (poll(&p, 1, timeout_ms) <= 0)
            return {};
        uint8_t buffer[64];
        const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0)
            return {};
        return std::vector<uint8_t>(buffer, buffer + n);
    }

    // Waits for a datagram with the given header byte, skipping others.
    std::vector<uint8_t> receive_header(uint8_t header, int timeout_ms) const
    {
        for (int waited = 0; waited < timeout_ms; waited += 50) {
            std::vector<uint8_t> dg = receive(50);
            if (dg.size() == 12 && dg[3] == header)
                return dg;
        }
        return {};
    }

private:
    static sockaddr_in loopback(uint16_t port)
    {
        sockaddr_in a;
        std::memset(&a, 0, sizeof a);
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        return a;
    }

    int fd_ = -1;
    uint16_t port_ = 0;
};

}  // namespace simtest
