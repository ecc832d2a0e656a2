// ping, request, send and monitor.
#include "catalog.h"
#include "cli.h"
#include "link.h"
#include "options.h"

#include <cstdio>

namespace kcli {

namespace {

using SteadyClock = std::chrono::steady_clock;

std::string mixer_text(const Common &common)
{
    return common.host + ":" + std::to_string(common.send_port);
}

bool open_link(Link &link, const Common &common)
{
    if (link.open(common.host, common.recv_port, common.send_port))
        return true;
    if (common.recv_port == 0)
        std::fprintf(stderr, "korvane: cannot open a UDP socket\n");
    else
        std::fprintf(stderr,
                     "korvane: cannot receive on UDP port %u (in use, perhaps by the meter display, or not permitted); "
                     "add --recv-port 0 to receive on a free port\n",
                     static_cast<unsigned>(common.recv_port));
    return false;
}

// Handles --help and rejects options that `command` does not know.
[[noreturn]] void unknown_option(const std::string &name, const std::string &command)
{
    throw UsageError("unknown option '" + name + "'", command);
}

bool help_asked(OptionReader &reader, const std::string &name, const std::string &command)
{
    if (name != "--help")
        return false;
    reader.flag();
    std::fputs(usage_text(command).c_str(), stdout);
    return true;
}

// Waits for the reply `reply_id` until `deadline`, skipping everything else.
bool await_reply(Link &link, int reply_id, SteadyClock::time_point deadline, kcatalog::Message &reply)
{
    while (link.next(reply, deadline) == Link::Wait::Message)
        if (reply.id == reply_id && reply.kind == 0)
            return true;
    return false;
}

// Sends one request on a fresh link and waits up to timeout_ms for its reply.
// False, with the reason on stderr, when it cannot be sent or no `missing`
// (what the message calls the awaited reply) comes in time.
bool ask(const Common &common, int request, long timeout_ms, const std::string &missing, kcatalog::Message &reply,
         double &rtt_ms)
{
    Link link(false);
    StopOnSignal stop([&link] { link.stop(); });
    if (!open_link(link, common))
        return false;
    const SteadyClock::time_point sent = SteadyClock::now();
    if (korvane_request(link.handle(), request) != 0) {
        std::fprintf(stderr, "korvane: cannot send to %s\n", mixer_text(common).c_str());
        return false;
    }
    if (!await_reply(link, kcatalog::reply_id_for(request), sent + std::chrono::milliseconds(timeout_ms), reply)) {
        std::fprintf(stderr, "korvane: no %s from %s within %ld ms\n", missing.c_str(), mixer_text(common).c_str(),
                     timeout_ms);
        return false;
    }
    rtt_ms = std::chrono::duration<double, std::milli>(reply.arrived - sent).count();
    return true;
}

void print_request_list()
{
    for (const kcatalog::IdInfo &info : kcatalog::all_ids())
        if (kcatalog::is_requestable(info.id)) {
            const int answer = kcatalog::reply_id_for(info.id);
            const kcatalog::IdInfo &shown = answer == info.id ? info : *kcatalog::find_id(answer);
            std::printf("%-26s %3d  %s\n", info.name ? info.name : "-", info.id, shown.about);
        }
}

void print_command_list()
{
    for (const kcatalog::Command &c : kcatalog::all_commands())
        std::printf("%s\n", kcatalog::command_synopsis(c).c_str());
}

}  // namespace

int run_ping(const Common &common, const std::vector<std::string> &args)
{
    const std::string me = "ping";
    long timeout_ms = 1000;
    OptionReader reader(args, me);
    while (reader.more()) {
        if (!reader.is_option())
            throw UsageError("unexpected argument '" + reader.next_word() + "'", me);
        const std::string name = reader.option_name();
        if (help_asked(reader, name, me))
            return kExitOk;
        if (name != "--timeout-ms")
            unknown_option(name, me);
        timeout_ms = whole_number(reader.value(), name, 1, 3600000, me);
    }

    kcatalog::Message reply;
    double rtt_ms = 0;
    if (!ask(common, KORVANE_ID_FIRMWARE_VERSION, timeout_ms, "answer", reply, rtt_ms))
        return kExitFailure;
    std::printf("%s answered in %.2f ms: %s\n", mixer_text(common).c_str(), rtt_ms, reply.firmware.text);
    return kExitOk;
}

int run_request(const Common &common, const std::vector<std::string> &args)
{
    const std::string me = "request";
    long timeout_ms = 1000;
    std::string wanted;
    OptionReader reader(args, me);
    while (reader.more()) {
        if (!reader.is_option()) {
            if (!wanted.empty())
                throw UsageError("one request at a time ('" + wanted + "' and '" + reader.next_word() + "')", me);
            wanted = reader.next_word();
            continue;
        }
        const std::string name = reader.option_name();
        if (help_asked(reader, name, me))
            return kExitOk;
        if (name == "--list") {
            reader.flag();
            print_request_list();
            return kExitOk;
        }
        if (name != "--timeout-ms")
            unknown_option(name, me);
        timeout_ms = whole_number(reader.value(), name, 1, 3600000, me);
    }
    if (wanted.empty())
        throw UsageError("which request? ('korvane request --list' lists them)", me);
    int id = 0;
    if (!kcatalog::parse_request(wanted, id))
        throw UsageError("unknown request '" + wanted + "' ('korvane request --list' lists them)", me);

    kcatalog::Message reply;
    double rtt_ms = 0;
    if (!ask(common, id, timeout_ms, "reply " + kcatalog::id_name(kcatalog::reply_id_for(id)), reply, rtt_ms))
        return kExitFailure;
    std::printf("%s\n", kcatalog::text_line(reply, false).c_str());
    return kExitOk;
}

int run_send(const Common &common, const std::vector<std::string> &args)
{
    const std::string me = "send";
    std::vector<std::string> words;
    OptionReader reader(args, me);
    while (reader.more()) {
        if (!reader.is_option()) {
            words.push_back(reader.next_word());
            continue;
        }
        const std::string name = reader.option_name();
        if (help_asked(reader, name, me))
            return kExitOk;
        if (name != "--list")
            unknown_option(name, me);
        reader.flag();
        print_command_list();
        return kExitOk;
    }
    if (words.empty())
        throw UsageError("which command? ('korvane send --list' lists them)", me);
    const kcatalog::Command *command = kcatalog::find_command(words[0]);
    if (!command)
        throw UsageError("unknown command '" + words[0] + "' ('korvane send --list' lists them)", me);
    std::vector<int> values;
    const std::string refused = kcatalog::check_command_args(*command, {words.begin() + 1, words.end()}, values);
    if (!refused.empty())
        throw UsageError(refused, me);

    Link link(false);
    if (!open_link(link, common))
        return kExitFailure;
    if (command->send(link.handle(), values) != 0) {
        std::fprintf(stderr, "korvane: cannot send %s to %s\n", command->name, mixer_text(common).c_str());
        return kExitFailure;
    }
    return kExitOk;
}

int run_monitor(const Common &common, const std::vector<std::string> &args)
{
    const std::string me = "monitor";
    bool meters = false, json = false, state = false;
    long count = 0;
    double duration_s = 0.0;
    OptionReader reader(args, me);
    while (reader.more()) {
        if (!reader.is_option())
            throw UsageError("unexpected argument '" + reader.next_word() + "'", me);
        const std::string name = reader.option_name();
        if (help_asked(reader, name, me))
            return kExitOk;
        if (name == "--meters") {
            reader.flag();
            meters = true;
        } else if (name == "--state") {
            reader.flag();
            state = true;
        } else if (name == "--json") {
            reader.flag();
            json = true;
        } else if (name == "--count") {
            count = whole_number(reader.value(), name, 1, 1000000000, me);
        } else if (name == "--duration") {
            duration_s = seconds(reader.value(), name, me);
        } else {
            unknown_option(name, me);
        }
    }

    Link link(meters);
    StopOnSignal stop([&link] { link.stop(); });
    if (!open_link(link, common))
        return kExitFailure;
    // The replies are printed below as they arrive, like everything else.
    if (state)
        for (int id : kcatalog::state_request_ids())
            if (korvane_request(link.handle(), id) != 0) {
                std::fprintf(stderr, "korvane: cannot send to %s\n", mixer_text(common).c_str());
                return kExitFailure;
            }
    const auto deadline = SteadyClock::now() +
                          std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(duration_s));
    long shown = 0;
    kcatalog::Message m;
    while ((duration_s > 0.0 ? link.next(m, deadline) : link.next(m)) == Link::Wait::Message) {
        std::printf("%s\n", (json ? kcatalog::json_line(m) : kcatalog::text_line(m, true)).c_str());
        std::fflush(stdout);
        if (count > 0 && ++shown >= count)
            break;
    }
    if (const unsigned long lost = link.dropped())
        std::fprintf(stderr, "korvane: %lu messages dropped because the output could not keep up\n", lost);
    return kExitOk;
}

}  // namespace kcli
