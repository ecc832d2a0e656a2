// Helpers for the library tests: a fake mixer on 127.0.0.1, a callback that
// copies what it is given, a private working folder for the log files.
#pragma once

#include "korvane.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace kt {

using Bytes = std::vector<uint8_t>;

// A UDP socket on 127.0.0.1 with a port chosen by the system.
class UdpPeer {
public:
    UdpPeer()
    {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~UdpPeer() { close(fd_); }
    UdpPeer(const UdpPeer &) = delete;
    UdpPeer &operator=(const UdpPeer &) = delete;

    uint16_t port() const { return port_; }

    // Room for a few thousand datagrams (tests run as root, which may force it).
    void enlarge_buffer(int bytes = 4 << 20) const
    {
        if (setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
            setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }

    void send_to(uint16_t port, const Bytes &bytes) const
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&a), sizeof a);
    }

    // Next datagram within timeout_ms; false on time-out.
    bool receive(Bytes &out, int timeout_ms, uint16_t *from_port = nullptr) const
    {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, timeout_ms) <= 0)
            return false;
        uint8_t buf[512];
        sockaddr_in a{};
        socklen_t len = sizeof a;
        ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&a), &len);
        if (n < 0)
            return false;
        out.assign(buf, buf + n);
        if (from_port)
            *from_port = ntohs(a.sin_port);
        return true;
    }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

inline bool is_keep_alive(const Bytes &d)
{
    return d == Bytes{0xA0, 0xA0, 0x4B, 0x41, 0, 0, 0, 0, 0, 0, 0, 0};
}

// The mixer end of the link: receives what the library sends.
class FakeMixer : public UdpPeer {
public:
    // Next datagram that is not a keep-alive (empty on time-out).
    Bytes next_command(int timeout_ms = 2000, uint16_t *from_port = nullptr) const
    {
        Bytes d;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (std::chrono::steady_clock::now() < end) {
            int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
            if (!receive(d, left > 0 ? left : 0, from_port))
                break;
            if (!is_keep_alive(d))
                return d;
        }
        return {};
    }
};

inline Bytes datagram(uint8_t header, Bytes data = {})
{
    Bytes d{0xA0, 0xA0, 0x00, header, 0, 0, 0, 0, 0, 0, 0, 0};
    for (size_t i = 0; i < data.size() && i < 8; ++i)
        d[4 + i] = data[i];
    return d;
}

// A port that was free a moment ago.
inline uint16_t free_udp_port()
{
    UdpPeer p;
    return p.port();
}

// Opens a handle towards `mixer` on a free receive port (retrying if another
// process takes the port first).
inline korvane_handle open_towards(const FakeMixer &mixer, uint16_t *recv_port, const char *host = "127.0.0.1")
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        uint16_t port = free_udp_port();
        korvane_handle h = korvane_open(host, port, mixer.port());
        if (h) {
            *recv_port = port;
            return h;
        }
    }
    return nullptr;
}

// Size of the data block the library hands over for an event id.
inline size_t block_size(int id)
{
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
}

struct Received {
    int32_t id = -1;
    int32_t kind = -1;
    Bytes data;
    template <typename T> T as() const
    {
        T v{};
        std::memcpy(&v, data.data(), std::min(sizeof v, data.size()));
        return v;
    }
    int32_t i32(size_t i) const
    {
        int32_t v;
        std::memcpy(&v, data.data() + 4 * i, 4);
        return v;
    }
    float level(size_t i) const
    {
        float v;
        std::memcpy(&v, data.data() + 4 * i, 4);
        return v;
    }
};

// Registered as the callback; copies every event and lets tests wait for one.
class EventLog {
public:
    static int callback(const korvane_event *e, void *self)
    {
        auto *log = static_cast<EventLog *>(self);
        Received r;
        r.id = e->id;
        r.kind = e->kind;
        const auto *p = static_cast<const uint8_t *>(e->data);
        r.data.assign(p, p + block_size(e->id));
        std::lock_guard<std::mutex> g(log->m_);
        log->events_.push_back(std::move(r));
        log->cv_.notify_all();
        return 0;
    }

