#include "incident.h"

#include "message.h"

#include <cstdio>

namespace kmqtt {

namespace {

std::string escaped_cut(const std::string &text, std::size_t max, bool escape_backslash)
{
    static const char hex[] = "0123456789abcdef";
    const std::size_t marker = 3;  // "..."
    std::string out;
    std::size_t fits = std::string::npos;  // out's size when the cut must come
    for (const char c : text) {
        const unsigned char ch = static_cast<unsigned char>(c);
        const std::size_t before = out.size();
        if (escape_backslash && ch == '\\')
            out += "\\\\";
        else if (ch < 0x20 || ch > 0x7e)
            out += std::string("\\x") + hex[ch >> 4] + hex[ch & 0xf];
        else
            out += c;
        if (fits == std::string::npos && out.size() + marker > max)
            fits = before;  // never half an escape: cut before this piece
        if (out.size() > max)
            break;
    }
    if (out.size() <= max)
        return out;
    return out.substr(0, fits) + (max >= marker ? "..." : "");
}

}  // namespace

std::string shown(const std::string &text, std::size_t max)
{
    return escaped_cut(text, max, true);
}

void incident(const std::string &event, const std::string &details)
{
    std::string line = kcatalog::local_time_text(std::chrono::system_clock::now(), false);
    line[10] = 'T';  // "2026-12-09 14:03:07.412" -> ISO 8601, local time
    line += " " + event;
    if (!details.empty() && line.size() + 2 < kIncidentMaxLine)
        // What shown() escaped stays as it is: only raw bytes are escaped here.
        line += " " + escaped_cut(details, kIncidentMaxLine - line.size() - 2, false);
    line += "\n";
    // One write per line, so lines of different threads stay whole.
    std::fputs(line.c_str(), stderr);
}

}  // namespace kmqtt
