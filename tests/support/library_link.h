// Helpers for tests that drive the library against the fake mixer: a
// fixture with one open handle, a private working folder for the log files
// and readers for those files.
#ifndef TEST_SUPPORT_LIBRARY_LINK_H
#define TEST_SUPPORT_LIBRARY_LINK_H

#include "event_log.h"
#include "korvane.h"
#include "loopback.h"

#include <dirent.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace kt {

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

// Runs the test inside a fresh temporary folder, so log files land there.
class TempDir
{
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

// The entry count of dir once it has come down to at most want, or the
// last count seen after 5 s: a joined thread's /proc entry may linger a
// moment. At most, not exactly: a thread from an earlier case may still be
// counted in want and end meanwhile, which is no leak.
inline int count_entries_settled(const char *dir, int want)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int n = count_entries(dir);
    while (n > want && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        n = count_entries(dir);
    }
    return n;
}

// A test with one open handle towards a fake mixer, in its own folder.
class LinkTest : public ::testing::Test
{
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
                std::vector<Bytes> part(datagrams.begin() + i, datagrams.begin() + std::min(datagrams.size(), i + 32));
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

}  // namespace kt

#endif  // TEST_SUPPORT_LIBRARY_LINK_H
