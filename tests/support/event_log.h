// Records what a library handle delivers: the callback copies every event,
// tests wait for the ones they expect.
#ifndef TEST_SUPPORT_EVENT_LOG_H
#define TEST_SUPPORT_EVENT_LOG_H

#include "korvane.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

namespace kt {

// Size of the data block the library hands over for an event id.
inline size_t block_size(int id)
{
    // clang-format off
    switch (id) {
    case 0x00: return sizeof(korvane_firmware);
    case 0x20: case 0x63: case 0x67: case 0x68: return 2 * 4;
    case 0x21: return 4 * 4;
    case 0x22: return 2;
    case 0x41: case 0x42: case 0x50: return 8;
    case 0x45: return 3;
    case 0x43: case 0x44: case 0x4C: case 0x4D: case 0x6D: case 0x6E: return 3 * 4;
    case 0x46: case 0x51: case 0x65: case 0x66: case 0x69: case 0x6B: case 0x70: case 0x71: return 4;
    case 0x47: return sizeof(korvane_gpo);
    case 0x48: return 22 * 4;
    case 0x49: return sizeof(korvane_lamp_colours);
    case 0x4B: return sizeof(korvane_silence);
    case 0x61: return 11 * 4;
    case 0x80: return 6 * sizeof(float);
    case 0x40: case 0x4A: case 0x4E: case 0x4F: case 0x60: case 0x62: case 0x64: case 0x6A: case 0x6C: case 0x6F:
        return 8 * 4;
    default: return 0;
    }
    // clang-format on
}

// One delivered event, its block copied byte for byte.
struct Received {
    int32_t id = -1;
    int32_t kind = -1;
    std::vector<uint8_t> data;
    std::chrono::steady_clock::time_point at;

    template <typename T>
    T as() const
    {
        T v{};
        std::memcpy(&v, data.data(), std::min(sizeof v, data.size()));
        return v;
    }
    int32_t i32(size_t i) const { return as_at<int32_t>(i); }
    float level(size_t i) const { return as_at<float>(i); }
    // The values of an int32 or uint8 block, widened to int.
    std::vector<int> values() const
    {
        const bool bytes = id == 0x41 || id == 0x42 || id == 0x45 || id == 0x50;
        std::vector<int> v;
        for (size_t i = 0; i < data.size() / (bytes ? 1 : 4); ++i)
            v.push_back(bytes ? data[i] : i32(i));
        return v;
    }

private:
    template <typename T>
    T as_at(size_t i) const
    {
        T v;
        std::memcpy(&v, data.data() + sizeof v * i, sizeof v);
        return v;
    }
};

// Registered as the callback with the log as userdata.
class EventLog
{
public:
    static int callback(const korvane_event *e, void *self)
    {
        auto *log = static_cast<EventLog *>(self);
        Received r;
        r.id = e->id;
        r.kind = e->kind;
        r.at = std::chrono::steady_clock::now();
        const auto *p = static_cast<const uint8_t *>(e->data);
        r.data.assign(p, p + block_size(e->id));
        std::lock_guard<std::mutex> g(log->m_);
        log->events_.push_back(std::move(r));
        log->cv_.notify_all();
        return 0;
    }

    // Waits until `done` holds for the events so far, at most timeout_ms.
    bool wait_for(const std::function<bool(const std::vector<Received> &)> &done, int timeout_ms = 3000)
    {
        std::unique_lock<std::mutex> g(m_);
        return cv_.wait_for(g, std::chrono::milliseconds(timeout_ms), [&] { return done(events_); });
    }
    bool wait_for(size_t count, int timeout_ms = 3000)
    {
        return wait_for([count](const std::vector<Received> &e) { return e.size() >= count; }, timeout_ms);
    }
    std::vector<Received> events()
    {
        std::lock_guard<std::mutex> g(m_);
        return events_;
    }
    void clear()
    {
        std::lock_guard<std::mutex> g(m_);
        events_.clear();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<Received> events_;
};

}  // namespace kt

#endif  // TEST_SUPPORT_EVENT_LOG_H
