#!/usr/bin/env python3
"""Reads Home Assistant discovery documents as Home Assistant would.

Input (a JSON file named on the command line):
  {"documents": {config topic: payload}, "messages": {topic: last payload}}
Output (stdout, JSON):
  {"problems": [...], "states": {unique_id: state}, "available": {unique_id: bool}}
A state is "on"/"off" for binary sensors and switches, the rendered text for
sensors, null while its state topic has no message; availability is null
while its topic has none. Templates are rendered with Jinja2 on the payloads
the bridge really published, with Home Assistant's variables value and
value_json.
"""
import json
import sys

import jinja2

# The documented configuration keys of each MQTT platform, full names only.
COMMON = {
    "availability", "availability_mode", "availability_template", "availability_topic", "default_entity_id",
    "device", "enabled_by_default", "encoding", "entity_category", "entity_picture", "icon",
    "json_attributes_template", "json_attributes_topic", "name", "object_id", "origin", "payload_available",
    "payload_not_available", "platform", "qos", "unique_id",
}
PLATFORMS = {
    "binary_sensor": COMMON | {"device_class", "expire_after", "force_update", "off_delay", "payload_off",
                               "payload_on", "state_topic", "value_template"},
    "sensor": COMMON | {"device_class", "expire_after", "force_update", "last_reset_value_template", "options",
                        "state_class", "state_topic", "suggested_display_precision", "unit_of_measurement",
                        "value_template"},
    "switch": COMMON | {"command_template", "command_topic", "device_class", "optimistic", "payload_off",
                        "payload_on", "retain", "state_off", "state_on", "state_topic", "value_template"},
    "button": COMMON | {"command_template", "command_topic", "device_class", "payload_press", "retain"},
}
REQUIRED = {"binary_sensor": {"state_topic"}, "sensor": {"state_topic"}, "switch": {"command_topic"},
            "button": {"command_topic"}}
DEVICE_CLASSES = {
    "binary_sensor": {"battery", "battery_charging", "carbon_monoxide", "cold", "connectivity", "door",
                      "garage_door", "gas", "heat", "light", "lock", "moisture", "motion", "moving", "occupancy",
                      "opening", "plug", "power", "presence", "problem", "running", "safety", "smoke", "sound",
                      "tamper", "update", "vibration", "window"},
    # Only the sensor classes a mixer could use; others would be a surprise here.
    "sensor": {"duration", "enum", "signal_strength", "sound_pressure"},
    "switch": {"outlet", "switch"},
    "button": {"identify", "restart", "update"},
}
DEVICE_KEYS = {"configuration_url", "connections", "hw_version", "identifiers", "manufacturer", "model", "model_id",
               "name", "serial_number", "suggested_area", "sw_version", "via_device"}
ORIGIN_KEYS = {"name", "sw_version", "support_url"}
AVAILABILITY_KEYS = {"payload_available", "payload_not_available", "topic", "value_template"}
DURATION_UNITS = {"d", "h", "min", "s", "ms", "\u00b5s"}

ENV = jinja2.Environment(undefined=jinja2.StrictUndefined)


def render(template, payload):
    variables = {"value": payload}
    try:
        variables["value_json"] = json.loads(payload)
    except ValueError:
        pass
    return ENV.from_string(template).render(**variables).strip()


def is_number(text):
    try:
        float(text)
        return True
    except ValueError:
        return False


def check(documents, messages):
    problems, states, available, unique_ids, devices = [], {}, {}, set(), set()

    def problem(topic, text):
        problems.append(f"{topic}: {text}")

    for topic, payload in sorted(documents.items()):
        if payload == "":
            continue  # taken back
        parts = topic.split("/")
        if len(parts) != 5 or parts[0] != "homeassistant" or parts[4] != "config" or parts[1] not in PLATFORMS:
            problem(topic, "not a discovery topic of a known platform")
            continue
        platform = parts[1]
        try:
            doc = json.loads(payload)
        except ValueError as e:
            problem(topic, f"not JSON: {e}")
            continue
        for key in sorted(set(doc) - PLATFORMS[platform]):
            problem(topic, f"key '{key}' is not one of the {platform} platform")
        for key in sorted(REQUIRED[platform] - set(doc)):
            problem(topic, f"required key '{key}' missing")
        uid = doc.get("unique_id")
        if not isinstance(uid, str) or not uid:
            problem(topic, "no unique_id")
            continue
        if uid in unique_ids:
            problem(topic, f"unique_id '{uid}' used twice")
        unique_ids.add(uid)
        if "device_class" in doc and doc["device_class"] not in DEVICE_CLASSES[platform]:
            problem(topic, f"device_class '{doc['device_class']}' unknown to {platform}")

        device = doc.get("device", {})
        for key in sorted(set(device) - DEVICE_KEYS):
            problem(topic, f"device key '{key}' unknown")
        if not isinstance(device.get("identifiers"), list) or not device["identifiers"]:
            problem(topic, "device without a list of identifiers")
        else:
            devices.add(json.dumps(device, sort_keys=True))
        origin = doc.get("origin", {})
        if set(origin) - ORIGIN_KEYS or not origin.get("name"):
            problem(topic, f"origin {origin} is not name/sw_version/support_url")

        # Availability: every entry rendered on its topic's last payload.
        verdicts = []
        for entry in doc.get("availability", []):
            for key in sorted(set(entry) - AVAILABILITY_KEYS):
                problem(topic, f"availability key '{key}' unknown")
            if entry.get("topic") not in messages:
                continue
            on = entry.get("payload_available", "online")
            off = entry.get("payload_not_available", "offline")
            got = messages[entry["topic"]]
            if "value_template" in entry:
                got = render(entry["value_template"], got)
            if got not in (on, off):
                problem(topic, f"availability renders '{got}', neither '{on}' nor '{off}'")
            verdicts.append(got == on)
        if "availability" in doc and not isinstance(doc["availability"], list):
            problem(topic, "availability is not a list")
        available[uid] = all(verdicts) if verdicts else (None if "availability" in doc else True)

        # The state as the entity would show it.
        if platform == "button":
            continue
        state_topic = doc.get("state_topic")
        if state_topic not in messages:
            states[uid] = None
            continue
        text = messages[state_topic]
        try:
            text = render(doc["value_template"], text) if "value_template" in doc else text
        except jinja2.TemplateError as e:
            problem(topic, f"value_template fails on '{messages[state_topic]}': {e}")
            continue
        if platform in ("binary_sensor", "switch"):
            on = doc.get("payload_on", "ON")
            off = doc.get("payload_off", "OFF")
            if platform == "switch":
                on, off = doc.get("state_on", on), doc.get("state_off", off)
            if text not in (on, off):
                problem(topic, f"renders '{text}', neither '{on}' nor '{off}'")
            states[uid] = "on" if text == on else "off"
            continue
        if doc.get("device_class") == "enum":
            if "unit_of_measurement" in doc or "state_class" in doc or text not in doc.get("options", []):
                problem(topic, f"enum sensor renders '{text}' outside its options, or has a unit")
        elif "unit_of_measurement" in doc or "state_class" in doc:
            if not is_number(text):
                problem(topic, f"numeric sensor renders '{text}'")
        if doc.get("device_class") == "duration" and doc.get("unit_of_measurement") not in DURATION_UNITS:
            problem(topic, "duration without a time unit")
        states[uid] = text
    if len(devices) > 1:
        problems.append(f"{len(devices)} different devices; one bridge is one device")
    return {"problems": problems, "states": states, "available": available}


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        given = json.load(f)
    json.dump(check(given["documents"], given["messages"]), sys.stdout)


if __name__ == "__main__":
    main()
