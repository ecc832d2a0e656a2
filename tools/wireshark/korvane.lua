-- Wireshark dissector for the korvane mixer's UDP control protocol.
--
-- Every datagram is 12 bytes: the marker A0 A0, a length byte, a header
-- byte (bits 7-6 kind, bits 5-0 message number) and eight data bytes.
-- Registered for UDP ports 18150 and 18153; for other ports use
-- "Decode As..." > UDP port > KORVANE.
--
-- Load it for one run with:  wireshark -X lua_script:korvane.lua
-- or copy it into the personal Lua plugins folder (Help > About > Folders).

-- Wireshark refuses a second protocol of the same name, and the installed
-- plugin loads before a copy given with -X lua_script. So a copy loaded
-- after another takes over the protocol the first one made: its fields,
-- expert infos and dissector replace the first's, which are never registered.
local korvane = rawget(_G, "korvane_protocol") or Proto("korvane", "Korvane Mixer Control Protocol")
rawset(_G, "korvane_protocol", korvane)

local DATAGRAM_SIZE = 12
local MARKER = 0xA0A0
local KEEP_ALIVE_LENGTH = 0x4B -- 'K'; the header byte is 'A' (0x41)

local KINDS = { [0] = "command", [1] = "request", [2] = "reply", [3] = "event" }
local COLOURS = { [0] = "grey", [1] = "red", [2] = "green", [3] = "grey" }
local OFF_ON = { [0] = "off", [1] = "on" }
local CLOSED_OPEN = { [0] = "closed", [1] = "open" }
local INACTIVE_ACTIVE = { [0] = "inactive", [1] = "active" }
local METER_NAMES = {
    "Program left", "Program right", "Level 2", "Level 3", "Control room left", "Control room right",
}
local MIC_ON = { [0] = "no microphone on", [1] = "a microphone is on" }
local SILENCE = { [0] = "no silence", [1] = "silence detected" }
local MUTED = { [0] = "not muted", [1] = "muted" }

