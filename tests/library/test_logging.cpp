// The per-handle log file: header, handle block, call, request, message and
// error lines, switching on and off, and a folder where it cannot be created.
#include "korvane_internal.h"
#include "library_link.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cinttypes>
#include <thread>

using namespace kt;

namespace {

class Logging : public LinkTest
{
};

std::string hex_pointer(const void *p)
{
    char b[32];
    snprintf(b, sizeof b, "0x%.8" PRIxPTR, reinterpret_cast<uintptr_t>(p));
    return b;
}

bool exists(const std::string &f)
{
    struct stat st;
    return stat(f.c_str(), &st) == 0;
}

// Descriptors of this process open on `file` (in the current folder).
std::vector<int> descriptors_on(const std::string &file)
{
    std::vector<int> found;
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd))
        return found;
    const std::string want = std::string(cwd) + "/" + file;
    if (DIR *d = opendir("/proc/self/fd")) {
        while (dirent *e = readdir(d)) {
            if (e->d_name[0] == '.')
                continue;
            char target[4096];
            const std::string link = std::string("/proc/self/fd/") + e->d_name;
            const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, size_t(n)) == want)
                found.push_back(std::atoi(e->d_name));
        }
        closedir(d);
    }
    return found;
}

}  // namespace

TEST_F(Logging, OneStreamAtATimeAndNoneLeftToChildProcesses)
{
    korvane_logging(handle, 1);
    korvane_logging(handle, 1);
    auto fds = descriptors_on(log_name(port));
    ASSERT_EQ(fds.size(), 1u) << "re-enabling must close the earlier stream";
    EXPECT_NE(fcntl(fds[0], F_GETFD) & FD_CLOEXEC, 0) << "a started program would inherit the log";
    korvane_logging(handle, 0);
    EXPECT_TRUE(descriptors_on(log_name(port)).empty());
}

TEST_F(Logging, HeaderAndHandleBlock)
{
    korvane_logging(handle, 1);
    std::vector<std::string> head;
    auto texts = log_texts(log_name(port), &head);
    ASSERT_EQ(head.size(), 2u);
    EXPECT_EQ(head[0], "********** LOGFILE: " + log_name(port) + " **********");
    EXPECT_EQ(head[1], "");
    const std::string dashes(52, '-');
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(texts[0], dashes);
    EXPECT_EQ(texts[1], "HANDLE              : " + hex_pointer(handle));
    EXPECT_EQ(texts[2], "UDP RECEIVE PORT    : " + std::to_string(port));
    EXPECT_EQ(texts[3], "UDP SEND PORT       : " + std::to_string(mixer.port()));
    EXPECT_EQ(texts[4], "REMOTE HOST         : 127.0.0.1");
    EXPECT_EQ(texts[5], dashes);
}

TEST_F(Logging, PointersArePrintedWholeWithAtLeastEightDigits)
{
    korvane_logging(handle, 1);
    void *small = reinterpret_cast<void *>(uintptr_t(0x1234));
    korvane_register_callback(handle, &EventLog::callback, small);
    korvane_register_callback(handle, &EventLog::callback, &log);
    korvane_unregister_callback(handle);
    auto texts = log_texts(log_name(port));
    ASSERT_EQ(texts.size(), 9u);
    const std::string h = hex_pointer(handle);
    const std::string cb = hex_pointer(reinterpret_cast<void *>(&EventLog::callback));
    EXPECT_EQ(texts[6], "korvane_register_callback(): handle: " + h + ", callback: " + cb + ", userdata: 0x00001234");
    EXPECT_EQ(texts[7],
              "korvane_register_callback(): handle: " + h + ", callback: " + cb + ", userdata: " + hex_pointer(&log));
    EXPECT_EQ(texts[8], "korvane_unregister_callback(): handle: " + h);
    // the value printed is the whole pointer, not its low 32 bits
    EXPECT_EQ(std::strtoull(h.c_str() + 2, nullptr, 16), uint64_t(reinterpret_cast<uintptr_t>(handle)));
}

TEST_F(Logging, CloseWritesItsLinesThenClosesTheFile)
{
    korvane_logging(handle, 1);
    const std::string h = hex_pointer(handle);
    ASSERT_EQ(korvane_close(handle), 0);
    handle = nullptr;
    auto texts = log_texts(log_name(port));
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_EQ(texts[6], "korvane_close(): handle: " + h);
    EXPECT_EQ(texts[7], "korvane_unregister_callback(): handle: " + h);
}

TEST_F(Logging, MessagesAreLoggedButMetersNever)
{
    listen();
    korvane_logging(handle, 1);
    auto got = exchange({datagram(0xA5, {1}), datagram(0xF0, {1, 2, 3, 4, 5, 6}), datagram(0xDA, {0}),
                         datagram(0xC1, {1}), datagram(0x8E, {1})});
    EXPECT_EQ(got.size(), 3u);
    auto texts = log_texts(log_name(port));
    const std::vector<std::string> tail(texts.begin() + 6, texts.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"[REPLY]: id: 0x65(101)", "[EVENT]: id: 0x49(73)"}));
}

