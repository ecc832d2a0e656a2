#include "incident.h"

#include "message.h"

#include <chrono>
#include <cstdio>

namespace kweb {

void incident(const std::string &event, const std::string &details)
{
    std::string line = kcatalog::local_time_text(std::chrono::system_clock::now(), false);
    line[10] = 'T';  // "2026-12-09 14:03:07.412" -> ISO 8601, local time
    line += " " + event;
    if (!details.empty())
        line += " " + details;
    line += "\n";
    // One write per line, so lines of different threads stay whole.
    std::fputs(line.c_str(), stderr);
}

}  // namespace kweb
