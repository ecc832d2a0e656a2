#include "cli.h"

#include "catalog.h"
#include "korvane.h"
#include "options.h"

#include <cstdio>

#ifndef KORVANE_TOOL_VERSION
#    define KORVANE_TOOL_VERSION "unknown"
#endif

namespace kcli {

std::string usage_text(const std::string &command)
{
    const std::string head = "Usage: korvane [--host ADDR] [--send-port N] [--recv-port N] ";
    if (command == "ping")
        return head + "ping [--timeout-ms N]\n"
                      "Asks the mixer for its firmware version and prints it with the round-trip time.\n"
                      "  --timeout-ms N  how long to wait for the answer (default 1000)\n"
                      "Exit status 0 on an answer, 1 when none came in time.\n";
    if (command == "request")
        return head + "request NAME|NUMBER [--timeout-ms N]\n"
                      "       korvane request --list\n"
                      "Sends one request and prints the matching reply, decoded.\n"
                      "  --timeout-ms N  how long to wait for the reply (default 1000)\n"
                      "  --list          list the request names and their ids\n"
                      "Exit status 0 on a reply, 1 when none came in time.\n";
    if (command == "send")
        return head + "send COMMAND ARG...\n"
                      "       korvane send --list\n"
                      "Sends one command (e.g. 'remote-on 3 1') without waiting for anything.\n"
                      "  --list  list the commands with their arguments and ranges\n"
                      "Numbers are decimal or 0x-hex.\n";
    if (command == "monitor")
        return head + "monitor [--state] [--meters] [--json] [--count N] [--duration S]\n"
                      "Prints every reply and event as it arrives, one line each with a local time stamp.\n"
                      "  --state       first ask for the mixer's whole state, as the meters do at start\n"
                      "  --meters      include the meter events (levels in dB)\n"
                      "  --json        one JSON object a line instead of text\n"
                      "  --count N     stop after N messages\n"
                      "  --duration S  stop after S seconds\n"
                      "Ctrl+C stops it too; the exit status is 0.\n";
    return "Usage: korvane [OPTIONS] COMMAND [ARGS...]\n"
           "Talks to a korvane mixer over UDP: asks it, sends it commands, watches what it says.\n"
           "\n"
           "Commands:\n"
           "  ping [--timeout-ms N]                 ask the firmware version, show the round trip\n"
           "  request NAME|NUMBER [--timeout-ms N]  send one request and print its reply\n"
           "  request --list                        list the requests\n"
           "  send COMMAND ARG...                   send one command\n"
           "  send --list                           list the commands and their arguments\n"
           "  monitor [--state] [--meters] [--json] [--count N] [--duration S]\n"
           "                                        print replies and events as they arrive\n"
           "\n"
           "Options (before or after the command):\n"
           "  --host ADDR     the mixer's IPv4 address or host name (default 127.0.0.1)\n"
           "  --send-port N   the mixer's UDP port (default 18153)\n"
           "  --recv-port N   local UDP port to receive on and send from\n"
           "                  (default 18150; 0 picks a free port)\n"
           "  --help          show this text; 'korvane COMMAND --help' shows a command's\n"
           "  --version       show the tool's and the library's version\n"
           "\n"
           "Exit status: 0 done, 1 no answer or the port could not be used, 2 bad usage.\n";
}

namespace {

int dispatch(const Common &common, const std::string &command, const std::vector<std::string> &rest)
{
    if (command == "ping")
        return run_ping(common, rest);
    if (command == "request")
        return run_request(common, rest);
    if (command == "send")
        return run_send(common, rest);
    if (command == "monitor")
        return run_monitor(common, rest);
    throw UsageError("unknown command '" + command + "'", "");
}

// Applies `name` when it is one of the common options, wherever it stands.
bool common_option(OptionReader &reader, const std::string &name, Common &common)
{
    if (name == "--host")
        common.host = ipv4_address(reader.value(), "");
    else if (name == "--send-port")
        common.send_port = static_cast<uint16_t>(whole_number(reader.value(), name, 1, 65535, ""));
    else if (name == "--recv-port")
        common.recv_port = static_cast<uint16_t>(whole_number(reader.value(), name, 0, 65535, ""));
    else
        return false;
    return true;
}

int run_checked(const std::vector<std::string> &args)
{
    Common common;
    std::string command;
    std::vector<std::string> rest;  // the command's own words, common options taken out
    OptionReader reader(args, "");
    while (reader.more()) {
        if (!reader.is_option()) {
            const std::string word = reader.next_word();
            if (command.empty())
                command = word;
            else
                rest.push_back(word);
            continue;
        }
        const std::string word = reader.peek();
        const std::string name = reader.option_name();
        if (common_option(reader, name, common))
            continue;
        if (!command.empty()) {
            rest.push_back(word);  // the command's option; its value follows as a word
            continue;
        }
        if (name == "--help") {
            reader.flag();
            std::fputs(usage_text("").c_str(), stdout);
            return kExitOk;
        }
        if (name == "--version") {
            reader.flag();
            std::printf("korvane %s\n%s\n", KORVANE_TOOL_VERSION, korvane_library_version(nullptr));
            return kExitOk;
        }
        throw UsageError("unknown option '" + name + "'", "");
    }
    if (command.empty())
        throw UsageError("no command given", "");
    return dispatch(common, command, rest);
}

}  // namespace

int run(const std::vector<std::string> &args)
{
    try {
        return run_checked(args);
    } catch (const UsageError &e) {
        std::fprintf(stderr, "korvane: %s\n%s", e.what(), usage_text(e.command).c_str());
        return kExitUsage;
    }
}

}  // namespace kcli
