#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace ksim {

namespace {

bool parse_port(const std::string &text, bool allow_zero, uint16_t &port)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > 65535 || (value == 0 && !allow_zero))
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool parse_number(const std::string &text, double &value)
{
    if (text.empty())
        return false;
    errno = 0;
    char *end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end != nullptr && *end == '\0' && std::isfinite(value);
}

// Splits "HOST:PORT"; a bare PORT leaves host untouched.
bool split_host_port(const std::string &text, std::string &host, std::string &port)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        port = text;
        return false;
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    return true;
}

ParseResult fail(std::string message)
{
    ParseResult r;
    r.error = std::move(message);
    return r;
}

}  // namespace

std::string usage_text()
{
    return "Usage: korvane-sim [OPTIONS]\n"
           "A simulated korvane mixer on UDP.\n"
           "\n"
           "  --listen [HOST:]PORT  where to receive requests and commands\n"
           "                        (default 127.0.0.1:18153; PORT 0 picks a free port)\n"
           "  --target HOST:PORT    send replies, events and meters there\n"
           "                        (default: every client heard from in the last 3 s)\n"
           "  --rate HZ             meter events per second (default 25, at most 1000)\n"
           "  --scenario NAME       studio, no-meters or dropouts (default studio)\n"
           "  --duration SECONDS    stop after this time (default: run until stopped)\n"
           "  --verbose             print every datagram received, decoded, one line each\n"
           "  --help                show this text\n"
           "  --version             show the simulator's version\n"
           "\n"
           "The first line on standard output names the bound port.\n"
           "SIGINT or SIGTERM stop the simulator with exit code 0; bad options exit with 2.\n";
}

ParseResult parse_options(int argc, const char *const *argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool has_value = false;
        const std::size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            has_value = true;
        }
        auto take_value = [&]() -> bool {
            if (has_value)
                return true;
            if (i + 1 >= argc)
                return false;
            value = argv[++i];
            return true;
        };
        auto flag = [&]() { return !has_value; };

        if (arg == "--help" || arg == "-h") {
            if (!flag())
                return fail("--help takes no value");
            o.help = true;
        } else if (arg == "--version") {
            if (!flag())
                return fail("--version takes no value");
            o.version = true;
        } else if (arg == "--verbose") {
            if (!flag())
                return fail("--verbose takes no value");
            o.verbose = true;
        } else if (arg == "--listen") {
            if (!take_value())
                return fail("--listen needs a port");
            std::string host = o.listen_host, port;
            split_host_port(value, host, port);
            if (host.empty())
                return fail("--listen: missing host in '" + value + "'");
            if (!parse_port(port, true, o.listen_port))
                return fail("--listen: '" + value + "' is not a port (0..65535)");
            o.listen_host = host;
        } else if (arg == "--target") {
            if (!take_value())
                return fail("--target needs HOST:PORT");
            std::string host, port;
            if (!split_host_port(value, host, port) || host.empty())
                return fail("--target: '" + value + "' is not HOST:PORT");
            if (!parse_port(port, false, o.target_port))
                return fail("--target: '" + port + "' is not a port (1..65535)");
            o.fixed_target = true;
            o.target_host = host;
        } else if (arg == "--rate") {
            if (!take_value())
                return fail("--rate needs a number");
            if (!parse_number(value, o.rate) || !(o.rate > 0.0) || o.rate > kMaxRate)
                return fail("--rate: '" + value + "' is not a rate above 0 and at most 1000 per second");
        } else if (arg == "--scenario") {
            if (!take_value())
                return fail("--scenario needs a name");
            if (!parse_scenario(value, o.scenario))
                return fail("--scenario: unknown scenario '" + value + "' (studio, no-meters, dropouts)");
        } else if (arg == "--duration") {
            if (!take_value())
                return fail("--duration needs a number of seconds");
            if (!parse_number(value, o.duration) || !(o.duration > 0.0))
                return fail("--duration: '" + value + "' is not a positive number of seconds");
        } else {
            return fail("unknown option '" + std::string(argv[i]) + "'");
        }
    }
    ParseResult ok;
    ok.ok = true;
    return ok;
}

}  // namespace ksim
