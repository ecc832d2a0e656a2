#include "options.h"

#include "parsing.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include <arpa/inet.h>

namespace kweb {

namespace {

struct Refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

int port_number(const std::string &text, const std::string &what)
{
    long value = 0;
    if (!kcatalog::parse_integer(text, value) || value < 1 || value > 65535)
        throw Refusal(what + ": '" + text + "' is not a port from 1 to 65535");
    return static_cast<int>(value);
}

struct HostPort {
    std::string host;
    std::string port;  // empty when not given
    bool v6 = false;
};

// "HOST", "HOST:PORT", "[V6]" or "[V6]:PORT".
HostPort split_address(const std::string &text, const std::string &option)
{
    HostPort hp{text, {}, false};
    if (!text.empty() && text[0] == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos || (close + 1 < text.size() && text[close + 1] != ':'))
            throw Refusal(option + ": '" + text + "' is not [ADDR]:PORT");
        hp.host = text.substr(1, close - 1);
        hp.v6 = true;
        if (close + 1 < text.size())
            hp.port = text.substr(close + 2);
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string::npos) {
        if (text.find(':') != colon)
            throw Refusal(option + ": write an IPv6 address as [ADDR]:PORT");
        hp.host = text.substr(0, colon);
        hp.port = text.substr(colon + 1);
        if (hp.port.empty())
            throw Refusal(option + ": '" + text + "' names no port");
    }
    if (hp.host.empty())
        throw Refusal(option + ": '" + text + "' names no host");
    return hp;
}

void listen_address(const std::string &text, Options &o)
{
    const HostPort hp = split_address(text, "--listen");
    if (hp.v6) {
        in6_addr a6{};
        if (inet_pton(AF_INET6, hp.host.c_str(), &a6) != 1)
            throw Refusal("--listen: '" + hp.host + "' is not an IPv6 address");
        o.listen_host = hp.host;
    } else {
        // The listener binds to an address, so a name is looked up once, here.
        o.listen_host = kcatalog::ipv4_address_of(hp.host);
        if (o.listen_host.empty())
            throw Refusal("--listen: '" + hp.host + "' is not an IPv4 address or a known host name");
    }
    if (!hp.port.empty())
        o.listen_port = port_number(hp.port, "--listen port");
}

// Topic levels of a prefix may not hold wildcards; an empty one would give
// topics starting or ending with '/'.
void check_prefix(const std::string &prefix)
{
    if (prefix.empty() || prefix.front() == '/' || prefix.back() == '/' ||
        prefix.find_first_of("+#") != std::string::npos || prefix.find('\0') != std::string::npos)
        throw Refusal("--prefix: '" + prefix + "' must be a topic without '+', '#' or a leading or trailing '/'");
}

std::string read_password(const std::string &path)
{
    std::ifstream in(path);
    if (!in)
        throw Refusal("--password-file: cannot read '" + path + "'");
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty())
        throw Refusal("--password-file: '" + path + "' holds no password on its first line");
    return line;
}

}  // namespace

std::string host_port_text(const std::string &host, int port)
{
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string usage_text()
{
    return "Usage: korvane-web [OPTIONS]\n"
           "Serves live pages of the studios on an MQTT broker to any browser: master control (/),\n"
           "each studio's face (/studio/PREFIX) and a stream overlay (/overlay/PREFIX). Read-only.\n"
           "\n"
           "  --broker HOST[:PORT]   the MQTT broker (default 127.0.0.1:1883; 8883 with --cafile)\n"
           "  --username U           log in to the broker as U ...\n"
           "  --password-file F      ... with the password on the first line of F\n"
           "  --cafile F             use TLS to the broker, trusting the certificate authorities in F\n"
           "  --prefix P             a studio's bridge prefix; repeat for more (default korvane)\n"
           "  --listen ADDR:PORT     where browsers connect (default 0.0.0.0:8080; [::]:PORT for IPv6)\n"
           "  --version              show the server's and its libraries' versions\n"
           "  --help                 show this text\n"
           "\n"
           "An unreachable broker is no error: the server keeps trying and the pages say so.\n"
           "SIGINT or SIGTERM stop it with exit status 0; bad options exit with 2.\n";
}

Parsed parse_options(const std::vector<std::string> &args, Options &o)
{
    Parsed result;
    bool port_given = false;
    std::string password_file;
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            std::string name = args[i];
            std::string inline_value;
            bool has_inline = false;
            if (name.rfind("--", 0) != 0)
                throw Refusal("unexpected argument '" + name + "'");
            if (const std::size_t eq = name.find('='); eq != std::string::npos) {
                inline_value = name.substr(eq + 1);
                name.resize(eq);
                has_inline = true;
            }
            auto value = [&]() -> std::string {
                if (has_inline)
                    return inline_value;
                if (i + 1 >= args.size())
                    throw Refusal(name + " needs a value");
                return args[++i];
            };
            auto flag = [&]() {
                if (has_inline)
                    throw Refusal(name + " takes no value");
            };
            if (name == "--help") {
                flag();
                result.action = Action::Help;
                return result;
            }
            if (name == "--version") {
                flag();
                result.action = Action::Version;
                return result;
            }
            if (name == "--broker") {
                const HostPort hp = split_address(value(), name);
                o.broker_host = hp.host;
                if (!hp.port.empty()) {
                    o.broker_port = port_number(hp.port, "--broker port");
                    port_given = true;
                }
            } else if (name == "--username") {
                o.username = value();
                if (o.username.empty())
                    throw Refusal("--username must not be empty");
            } else if (name == "--password-file")
                password_file = value();
            else if (name == "--cafile") {
                o.cafile = value();
                if (!std::ifstream(o.cafile))
                    throw Refusal("--cafile: cannot read '" + o.cafile + "'");
            } else if (name == "--prefix") {
                const std::string prefix = value();
                check_prefix(prefix);
                if (std::find(o.prefixes.begin(), o.prefixes.end(), prefix) == o.prefixes.end())
                    o.prefixes.push_back(prefix);
            } else if (name == "--listen")
                listen_address(value(), o);
            else
                throw Refusal("unknown option '" + name + "'");
        }
        if (!password_file.empty() && o.username.empty())
            throw Refusal("--password-file needs --username");
        if (!password_file.empty())
            o.password = read_password(password_file);
        if (!o.cafile.empty() && !port_given)
            o.broker_port = 8883;
        if (o.prefixes.empty())
            o.prefixes.push_back("korvane");
    } catch (const Refusal &e) {
        result.action = Action::Refuse;
        result.error = e.what();
    }
    return result;
}

}  // namespace kweb
