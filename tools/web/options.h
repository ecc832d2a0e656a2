// korvane-web's command line.
#ifndef WEB_OPTIONS_H
#define WEB_OPTIONS_H

#include <string>
#include <vector>

namespace kweb {

struct Options {
    // The broker; its port is 8883 with TLS unless given.
    std::string broker_host = "127.0.0.1";
    int broker_port = 1883;
    std::string username;
    std::string password;  // read from --password-file
    std::string cafile;
    // The studios, in the order given; "korvane" when none is.
    std::vector<std::string> prefixes;
    // Where browsers connect: an IPv4 address ("0.0.0.0": every interface)
    // or an IPv6 one ("::": every interface, IPv4 too).
    std::string listen_host = "0.0.0.0";
    int listen_port = 8080;
};

enum class Action { Run, Help, Version, Refuse };

struct Parsed {
    Action action = Action::Run;
    std::string error;  // for Refuse: one line for the user
};

// Reads `args` (without the program name) into `options`.
Parsed parse_options(const std::vector<std::string> &args, Options &options);

std::string usage_text();

// "127.0.0.1:1883", "[::1]:8080"
std::string host_port_text(const std::string &host, int port);

}  // namespace kweb

#endif  // WEB_OPTIONS_H
