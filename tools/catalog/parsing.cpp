#include "parsing.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kcatalog {

bool parse_integer(const std::string &text, long &value)
{
    if (text.empty())
        return false;
    std::size_t digits = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (digits >= text.size())
        return false;
    int base = 10;
    if (text.compare(digits, 2, "0x") == 0 || text.compare(digits, 2, "0X") == 0) {
        base = 16;
        digits += 2;
    }
    if (digits >= text.size())
        return false;
    for (std::size_t i = digits; i < text.size(); ++i) {
        const char ch = text[i];
        const bool ok = base == 16 ? std::isxdigit(static_cast<unsigned char>(ch)) != 0 : ('0' <= ch && ch <= '9');
        if (!ok)
            return false;
    }
    errno = 0;
    value = std::strtol(text.c_str(), nullptr, base);
    return errno != ERANGE;
}

std::string ipv4_address_of(const std::string &text)
{
    in_addr parsed;
    if (inet_pton(AF_INET, text.c_str(), &parsed) == 1)
        return text;
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *found = nullptr;
    if (text.empty() || getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0 || !found)
        return std::string();
    char dotted[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr, dotted, sizeof dotted);
    freeaddrinfo(found);
    return dotted;
}

}  // namespace kcatalog