local fields = {}
local function field(abbrev, ...)
    local f = ProtoField[select(1, ...)]("korvane." .. abbrev, select(2, ...))
    fields[#fields + 1] = f
    return f
end

-- Header.
local f_marker = field("marker", "uint16", "Marker", base.HEX)
local f_length = field("length", "uint8", "Length byte", base.DEC)
local f_header = field("header", "uint8", "Header", base.HEX)
local f_kind = field("kind", "uint8", "Kind", base.DEC, KINDS, 0xC0)
local f_number = field("number", "uint8", "Message number", base.DEC, nil, 0x3F)
local f_name = field("name", "string", "Name")
local f_event_id = field("event_id", "uint8", "Library event id", base.DEC)

-- Command arguments, one field per argument name ("color_on" is shown as "Color on").
local function title(name)
    local text = (name:sub(1, 1):upper() .. name:sub(2)):gsub("_", " ")
    return text
end
local cmd = {}
for _, arg in ipairs({ "id", "color", "color_on", "color_off", "blink_speed", "module", "action", "cue", "config",
    "flags", "gpo", "trigger", "mode", "param4", "param5", "interval", "interval_unit", "source", "state" }) do
    cmd[arg] = field("cmd." .. arg, "uint8", title(arg), (arg == "flags") and base.HEX or base.DEC)
end
for _, arg in ipairs({ "active", "active_and_fader", "inactive" }) do
    cmd[arg] = field("cmd." .. arg, "uint8", title(arg), base.DEC, COLOURS)
end
cmd.threshold = field("cmd.threshold", "int8", "Threshold (dB)", base.DEC)

-- Reply and event data.
local f_fw_major = field("firmware.major", "uint8", "Major", base.DEC)
local f_fw_minor = field("firmware.minor", "uint8", "Minor", base.DEC)
local f_fw_build = field("firmware.build", "uint8", "Build", base.DEC)
local f_fw_text = field("firmware.text", "string", "Firmware version")
local f_value = field("value", "uint8", "Value (not interpreted)", base.DEC)
local f_value16 = field("value16", "uint16", "16-bit value (not interpreted)", base.HEX_DEC)
local f_status_flag = field("status_flag", "uint8", "Status flag (not interpreted)", base.DEC)
local f_gpo = {
    trigger = field("gpo.trigger", "uint8", "Trigger", base.DEC),
    mode = field("gpo.mode", "uint8", "Mode", base.DEC),
    param4 = field("gpo.param4", "uint8", "Param 4", base.DEC),
    param5 = field("gpo.param5", "uint8", "Param 5", base.DEC),
}
local f_cue_active = field("cue.active", "uint8", "Active colour", base.DEC, COLOURS)
local f_cue_inactive = field("cue.inactive", "uint8", "Inactive colour", base.DEC, COLOURS)
local f_on_active = field("on.active", "uint8", "Active colour", base.DEC, COLOURS)
local f_on_active_and_fader = field("on.active_and_fader", "uint8", "Active and fader open colour", base.DEC, COLOURS)
local f_on_inactive = field("on.inactive", "uint8", "Inactive colour", base.DEC, COLOURS)
local f_silence = {
    threshold = field("silence.threshold", "int8", "Threshold (dB)", base.DEC),
    interval = field("silence.interval", "uint8", "Interval", base.DEC),
    interval_unit = field("silence.interval_unit", "uint8", "Interval unit", base.DEC),
    source = field("silence.source", "uint8", "Source", base.DEC),
    config = field("silence.config", "uint8", "Config", base.DEC),
}
local f_meter_level = field("meter.level", "float", "Level (dB)")

-- Replies and events that carry one byte per value, with the label of each value.
local function plain(abbrev, label, base_)
    return field(abbrev, "uint8", label, base_ or base.DEC)
end
local f_comm = plain("comm", "Comm")
local f_cough = plain("cough", "Cough")
local f_voice_track = plain("voice_track", "Voice track")
local f_auto_on = plain("auto_on", "Auto on")
local f_cue_reset = plain("cue_reset", "Cue-reset flags", base.HEX)
local f_on_air_flags = plain("on_air_flags", "On-air flags", base.HEX)
local f_crm_mute_config = plain("crm_mute_config", "CRM-mute configuration")
local f_crm_auto_cue_reset = plain("crm_auto_cue_reset", "CRM auto-cue-reset configuration")
local f_studio_remote = plain("studio_remote", "Studio-remote flags", base.HEX)
local f_cue_interlock = plain("cue_interlock", "Cue interlock")
local f_fader_reserve = plain("fader_reserve", "Fader reserve")
local f_phantom = plain("phantom", "Phantom power")
local f_mic_at_line = plain("mic_at_line", "Mic at line")
local f_auto_off = plain("auto_off", "Auto off")
local f_module_on = plain("module_on", "Module on")
local f_fader = plain("fader", "Fader")
local f_source = plain("source", "Source")
local f_non_stop = plain("non_stop", "Non-stop")
local f_mic_on = plain("mic_on", "Mic on")
local f_on_air = plain("on_air", "On air")
local f_silence_state = plain("silence_state", "Silence")
local f_crm_mute = plain("crm_mute", "CRM mute")
local f_track_state = plain("track_state", "Track state")
local f_phone = plain("phone", "Phone")
local f_locked_on = plain("locked_on", "Locked on")
local f_pgm_auto_off = plain("pgm_auto_off", "PGM auto off")
local f_mic_on_trigger = plain("mic_on_trigger", "Mic-on trigger")

korvane.fields = fields

local e_size = ProtoExpert.new("korvane.malformed.size", "Not a korvane datagram (size)",
    expert.group.MALFORMED, expert.severity.ERROR)
local e_marker = ProtoExpert.new("korvane.malformed.marker", "Not a korvane datagram (marker)",
    expert.group.MALFORMED, expert.severity.ERROR)
local e_unknown = ProtoExpert.new("korvane.unknown", "Message unknown in this direction",
    expert.group.PROTOCOL, expert.severity.WARN)
local e_cut_short = ProtoExpert.new("korvane.cut_short", "Cut short by the capture",
    expert.group.UNDECODED, expert.severity.NOTE)
korvane.experts = { e_size, e_marker, e_unknown, e_cut_short }

-- Layout helpers: data bytes start at datagram offset 4.
local DATA = 4

-- `width` bits of `value` from bit `first` (0 = least significant); plain
-- arithmetic, so it works with every Lua that Wireshark embeds.
local function bits(value, first, width)
    return math.floor(value / 2 ^ first) % 2 ^ width
end

-- Adds one byte as `field_` with the text "label: meaning (value)".
local function labelled(tree, field_, range, label, meanings)
    local v = range:uint()
    local meaning = meanings and meanings[v]
    tree:add(field_, range):set_text(meaning and string.format("%s: %s (%d)", label, meaning, v)
        or string.format("%s: %d", label, v))
end

local function each_module(field_, meanings)
    return function(tvb, tree)
        for m = 0, 7 do
            labelled(tree, field_, tvb(DATA + m, 1), "Module " .. m, meanings)
        end
    end
end

local function values(field_, count, label, meanings)
    return function(tvb, tree)
        for i = 0, count - 1 do
            local name = count > 1 and string.format("%s %d", label, i) or label
            labelled(tree, field_, tvb(DATA + i, 1), name, meanings)
        end
    end
end

local function firmware(tvb, tree)
    local major, minor, build = tvb(DATA, 1):uint(), tvb(DATA + 1, 1):uint(), tvb(DATA + 2, 1):uint()
    tree:add(f_fw_major, tvb(DATA, 1))
    tree:add(f_fw_minor, tvb(DATA + 1, 1))
    tree:add(f_fw_build, tvb(DATA + 2, 1))
    tree:add(f_fw_text, tvb(DATA, 3), string.format("VXN Korvane Firmware v%d.%d.%d", major, minor, build))
        :set_generated()
end

local function value16(tvb, tree)
    tree:add_le(f_value16, tvb(DATA, 2))
end

local function status_flags(tvb, tree)
    for k = 0, 10 do
        local byte = tvb(DATA + math.floor(k / 8), 1)
        local bit = k % 8
        tree:add(f_status_flag, byte, bits(byte:uint(), bit, 1))
            :set_text(string.format("Flag %d (bit %d): %d", k, bit, bits(byte:uint(), bit, 1)))
    end
end

local function gpo(tvb, tree)
    for g = 0, 1 do
        local base_ = DATA + 4 * g
        local sub = tree:add(tvb(base_, 4), "GPO " .. (g + 1))
        sub:add(f_gpo.trigger, tvb(base_, 1))
        sub:add(f_gpo.mode, tvb(base_ + 1, 1))
        sub:add(f_gpo.param4, tvb(base_ + 2, 1))
        sub:add(f_gpo.param5, tvb(base_ + 3, 1))
    end
end

-- 2-bit colour code k of a packed run starting at `first`.
local function colour_code(tvb, first, k)
    local byte = tvb(first + math.floor(k / 4), 1)
    return byte, bits(byte:uint(), 2 * (k % 4), 2)
end

local function cue_colours(tvb, tree)
    -- 22 codes: an active and an inactive colour for each of 11 cue lamps.
    for cue = 0, 10 do
        local byte_a, active = colour_code(tvb, DATA, 2 * cue)
        local byte_i, inactive = colour_code(tvb, DATA, 2 * cue + 1)
        local sub = tree:add(tvb(DATA + math.floor(cue / 2), 1), "Cue " .. cue)
        sub:add(f_cue_active, byte_a, active)
        sub:add(f_cue_inactive, byte_i, inactive)
    end
end

local function on_colours(tvb, tree)
    for m = 0, 7 do
        local byte = tvb(DATA + math.floor(m / 2), 1)
        local shift = 4 * (m % 2)
        local fader_byte, active_and_fader = colour_code(tvb, DATA + 4, m)
        local sub = tree:add(byte, "Module " .. m)
        sub:add(f_on_active, byte, bits(byte:uint(), shift, 2))
        sub:add(f_on_active_and_fader, fader_byte, active_and_fader)
        sub:add(f_on_inactive, byte, bits(byte:uint(), shift + 2, 2))
    end
end

local function silence(tvb, tree)
    tree:add(f_silence.threshold, tvb(DATA, 1))
    tree:add(f_silence.interval, tvb(DATA + 1, 1))
    tree:add(f_silence.interval_unit, tvb(DATA + 2, 1))
    tree:add(f_silence.source, tvb(DATA + 3, 1))
    tree:add(f_silence.config, tvb(DATA + 4, 1))
end

local function meter_level(code)
    return bits(code, 0, 6) - 50 + bits(code, 6, 2) * 0.25
end

local function meters(tvb, tree)
    for i = 0, 5 do
        local code = tvb(DATA + i, 1):uint()
        local level = meter_level(code)
        tree:add(f_meter_level, tvb(DATA + i, 1), level)
            :set_text(string.format("%s: %.2f dB (code 0x%02x)", METER_NAMES[i + 1], level, code))
    end
end

local function source(tvb, tree)
    -- 0 is the line input; any other value the module's other source.
    local meanings = setmetatable({ [0] = "line input" }, { __index = function() return "other source" end })
    each_module(f_source, meanings)(tvb, tree)
end

local function on_air(tvb, tree)
    labelled(tree, f_on_air, tvb(DATA, 1), "On air 1", OFF_ON)
    labelled(tree, f_on_air, tvb(DATA + 1, 1), "On air 2", OFF_ON)
end

-- Replies and events by message number: name (the library's event name),
-- event id, accepted kinds ("r" reply, "e" event), data layout.
local INCOMING = {
    [1] = { "firmware-version", 0, "r", firmware },
    [2] = { "id-32", 32, "e", values(f_value, 2, "Value") },
    [3] = { "id-33", 33, "e", values(f_value, 4, "Value") },
    [4] = { "id-34", 34, "re", value16 },
    [11] = { "comm", 109, "re", values(f_comm, 3, "Comm") },
    [12] = { "cough", 110, "re", values(f_cough, 3, "Cough") },
    [13] = { "voice-track", 111, "re", each_module(f_voice_track, OFF_ON) },
    [17] = { "config-auto-on", 64, "re", each_module(f_auto_on) },
    [18] = { "config-cue-reset", 65, "re", each_module(f_cue_reset) },
    [19] = { "config-on-air", 66, "re", each_module(f_on_air_flags) },
    [20] = { "config-crm-mute", 67, "re", values(f_crm_mute_config, 3, "Value") },
    [21] = { "config-crm-auto-cue-reset", 68, "re", values(f_crm_auto_cue_reset, 3, "Value") },
    [22] = { "config-studio-remote", 69, "re", values(f_studio_remote, 3, "Flags") },
    [23] = { "config-cue-interlock", 70, "re", values(f_cue_interlock, 1, "Cue interlock") },
    [24] = { "config-gpo", 71, "re", gpo },
    [25] = { "config-cue", 72, "re", cue_colours },
    [26] = { "config-on", 73, "re", on_colours },
    [27] = { "config-fader-reserve", 74, "re", each_module(f_fader_reserve) },
    [28] = { "config-silence-detection", 75, "re", silence },
    [29] = { "config-phantom", 76, "re", values(f_phantom, 3, "Value") },
    [30] = { "config-mic-at-line", 77, "re", values(f_mic_at_line, 3, "Value") },
    [31] = { "config-auto-off", 78, "re", each_module(f_auto_off) },
    [32] = { "module-on", 96, "re", each_module(f_module_on, OFF_ON) },
    [33] = { "id-97", 97, "re", status_flags },
    [34] = { "fader", 98, "re", each_module(f_fader, CLOSED_OPEN) },
    [35] = { "id-99", 99, "re", values(f_value, 2, "Value") },
    [36] = { "module-source", 100, "re", source },
    [37] = { "non-stop", 101, "re", values(f_non_stop, 1, "Non-stop", INACTIVE_ACTIVE) },
    [38] = { "mic-on", 102, "re", values(f_mic_on, 1, "Mic on", MIC_ON) },
    [39] = { "id-103", 103, "re", values(f_value, 2, "Value") },
    [40] = { "on-air", 104, "re", on_air },
    [41] = { "silence", 105, "re", values(f_silence_state, 1, "Silence", SILENCE) },
    [42] = { "id-106", 106, "re", values(f_value, 8, "Value") },
    [43] = { "crm-mute", 107, "re", values(f_crm_mute, 1, "CRM mute", MUTED) },
    [44] = { "track-state", 108, "re", each_module(f_track_state) },
    [45] = { "phone", 112, "e", values(f_phone, 1, "Phone", INACTIVE_ACTIVE) },
    [46] = { "id-113", 113, "e", values(f_value, 1, "Value") },
    [48] = { "meters", 128, "e", meters },
    [49] = { "config-locked-on", 79, "re", each_module(f_locked_on) },
    [50] = { "config-pgm-auto-off", 80, "re", each_module(f_pgm_auto_off) },
    [51] = { "config-mic-on", 81, "re", values(f_mic_on_trigger, 1, "Mic-on trigger") },
}

-- Commands by message number: name (the library function without
-- "korvane_") and argument names in wire order.
local COMMANDS = {
    [2] = { "ctrl-led", { "id", "color" } },
    [3] = { "ctrl-led-blink", { "id", "color_on", "color_off", "blink_speed" } },
    [5] = { "remote-on", { "module", "action" } },
    [6] = { "remote-cue", { "cue", "action" } },
    [7] = { "remote-cue-reset", {} },
    [8] = { "remote-auto-cue-announcer", { "action" } },
    [9] = { "remote-auto-cue-crm", { "action" } },
    [10] = { "remote-non-stop", { "action" } },
    [11] = { "remote-comm", { "module", "action" } },
    [12] = { "remote-cough", { "module", "action" } },
    [13] = { "remote-vt", { "module", "action" } },
    [16] = { "config-save", {} },
    [17] = { "config-auto-on", { "module", "config" } },
    [18] = { "config-cue-reset", { "module", "flags" } },
    [19] = { "config-on-air", { "module", "flags" } },
    [20] = { "config-crm-mute", { "module", "config" } },
    [21] = { "config-crm-auto-cue-reset", { "module", "config" } },
    [22] = { "config-studio-remote", { "module", "flags" } },
    [23] = { "config-cue-interlock", { "config" } },
    [24] = { "config-gpo", { "gpo", "trigger", "mode", "param4", "param5" } },
    [25] = { "config-cue", { "cue", "active", "inactive" } },
    [26] = { "config-on", { "module", "active", "active_and_fader", "inactive" } },
    [27] = { "config-fader-reserve", { "module", "config" } },
    [28] = { "config-silence-detection", { "threshold", "interval", "interval_unit", "source", "config" } },
    [29] = { "config-phantom", { "module", "config" } },
    [30] = { "config-mic-at-line", { "module", "config" } },
    [31] = { "config-auto-off", { "module", "config" } },
    [44] = { "track-state", { "module", "state" } },
    [49] = { "config-locked-on", { "module", "config" } },
    [50] = { "config-pgm-auto-off", { "module", "config" } },
    [51] = { "config-mic-on", { "trigger" } },
}

local function dissect_command(tvb, pinfo, tree, number)
    local c = COMMANDS[number]
    if not c then
        tree:add_proto_expert_info(e_unknown, "No command " .. number)
        return "unknown command " .. number
    end
    tree:add(f_name, tvb(3, 1), c[1]):set_generated()
    local parts = { c[1] }
    for i, arg in ipairs(c[2]) do
        local range = tvb(DATA + i - 1, 1)
        tree:add(cmd[arg], range)
        parts[#parts + 1] = arg .. "=" .. (arg == "threshold" and range:int() or range:uint())
    end
    return table.concat(parts, " ")
end

local function dissect_request(tvb, pinfo, tree, number)
    if tvb(2, 1):uint() == KEEP_ALIVE_LENGTH and number == 1 then
        tree:add(f_name, tvb(2, 2), "keep-alive"):set_generated()
        return "keep-alive"
    end
    local r = INCOMING[number]
    if not r or r[3] == "e" then
        tree:add_proto_expert_info(e_unknown, "No reply " .. number .. " to ask for")
        return "request for unknown message " .. number
    end
    tree:add(f_name, tvb(3, 1), r[1]):set_generated()
    -- The library asks for message 4 with id 32; its reply arrives as 34.
    return "request " .. r[1]
end

local function dissect_incoming(tvb, pinfo, tree, number, kind)
    local r = INCOMING[number]
    if not r then
        tree:add_proto_expert_info(e_unknown, "No message " .. number .. " from the mixer")
        return KINDS[kind] .. " of unknown message " .. number
    end
    tree:add(f_name, tvb(3, 1), r[1]):set_generated()
    tree:add(f_event_id, tvb(3, 1), r[2]):set_generated()
    local letter = kind == 2 and "r" or "e"
    if not string.find(r[3], letter, 1, true) then
        tree:add_proto_expert_info(e_unknown, "Message " .. number .. " is not sent as " .. KINDS[kind]
            .. "; the library ignores it")
    end
    r[4](tvb, tree)
    return KINDS[kind] .. " " .. r[1]
end

function korvane.dissector(tvb, pinfo, tree)
    pinfo.cols.protocol = "KORVANE"
    local root = tree:add(korvane, tvb())
    local size = tvb:reported_len()
    local captured = tvb:len()
    if captured >= 2 then
        root:add(f_marker, tvb(0, 2))
    end
    -- A whole datagram of which the capture kept only the first bytes (a
    -- short snap length) is not malformed: show what is there.
    if size == DATAGRAM_SIZE and captured < size then
        root:add_proto_expert_info(e_cut_short, string.format("%d of %d bytes captured", captured, size))
        root:append_text(", cut short by the capture")
        if captured >= 3 then
            root:add(f_length, tvb(2, 1))
        end
        if captured >= 4 then
            local header = root:add(f_header, tvb(3, 1))
            header:add(f_kind, tvb(3, 1))
            header:add(f_number, tvb(3, 1))
        end
        pinfo.cols.info = string.format("Cut short by the capture: %d of %d bytes", captured, size)
        return captured
    end
    if size ~= DATAGRAM_SIZE then
        root:add_proto_expert_info(e_size, string.format("%d bytes instead of %d", size, DATAGRAM_SIZE))
        root:append_text(", malformed")
        pinfo.cols.info = string.format("Malformed: %d bytes", size)
        return size
    end
    if tvb(0, 2):uint() ~= MARKER then
        root:add_proto_expert_info(e_marker,
            string.format("Marker 0x%04x instead of 0x%04x", tvb(0, 2):uint(), MARKER))
        root:append_text(", malformed")
        pinfo.cols.info = "Malformed: wrong marker"
        return size
    end
    root:add(f_length, tvb(2, 1))
    local header = root:add(f_header, tvb(3, 1))
    header:add(f_kind, tvb(3, 1))
    header:add(f_number, tvb(3, 1))
    local kind = bits(tvb(3, 1):uint(), 6, 2)
    local number = bits(tvb(3, 1):uint(), 0, 6)

    local info
    if kind == 0 then
        info = "command " .. dissect_command(tvb, pinfo, root, number)
    elseif kind == 1 then
        info = dissect_request(tvb, pinfo, root, number)
    else
        info = dissect_incoming(tvb, pinfo, root, number, kind)
    end
    root:append_text(", " .. info)
    pinfo.cols.info = info:sub(1, 1):upper() .. info:sub(2) .. " (" .. number .. ")"
    return size
end

local udp_port = DissectorTable.get("udp.port")
udp_port:add(18150, korvane)
udp_port:add(18153, korvane)
udp_port:add_for_decode_as(korvane)
