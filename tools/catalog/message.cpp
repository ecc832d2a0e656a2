#include "message.h"

#include <cstdio>
#include <ctime>

namespace kcatalog {

namespace {

const char *const kMeterNames[6] = {"pgm-left", "pgm-right", "level-2", "level-3", "crm-left", "crm-right"};

std::string kind_name(const Message &m)
{
    return m.kind == 0 ? "reply" : "event";
}

std::string number(double value, const char *format)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Text of the values of an Ints or Bytes block, labelled as the id says.
std::string list_text(const Message &m, Labels labels)
{
    std::string text;
    auto add = [&text](const std::string &part) {
        if (!text.empty())
            text += ' ';
        text += part;
    };
    switch (labels) {
    case Labels::Modules:
        for (int i = 0; i < m.count; ++i)
            add("m" + std::to_string(i) + "=" + std::to_string(m.values[i]));
        break;
    case Labels::OnAir:
        add("on-air-1=" + std::to_string(m.values[0]));
        add("on-air-2=" + std::to_string(m.values[1]));
        break;
    case Labels::CueColours:
        // Each cue lamp has an active and an inactive colour code.
        for (int cue = 0; cue < m.count / 2; ++cue)
            add("cue" + std::to_string(cue) + "=" + std::to_string(m.values[2 * cue]) + "/" +
                std::to_string(m.values[2 * cue + 1]));
        break;
    case Labels::Plain:
        for (int i = 0; i < m.count; ++i)
            add(std::to_string(m.values[i]));
        break;
    }
    if (labels == Labels::CueColours)
        text = "active/inactive " + text;
    return text;
}

std::string values_text(const Message &m, const IdInfo &info)
{
    switch (info.block) {
    case Block::Firmware: return m.firmware.text;
    case Block::Ints:
    case Block::Bytes: return list_text(m, info.labels);
    case Block::Value16: {
        char text[24];
        std::snprintf(text, sizeof text, "%u (0x%04x)", static_cast<unsigned>(m.value16),
                      static_cast<unsigned>(m.value16));
        return text;
    }
    case Block::Gpo: {
        std::string text;
        for (int g = 0; g < 2; ++g) {
            const korvane_gpo_entry &e = m.gpo.gpo[g];
            text += (g ? ", gpo" : "gpo") + std::to_string(g + 1) + " trigger=" + std::to_string(e.trigger) +
                    " mode=" + std::to_string(e.mode) + " param4=" + std::to_string(e.param4) +
                    " param5=" + std::to_string(e.param5);
        }
        return text;
    }
    case Block::Silence:
        return "threshold=" + std::to_string(m.silence.threshold) +
               " dB interval=" + std::to_string(m.silence.interval) +
               " interval-unit=" + std::to_string(m.silence.interval_unit) +
               " source=" + std::to_string(m.silence.source) + " config=" + std::to_string(m.silence.config);
    case Block::Lamps: {
        std::string text = "active/active-and-fader/inactive";
        for (int i = 0; i < 8; ++i) {
            const korvane_lamp_colour &c = m.lamps.module[i];
            text += " m" + std::to_string(i) + "=" + std::to_string(c.active) + "/" +
                    std::to_string(c.active_and_fader) + "/" + std::to_string(c.inactive);
        }
        return text;
    }
    case Block::Meters: {
        std::string text;
        for (int i = 0; i < 6; ++i)
            text += std::string(i ? " " : "") + kMeterNames[i] + "=" + number(m.meters[i], "%.2f");
        return text + " dB";
    }
    }
    return {};
}

std::string json_values(const Message &m, const IdInfo &info)
{
    switch (info.block) {
    case Block::Firmware:
        return "\"major\":" + std::to_string(m.firmware.major) + ",\"minor\":" + std::to_string(m.firmware.minor) +
               ",\"build\":" + std::to_string(m.firmware.build) + ",\"text\":" + json_string(m.firmware.text);
    case Block::Ints:
    case Block::Bytes: {
        std::string text = "\"values\":[";
        for (int i = 0; i < m.count; ++i)
            text += (i ? "," : "") + std::to_string(m.values[i]);
        return text + "]";
    }
    case Block::Value16: return "\"value\":" + std::to_string(m.value16);
    case Block::Gpo: {
        std::string text = "\"gpo\":[";
        for (int g = 0; g < 2; ++g) {
            const korvane_gpo_entry &e = m.gpo.gpo[g];
            text += std::string(g ? "," : "") + "{\"trigger\":" + std::to_string(e.trigger) +
                    ",\"mode\":" + std::to_string(e.mode) + ",\"param4\":" + std::to_string(e.param4) +
                    ",\"param5\":" + std::to_string(e.param5) + "}";
        }
        return text + "]";
    }
    case Block::Silence:
        return "\"threshold_db\":" + std::to_string(m.silence.threshold) +
               ",\"interval\":" + std::to_string(m.silence.interval) +
               ",\"interval_unit\":" + std::to_string(m.silence.interval_unit) +
               ",\"source\":" + std::to_string(m.silence.source) + ",\"config\":" + std::to_string(m.silence.config);
    case Block::Lamps: {
        std::string text = "\"modules\":[";
        for (int i = 0; i < 8; ++i) {
            const korvane_lamp_colour &c = m.lamps.module[i];
            text += std::string(i ? "," : "") + "{\"active\":" + std::to_string(c.active) +
                    ",\"active_and_fader\":" + std::to_string(c.active_and_fader) +
                    ",\"inactive\":" + std::to_string(c.inactive) + "}";
        }
        return text + "]";
    }
    case Block::Meters: {
        std::string text = "\"levels_db\":[";
        for (int i = 0; i < 6; ++i)
            text += (i ? "," : "") + number(m.meters[i], "%.2f");
        return text + "]";
    }
    }
    return {};
}

}  // namespace

std::string json_string(const std::string &s)
{
    std::string out = "\"";
    for (const char ch : s) {
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (static_cast<unsigned char>(ch) < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", ch);
            out += esc;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

Message copy_event(const korvane_event &event)
{
    Message m;
    m.id = event.id;
    m.kind = event.kind;
    m.wall = std::chrono::system_clock::now();
    m.arrived = std::chrono::steady_clock::now();
    const IdInfo *info = find_id(event.id);
    if (!info || !event.data)
        return m;
    switch (info->block) {
    case Block::Firmware:
        m.firmware = *static_cast<const korvane_firmware *>(event.data);
        m.firmware.text[sizeof m.firmware.text - 1] = '\0';
        break;
    case Block::Ints:
        m.count = info->count;
        for (int i = 0; i < info->count; ++i)
            m.values[i] = static_cast<const int32_t *>(event.data)[i];
        break;
    case Block::Bytes:
        m.count = info->count;
        for (int i = 0; i < info->count; ++i)
            m.values[i] = static_cast<const uint8_t *>(event.data)[i];
        break;
    case Block::Value16: m.value16 = *static_cast<const uint16_t *>(event.data); break;
    case Block::Gpo: m.gpo = *static_cast<const korvane_gpo *>(event.data); break;
    case Block::Silence: m.silence = *static_cast<const korvane_silence *>(event.data); break;
    case Block::Lamps: m.lamps = *static_cast<const korvane_lamp_colours *>(event.data); break;
    case Block::Meters:
        for (int i = 0; i < 6; ++i)
            m.meters[i] = static_cast<const float *>(event.data)[i];
        break;
    }
    return m;
}

std::string local_time_text(std::chrono::system_clock::time_point t, bool iso)
{
    using namespace std::chrono;
    const auto since = t.time_since_epoch();
    const std::time_t seconds = static_cast<std::time_t>(duration_cast<std::chrono::seconds>(since).count());
    const int millis = static_cast<int>(duration_cast<milliseconds>(since).count() % 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, iso ? "%Y-%m-%dT%H:%M:%S" : "%Y-%m-%d %H:%M:%S", &local);
    char text[48];
    std::snprintf(text, sizeof text, "%s.%03d", stamp, millis);
    std::string out = text;
    if (iso) {
        char zone[8];
        std::strftime(zone, sizeof zone, "%z", &local);  // "+0200"
        std::string z = zone;
        if (z.size() == 5)
            z.insert(3, ":");
        out += z;
    }
    return out;
}

std::string text_line(const Message &m, bool with_time)
{
    const IdInfo *info = find_id(m.id);
    std::string line = with_time ? local_time_text(m.wall, false) + " " : std::string();
    line += kind_name(m) + " " + id_name(m.id);
    if (info)
        line += ": " + values_text(m, *info);
    return line;
}

std::string json_line(const Message &m)
{
    const IdInfo *info = find_id(m.id);
    std::string line = "{\"time\":" + json_string(local_time_text(m.wall, true)) +
                       ",\"kind\":" + json_string(kind_name(m)) + ",\"id\":" + std::to_string(m.id) +
                       ",\"name\":" + json_string(id_name(m.id));
    if (info)
        line += "," + json_values(m, *info);
    return line + "}";
}

}  // namespace kcatalog
