#include "options.h"

#include "parsing.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include <unistd.h>

namespace kmqtt {

namespace {

struct Refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

long whole_number(const std::string &text, const std::string &what, long min, long max)
{
    long value = 0;
    if (!kcatalog::parse_integer(text, value) || value < min || value > max)
        throw Refusal(what + ": '" + text + "' is not a whole number from " + std::to_string(min) + " to " +
                      std::to_string(max));
    return value;
}

// The library takes dotted text only; a name is looked up once, here.
std::string ipv4_address(const std::string &text)
{
    const std::string dotted = kcatalog::ipv4_address_of(text);
    if (dotted.empty())
        throw Refusal("--host: '" + text + "' is not an IPv4 address or a known host name");
    return dotted;
}

// "HOST", "HOST:PORT" or "[V6]:PORT"; the port stays as it is when not given.
void broker_address(const std::string &text, Options &o, bool &port_given)
{
    std::string host = text;
    std::string port;
    bool has_port = false;
    if (!text.empty() && text[0] == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos || (close + 1 < text.size() && text[close + 1] != ':'))
            throw Refusal("--broker: '" + text + "' is not [ADDR]:PORT");
        host = text.substr(1, close - 1);
        has_port = close + 1 < text.size();
        if (has_port)
            port = text.substr(close + 2);
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string::npos) {
        if (text.find(':') != colon)
            throw Refusal("--broker: write an IPv6 address as [ADDR]:PORT");
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        has_port = true;
    }
    if (host.empty())
        throw Refusal("--broker: '" + text + "' names no host");
    o.broker_host = host;
    if (has_port) {
        o.broker_port = static_cast<int>(whole_number(port, "--broker port", 1, 65535));
        port_given = true;
    }
}

// Topic levels of the prefix may not hold wildcards; an empty one would
// give topics starting or ending with '/'.
void check_prefix(const std::string &prefix)
{
    if (prefix.empty() || prefix.front() == '/' || prefix.back() == '/' ||
        prefix.find_first_of("+#") != std::string::npos || prefix.find('\0') != std::string::npos)
        throw Refusal("--prefix: '" + prefix + "' must be a topic without '+', '#' or a leading or trailing '/'");
}

// `from` names where the path came from in a refusal.
std::string read_password(const std::string &path, const std::string &from = "--password-file")
{
    std::ifstream in(path);
    if (!in)
        throw Refusal(from + ": cannot read '" + path + "'");
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty())
        throw Refusal(from + ": '" + path + "' holds no password on its first line");
    return line;
}

// systemd's LoadCredential=mqtt-password:... puts the password there; an
// environment file cannot hand over the path (systemd does not expand it).
std::string credentials_password()
{
    const char *dir = std::getenv("CREDENTIALS_DIRECTORY");
    if (!dir || !*dir)
        return {};
    const std::string path = std::string(dir) + "/mqtt-password";
    if (access(path.c_str(), F_OK) != 0)
        return {};
    return read_password(path, "$CREDENTIALS_DIRECTORY/mqtt-password");
}

}  // namespace

const std::vector<OptionInfo> &option_table()
{
    static const std::vector<OptionInfo> table = {
        {"--host", "ADDR", "the mixer's IPv4 address or host name (default 127.0.0.1)", "The mixer:"},
        {"--send-port", "N", "the mixer's UDP port (default 18153)", nullptr},
        {"--recv-port", "N", "local UDP port to receive on (default 18150; 0 picks a free one)", nullptr},
        {"--broker", "HOST[:PORT]", "the MQTT broker (default 127.0.0.1:1883; 8883 with --cafile)", "The broker:"},
        {"--prefix", "P", "first topic level(s) (default korvane)", nullptr},
        {"--meters-hz", "N", "meter messages a second, 0 to 50 (default 10; 0: none)", nullptr},
        {"--commands", nullptr, "carry out commands from P/command/NAME (default: refuse them)", nullptr},
        {"--username", "U", "log in to the broker as U ...", nullptr},
        {"--password-file", "F",
         "... with the password on the first line of F (default: the file\n"
         "                         mqtt-password in $CREDENTIALS_DIRECTORY, when it is there)",
         nullptr},
        {"--cafile", "F", "use TLS, trusting the certificate authorities in F", nullptr},
        {"--client-id", "ID", "the MQTT client id (default: a random one)", nullptr},
        {"--homeassistant", nullptr, "publish Home Assistant discovery documents", nullptr},
        {"--homeassistant-levels", nullptr, "with them, program and control-room level sensors (once a second)",
         nullptr},
        {"--homeassistant-remove", nullptr, "remove every Home Assistant document of the prefix, then exit", nullptr},
        {"--version", nullptr, "show the bridge's and the library's version", nullptr},
        {"--help", nullptr, "show this text", nullptr},
    };
    return table;
}

