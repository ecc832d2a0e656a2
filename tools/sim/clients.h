// Who hears the simulator: every address and port that sent it a request,
// command or keep-alive in the last few seconds, so a display, a monitor
// and a bridge can run side by side against one simulator.
#ifndef SIM_CLIENTS_H
#define SIM_CLIENTS_H

#include <netinet/in.h>

#include <cstddef>
#include <vector>

namespace ksim {

// A client that has sent nothing for this long no longer hears anything.
// The library's keep-alive comes once a second, so a live client never lapses.
constexpr double kClientLifetime = 3.0;
// Every message goes to every client: a bound on them bounds what a flood
// of senders on a studio network can make the simulator send. A new client
// beyond it takes the place of the one silent longest, so whoever asks last
// always gets the answer.
constexpr std::size_t kMaxClients = 32;

class Clients
{
public:
    struct Client {
        sockaddr_in address;
        double last_heard;
    };

    enum class Heard { Known, New, InPlaceOfAnother };
    // Notes a datagram from `from` at `now`.
    Heard heard(const sockaddr_in &from, double now);

    // Drops the clients silent for longer than kClientLifetime; returns them.
    std::vector<sockaddr_in> expire(double now);

    const std::vector<Client> &current() const { return clients_; }

private:
    std::vector<Client> clients_;
};

bool same_address(const sockaddr_in &a, const sockaddr_in &b);

}  // namespace ksim

#endif  // SIM_CLIENTS_H