TEST_F(Logging, ReenablingEmptiesTheFileAndDisablingTwiceIsHarmless)
{
    korvane_logging(handle, 1);
    korvane_request(handle, 100);
    korvane_logging(handle, 1);
    korvane_request(handle, 96);
    std::vector<std::string> head;
    auto texts = log_texts(log_name(port), &head);
    ASSERT_EQ(texts.size(), 7u);
    EXPECT_EQ(head[0], "********** LOGFILE: " + log_name(port) + " **********");
    EXPECT_EQ(texts[6], "[REQUEST]: id: 0x60(96)");

    korvane_logging(handle, 0);
    korvane_logging(handle, 0);
    korvane_request(handle, 98);
    EXPECT_EQ(log_texts(log_name(port)).size(), 7u) << "nothing written while off";
    EXPECT_EQ(korvane_request(handle, 98), 0);
}

TEST_F(Logging, NothingIsWrittenWhileOff)
{
    korvane_request(handle, 100);
    korvane_remote_on(handle, 1, 2);
    listen();
    exchange({datagram(0xA5, {1})});
    EXPECT_FALSE(exists(log_name(port)));
}

TEST_F(Logging, ALogThatCannotBeCreatedChangesNothingElse)
{
    // the working folder vanishes under us; root may write anywhere else
    const std::string gone = dir.path() + "/gone";
    ASSERT_EQ(mkdir(gone.c_str(), 0700), 0);
    ASSERT_EQ(chdir(gone.c_str()), 0);
    ASSERT_EQ(rmdir(gone.c_str()), 0);

    listen();
    korvane_logging(handle, 1);
    EXPECT_EQ(korvane_remote_on(handle, 1, 2), 0);
    EXPECT_EQ(mixer.next_command(), (Bytes{0xA0, 0xA0, 4, 5, 1, 2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(korvane_request(handle, 0), 0);
    EXPECT_EQ(mixer.next_command(), (Bytes{0xA0, 0xA0, 0, 0x41, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(exchange({datagram(0xA5, {1})}).size(), 1u);
    EXPECT_STREQ(korvane_get_last_error(handle), "");
    korvane_logging(handle, 0);
    korvane_logging(handle, 1);
    EXPECT_EQ(korvane_close(handle), 0);
    handle = nullptr;
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
}

TEST_F(Logging, TogglingWhileTheReaderWritesKeepsEveryLineWhole)
{
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        while (!stop)
            to_library(datagram(0xA5, {1}));
    });
    for (int i = 0; i < 200; ++i) {
        korvane_logging(handle, uint8_t(i % 2 == 0));
        korvane_request(handle, 100);
    }
    korvane_logging(handle, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    korvane_logging(handle, 0);
    stop = true;
    flood.join();
    std::vector<std::string> head;
    auto texts = log_texts(log_name(port), &head);
    ASSERT_GE(texts.size(), 6u);
    EXPECT_EQ(head[0], "********** LOGFILE: " + log_name(port) + " **********");
    for (size_t i = 6; i < texts.size(); ++i)
        EXPECT_EQ(texts[i], "[REPLY]: id: 0x65(101)") << "line " << i;
}

TEST_F(Logging, AFullLogIsRenamedWithoutSplittingOrLosingALine)
{
    const size_t limit = 2048;
    const size_t saved = korvane_log_rotate_bytes;
    korvane_log_rotate_bytes = limit;
    std::ofstream(log_name(port) + ".1") << "an older run\n";
    korvane_logging(handle, 1);
    const int requests = 60;  // about 1.5 files' worth: exactly one rotation
    for (int i = 0; i < requests; ++i)
        korvane_request(handle, 100);
    korvane_log_rotate_bytes = saved;

    std::vector<std::string> oldHead, newHead;
    const auto older = log_texts(log_name(port) + ".1", &oldHead);
    const auto newer = log_texts(log_name(port), &newHead);
    EXPECT_EQ(oldHead[0], "********** LOGFILE: " + log_name(port) + " **********");
    EXPECT_EQ(newHead[0], oldHead[0]);
    int found = 0;
    for (const auto *texts : {&older, &newer})
        for (const auto &t : *texts)
            found += t == "[REQUEST]: id: 0x64(100)";
    EXPECT_EQ(found, requests);
    EXPECT_FALSE(newer.empty());
    struct stat st;
    for (const std::string &f : {log_name(port), log_name(port) + ".1"}) {
        ASSERT_EQ(stat(f.c_str(), &st), 0);
        EXPECT_LE(size_t(st.st_size), limit) << f;
    }
}