std::string usage_text()
{
    std::string text = "Usage: korvane-mqtt [OPTIONS]\n"
                       "Mirrors a korvane mixer to an MQTT broker: its state, its meters and whether it is online,\n"
                       "and takes requests (and, when allowed, commands) from MQTT.\n"
                       "\n";
    for (const OptionInfo &o : option_table()) {
        if (o.heading)
            text += std::string(o.heading) + "\n";
        std::string left = std::string("  ") + o.name + (o.value ? std::string(" ") + o.value : std::string());
        left.resize(std::max<std::size_t>(left.size() + 1, 25), ' ');
        text += left + o.help + "\n";
    }
    return text + "\n"
                  "An unreachable mixer or broker is no error: the bridge keeps trying. SIGINT, SIGTERM or SIGHUP\n"
                  "publish P/status 'bridge-down' and stop it with exit status 0; bad options exit with 2.\n"
                  "At most 20 requests and 20 commands a second reach the mixer; retained ones never do.\n";
}

Parsed parse_options(const std::vector<std::string> &args, Options &o)
{
    Parsed result;
    bool port_given = false;
    bool remove_discovery = false;
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
            if (name == "--host")
                o.host = ipv4_address(value());
            else if (name == "--send-port")
                o.send_port = static_cast<uint16_t>(whole_number(value(), name, 1, 65535));
            else if (name == "--recv-port")
                o.recv_port = static_cast<uint16_t>(whole_number(value(), name, 0, 65535));
            else if (name == "--broker")
                broker_address(value(), o, port_given);
            else if (name == "--prefix")
                check_prefix(o.prefix = value());
            else if (name == "--meters-hz")
                o.meters_hz = static_cast<int>(whole_number(value(), name, 0, 50));
            else if (name == "--commands") {
                flag();
                o.commands = true;
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
            } else if (name == "--client-id") {
                o.client_id = value();
                if (o.client_id.empty() || o.client_id.size() > 65535)
                    throw Refusal("--client-id must be 1 to 65535 characters");
            } else if (name == "--homeassistant") {
                flag();
                o.homeassistant = true;
            } else if (name == "--homeassistant-levels") {
                flag();
                o.homeassistant_levels = true;
            } else if (name == "--homeassistant-remove") {
                flag();
                remove_discovery = true;
            } else
                throw Refusal("unknown option '" + name + "'");
        }
        if (o.homeassistant_levels && !o.homeassistant)
            throw Refusal("--homeassistant-levels needs --homeassistant");
        if (remove_discovery && o.homeassistant)
            throw Refusal("--homeassistant-remove takes back what --homeassistant announces: give one of them");
        if (remove_discovery)
            result.action = Action::RemoveDiscovery;
        if (!password_file.empty() && o.username.empty())
            throw Refusal("--password-file needs --username");
        if (!password_file.empty())
            o.password = read_password(password_file);
        else if (!o.username.empty())
            o.password = credentials_password();
        if (!o.cafile.empty() && !port_given)
            o.broker_port = 8883;
    } catch (const Refusal &e) {
        result.action = Action::Refuse;
        result.error = e.what();
    }
    return result;
}

}  // namespace kmqtt
