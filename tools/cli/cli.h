// The korvane tool's command line: common options, subcommands, exit codes.
#ifndef CLI_CLI_H
#define CLI_CLI_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kcli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // no answer, port not bound, send failed
constexpr int kExitUsage = 2;

struct Common {
    std::string host = "127.0.0.1";  // dotted IPv4, after any name lookup
    uint16_t send_port = 18153;
    uint16_t recv_port = 18150;
};

// Bad input: one line for the user, followed by the usage of `command`
// ("" for the tool's own usage).
struct UsageError : std::runtime_error {
    UsageError(const std::string &message, std::string command)
        : std::runtime_error(message)
        , command(std::move(command))
    {}
    std::string command;
};

// Usage text of a subcommand, or of the whole tool for "".
std::string usage_text(const std::string &command);

// Runs the tool; `args` without the program name. Returns the exit code.
int run(const std::vector<std::string> &args);

int run_ping(const Common &common, const std::vector<std::string> &args);
int run_request(const Common &common, const std::vector<std::string> &args);
int run_send(const Common &common, const std::vector<std::string> &args);
int run_monitor(const Common &common, const std::vector<std::string> &args);

}  // namespace kcli

#endif  // CLI_CLI_H
