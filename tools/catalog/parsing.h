// The tools' shared parsing, so that an option or a command's argument
// reads the same in every tool: whole numbers, and the mixer's address.
#ifndef TOOLS_PARSING_H
#define TOOLS_PARSING_H

#include <string>

namespace kcatalog {

// A whole decimal or 0x-hex integer with an optional sign.
bool parse_integer(const std::string &text, long &value);

// The mixer's address for the library, which takes dotted IPv4 text only:
// TEXT itself when it is such, else the first IPv4 address a lookup of the
// name gives; "" when there is none.
std::string ipv4_address_of(const std::string &text);

}  // namespace kcatalog

#endif  // TOOLS_PARSING_H