    bool wait_for(size_t count, int timeout_ms = 3000)
    {
        std::unique_lock<std::mutex> g(m_);
        return cv_.wait_for(g, std::chrono::milliseconds(timeout_ms), [&] { return events_.size() >= count; });
    }
    std::vector<Received> events()
    {
        std::lock_guard<std::mutex> g(m_);
        return events_;
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<Received> events_;
};

// Runs the test inside a fresh temporary folder, so log files land there.
class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/korvane-test-XXXXXX";
        path_ = mkdtemp(tmpl);
        char cwd[4096];
        old_ = getcwd(cwd, sizeof cwd) ? cwd : "/tmp";
        if (chdir(path_.c_str()) != 0)
            ADD_FAILURE() << "chdir " << path_;
    }
    ~TempDir()
    {
        if (chdir(old_.c_str()) != 0) {
        }
        std::string cmd = "rm -rf '" + path_ + "'";
        if (std::system(cmd.c_str()) != 0) {
        }
    }
    const std::string &path() const { return path_; }

private:
    std::string path_, old_;
};

inline std::vector<std::string> read_lines(const std::string &file)
{
    std::ifstream in(file);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

inline std::string log_name(uint16_t port)
{
    return "logfile_(" + std::to_string(port) + ").txt";
}

// Entries of a /proc/self folder (threads, descriptors).
inline int count_entries(const char *dir)
{
    int n = 0;
    if (DIR *d = opendir(dir)) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.')
                ++n;
        closedir(d);
    }
    return n;
}

// A test with one open handle towards a fake mixer, in its own folder.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        handle = open_towards(mixer, &port);
        ASSERT_NE(handle, nullptr);
    }
    void TearDown() override
    {
        if (handle)
            korvane_close(handle);
    }

    void listen() { ASSERT_EQ(korvane_register_callback(handle, &EventLog::callback, &log), 0); }

    void to_library(const Bytes &d) { mixer.send_to(port, d); }

    // Sends the datagrams followed by a meter event that marks the end, and
    // returns what the callback got before the marker. The reader handles
    // datagrams in order, so everything sent earlier has been dealt with.
    std::vector<Received> exchange(const std::vector<Bytes> &datagrams)
    {
        // in small batches: the library's socket buffer is the system default
        if (datagrams.size() > 32) {
            std::vector<Received> all;
            for (size_t i = 0; i < datagrams.size(); i += 32) {
                std::vector<Bytes> part(datagrams.begin() + i,
                                        datagrams.begin() + std::min(datagrams.size(), i + 32));
                auto got = exchange(part);
                all.insert(all.end(), got.begin(), got.end());
            }
            return all;
        }
        const size_t before = log.events().size();
        for (const auto &d : datagrams)
            to_library(d);
        const uint8_t mark = uint8_t(++marks % 64);
        to_library(datagram(0xF0, {0x3F, 0x3F, 0x3F, 0x3F, 0x3F, mark}));
        const float want = float(mark) - 50.0f;
        std::vector<Received> got;
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end) {
            auto all = log.events();
            for (size_t i = before; i < all.size(); ++i) {
                const auto &e = all[i];
                if (e.id == 0x80 && e.level(0) == 13.0f && e.level(1) == 13.0f && e.level(5) == want)
                    return got;
                got.push_back(e);
            }
            got.clear();
            log.wait_for(all.size() + 1, 100);
        }
        ADD_FAILURE() << "end marker never arrived";
        return got;
    }

    TempDir dir;
    FakeMixer mixer;
    uint16_t port = 0;
    korvane_handle handle = nullptr;
    EventLog log;
    int marks = 0;
};

// Strips and checks the "[YYYY-mm-dd HH:MM:SS] " stamp of a log line.
inline bool unstamp(const std::string &line, std::string &text)
{
    if (line.size() < 22 || line[0] != '[' || line[20] != ']' || line[21] != ' ')
        return false;
    static const char shape[] = "dddd-dd-dd dd:dd:dd";
    for (int i = 0; i < 19; ++i) {
        char c = line[1 + i];
        if (shape[i] == 'd' ? !(c >= '0' && c <= '9') : c != shape[i])
            return false;
    }
    text = line.substr(22);
    return true;
}

// The message texts of a log file, stamps checked and removed; the first
// two lines (file header and empty line) are returned in `head`.
inline std::vector<std::string> log_texts(const std::string &file, std::vector<std::string> *head = nullptr)
{
    auto lines = read_lines(file);
    std::vector<std::string> texts;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i < 2) {
            if (head)
                head->push_back(lines[i]);
            continue;
        }
        std::string t;
        EXPECT_TRUE(unstamp(lines[i], t)) << "bad stamp: " << lines[i];
        texts.push_back(t);
    }
    return texts;
}

} // namespace kt
