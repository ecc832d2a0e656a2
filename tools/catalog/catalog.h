// What the tools know by name: the ids the library delivers and requests,
// and the commands they can send with their argument ranges.
#ifndef TOOLS_CATALOG_H
#define TOOLS_CATALOG_H

#include "korvane.h"

#include <string>
#include <vector>

namespace kcatalog {

// Shape of the data block the library hands over for an id.
enum class Block { Firmware, Ints, Bytes, Value16, Gpo, Silence, Lamps, Meters };

// How the values of an Ints or Bytes block are labelled in output.
enum class Labels { Plain, Modules, OnAir, CueColours };

struct IdInfo {
    int id;
    const char *name;  // header name in lower case with hyphens; nullptr where the header has none
    Block block;
    int count;  // values in an Ints or Bytes block
    Labels labels;
    const char *about;
};

// Every id the library delivers, in id order.
const std::vector<IdInfo> &all_ids();
const IdInfo *find_id(int id);
// "module-on", or "id-97" for an id without a name.
std::string id_name(int id);

// Ids that korvane_request can ask for, and the id their reply arrives as.
bool is_requestable(int id);
int reply_id_for(int request_id);
// A request given as NAME or NUMBER; false when there is no such request.
bool parse_request(const std::string &text, int &id);
// The mixer's whole state as the display asks for it, in its order.
const std::vector<int> &state_request_ids();

struct Arg {
    const char *name;
    int min;
    int max;
};

using Sender = int (*)(korvane_handle, const std::vector<int> &);

struct Command {
    const char *name;  // library function without "korvane_", with hyphens
    std::vector<Arg> args;
    Sender send;
};

const std::vector<Command> &all_commands();
const Command *find_command(const std::string &name);
// "remote-on MODULE(0-7) ACTION(0-255)"
std::string command_synopsis(const Command &command);
// Checks the argument words of `command` (count, whole numbers, ranges) and
// fills `values`; returns "" when they pass, otherwise the reason.
std::string check_command_args(const Command &command, const std::vector<std::string> &words, std::vector<int> &values);

}  // namespace kcatalog

#endif  // TOOLS_CATALOG_H
