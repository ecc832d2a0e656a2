#include "clients.h"

#include <algorithm>

namespace ksim {

bool same_address(const sockaddr_in &a, const sockaddr_in &b)
{
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

Clients::Heard Clients::heard(const sockaddr_in &from, double now)
{
    for (Client &c : clients_) {
        if (same_address(c.address, from)) {
            c.last_heard = now;
            return Heard::Known;
        }
    }
    if (clients_.size() >= kMaxClients) {
        *std::min_element(clients_.begin(), clients_.end(),
                          [](const Client &a, const Client &b) { return a.last_heard < b.last_heard; }) = {from, now};
        return Heard::InPlaceOfAnother;
    }
    clients_.push_back({from, now});
    return Heard::New;
}

std::vector<sockaddr_in> Clients::expire(double now)
{
    std::vector<sockaddr_in> gone;
    const auto lapsed = [&](const Client &c) { return now - c.last_heard > kClientLifetime; };
    for (const Client &c : clients_)
        if (lapsed(c))
            gone.push_back(c.address);
    clients_.erase(std::remove_if(clients_.begin(), clients_.end(), lapsed), clients_.end());
    return gone;
}

}  // namespace ksim
