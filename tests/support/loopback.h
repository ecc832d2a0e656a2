// The one loopback UDP peer of the tests and the fake mixer built on it:
// sockets on 127.0.0.1, ports picked by the system, every wait bounded.
#ifndef TEST_SUPPORT_LOOPBACK_H
#define TEST_SUPPORT_LOOPBACK_H

#include <cstdint>
#include <functional>
#include <vector>

namespace kt {

using Bytes = std::vector<uint8_t>;

// A protocol datagram: marker, length byte, header byte and up to eight
// data bytes, zero-filled to twelve.
Bytes datagram(uint8_t header, const Bytes &data = {}, uint8_t length = 0);

bool is_keep_alive(const Bytes &datagram);

// A UDP port on 127.0.0.1 that was free a moment ago.
uint16_t free_udp_port();
// The same for TCP (a broker's listener, say).
uint16_t free_tcp_port();

class UdpPeer
{
public:
    UdpPeer();
    ~UdpPeer();
    UdpPeer(const UdpPeer &) = delete;
    UdpPeer &operator=(const UdpPeer &) = delete;

    uint16_t port() const { return port_; }
    // For a reader that calls recvfrom itself (the benchmark's bare receive
    // loop, the floor the library is measured against).
    int fd() const { return fd_; }

    // Room for a few thousand datagrams (tests run as root, which may force it).
    void enlarge_buffer(int bytes = 4 << 20) const;

    void send_to(uint16_t port, const Bytes &bytes) const;

    // Next datagram within timeout_ms; false on time-out.
    bool receive(Bytes &out, int timeout_ms, uint16_t *from_port = nullptr) const;

    // First twelve-byte datagram with header byte `header` within timeout_ms,
    // others dropped; empty when none came.
    Bytes receive_header(uint8_t header, int timeout_ms) const;

protected:
    // First datagram `wanted` accepts within timeout_ms, others dropped.
    Bytes receive_first(const std::function<bool(const Bytes &)> &wanted, int timeout_ms,
                        uint16_t *from_port = nullptr) const;

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

// The mixer's end of the link: receives what the library sends and sends
// replies and events to the target, the library's receive port.
class FakeMixer : public UdpPeer
{
public:
    void set_target(uint16_t port) { target_ = port; }

    // Next datagram that is not a keep-alive (empty on time-out).
    Bytes next_command(int timeout_ms = 2000, uint16_t *from_port = nullptr) const;

    // The protocol datagrams waiting now, keep-alives left out; never waits.
    std::vector<Bytes> take_messages() const;

    void reply(int number, const Bytes &data = {}) const;
    void event(int number, const Bytes &data = {}) const;
    // Meter event with whole-dB levels; the two unused meters at -50 dB.
    void meters(int prog_left, int prog_right, int crm_left, int crm_right) const;

private:
    uint16_t target_ = 0;
};

}  // namespace kt

#endif  // TEST_SUPPORT_LOOPBACK_H
