#include "health.h"

#include "message.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace kmqtt {

bool Health::operator==(const Health &o) const
{
    return version == o.version && mixer == o.mixer && receive_port == o.receive_port && link == o.link &&
           commands == o.commands && meters_hz == o.meters_hz && broker_connected_at == o.broker_connected_at;
}

std::string health_json(const Health &h)
{
    const char *link = h.link == Health::Link::Open              ? "open"
                       : h.link == Health::Link::ReceivePortBusy ? "receive-port-busy"
                                                                 : "cannot-open";
    const std::string connected_at =
        h.broker_connected_at == std::chrono::system_clock::time_point{}
            ? "null"
            : kcatalog::json_string(kcatalog::local_time_text(h.broker_connected_at, true));
    return "{\"version\":" + kcatalog::json_string(h.version) + ",\"mixer\":" + kcatalog::json_string(h.mixer) +
           ",\"receive_port\":" + std::to_string(h.receive_port) + ",\"link\":\"" + link +
           "\",\"commands\":" + (h.commands ? "true" : "false") + ",\"meters_hz\":" + std::to_string(h.meters_hz) +
           ",\"broker_connected_at\":" + connected_at + "}";
}

Health::Link link_failure(int port)
{
    // The library keeps no reason; a bind of our own tells a taken port
    // from everything else (no sockets, no memory, no threads).
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Health::Link::CannotOpen;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool busy = bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 && errno == EADDRINUSE;
    close(fd);
    return busy ? Health::Link::ReceivePortBusy : Health::Link::CannotOpen;
}

}  // namespace kmqtt
