// The real tavelin-meters program, offscreen, against korvane-sim: the
// information options, the end on a signal, one instance per settings store,
// the shape of its stderr.
#include "library_link.h"
#include "sim_process.h"
#include "tavelin_version.h"

#include <signal.h>
#include <sys/time.h>
#include <sys/wait.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

using namespace kt;
using simtest::Finished;
using simtest::SimProcess;

namespace {

const char *const program = TAVELIN_METERS_PATH;

bool file_exists(const std::string &path)
{
    return std::ifstream(path).good();
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// Waits up to 10 s for a file to appear.
bool wait_for_file(const std::string &path)
{
    for (int i = 0; i < 200 && !file_exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return file_exists(path);
}

// A process id nobody holds any more.
pid_t dead_pid()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

// A settings store and a state folder of the test's own, the program
// offscreen and pointed at the simulator.
class Program : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", (dir.path() + "/config").c_str(), 1);
        setenv("XDG_STATE_HOME", (dir.path() + "/state").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::string error;
        ASSERT_TRUE(sim.start({"--listen", "127.0.0.1:0"}, &error)) << error;
        recv = free_udp_port();
        ASSERT_EQ(system(("mkdir -p '" + dir.path() + "/config/Zorbel'").c_str()), 0);
        std::ofstream(store) << "[General]\nremote_host=127.0.0.1\nuse_default_ports=false\nudp_send=" << sim.port()
                             << "\nudp_recv=" << recv << "\n";
    }

    std::string log() const { return dir.path() + "/state/tavelin-meters/" + log_name(recv); }

    TempDir dir;
    SimProcess sim;
    uint16_t recv = 0;
    const std::string store = dir.path() + "/config/Zorbel/Tavelin Meters.conf";
};

}  // namespace

TEST(ProgramOptions, HelpAndVersionNeedNoDisplay)
{
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    Finished help = simtest::run_program(program, {"--help"});
    EXPECT_EQ(help.exit_code, 0) << help.err;
    EXPECT_NE(help.out.find("Usage: tavelin-meters"), std::string::npos) << help.out;
    Finished version = simtest::run_program(program, {"--version"});
    EXPECT_EQ(version.exit_code, 0) << version.err;
    EXPECT_EQ(version.out.find(std::string("tavelin-meters ") + TAVELIN_VERSION_TEXT + "\n"), 0u) << version.out;
}

TEST_F(Program, EndsInOrderOnSignalsAndRunsOncePerStore)
{
    SimProcess first(program);
    ASSERT_TRUE(first.spawn({}));
    ASSERT_TRUE(wait_for_file(log())) << "the library log shows the handle open";

    Finished second = simtest::run_program(program, {}, 10.0);
    EXPECT_EQ(second.exit_code, 1);
    EXPECT_EQ(second.err, "tavelin-meters: already running (pid " + std::to_string(first.pid()) + ")\n");

    Finished ended = first.stop(SIGTERM);
    EXPECT_EQ(ended.exit_code, 0) << ended.err;
    EXPECT_NE(ended.err.find(std::string(" started ") + TAVELIN_VERSION_TEXT + "\n"), std::string::npos) << ended.err;
    EXPECT_NE(ended.err.find(" quit SIGTERM\n"), std::string::npos) << ended.err;
    EXPECT_NE(read_file(store).find("geometry="), std::string::npos) << "settings saved as on a closed window";

    // A lock left by a crashed instance is taken over.
    std::ofstream(store + ".instance.lock") << dead_pid() << "\ntavelin-meters\n\n";
    SimProcess third(program);
    ASSERT_TRUE(third.spawn({}));
    ASSERT_TRUE(wait_for_file(log() + ".1")) << "the previous run's log kept";
    Finished interrupted = third.stop(SIGINT);
    EXPECT_EQ(interrupted.exit_code, 0) << interrupted.err;
    EXPECT_NE(interrupted.err.find(" quit SIGINT\n"), std::string::npos) << interrupted.err;

    // Restarted by the service manager right after a crash, or after a power
    // cut that left the lock file empty: it starts at once, both times.
    const std::string lock = store + ".instance.lock";
    SimProcess crashing(program);
    ASSERT_TRUE(crashing.spawn({}));
    for (int i = 0; i < 200 && read_file(lock).find(std::to_string(crashing.pid()) + "\n") != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    crashing.stop(SIGKILL);
    auto starts = [](const char *what) {
        // Killed after the time; a refused start ends at once.
        Finished restarted = simtest::run_program(program, {}, 3.0);
        EXPECT_EQ(restarted.err.find("already running"), std::string::npos) << what << "\n" << restarted.err;
        EXPECT_NE(restarted.err.find(" started "), std::string::npos) << what << "\n" << restarted.err;
    };
    starts("after a crash");
    std::ofstream(lock, std::ios::trunc).close();
    const timeval long_ago[2] = {{std::time(nullptr) - 60, 0}, {std::time(nullptr) - 60, 0}};
    ASSERT_EQ(utimes(lock.c_str(), long_ago), 0);
    starts("after a power cut");
}

// Qt's own complaints, a stored host of 200 KB and a store that cannot be
// written: every line on stderr has the incident shape and at most 512
// bytes, and the failed save at quit is said before the quit.
TEST_F(Program, StderrHasOneLineShapeAndSaysAnUnsavedStore)
{
    unsetenv("XDG_RUNTIME_DIR");
    // The studio's defaults name the mixer; the user's folder is a file.
    setenv("XDG_CONFIG_DIRS", (dir.path() + "/xdg").c_str(), 1);
    ASSERT_EQ(system(("mkdir -p '" + dir.path() + "/xdg' && mv '" + dir.path() + "/config/Zorbel' '" + dir.path() +
                      "/xdg/' && echo > '" + dir.path() + "/blocker'")
                         .c_str()),
              0);
    setenv("XDG_CONFIG_HOME", (dir.path() + "/blocker/config").c_str(), 1);
    std::ofstream(dir.path() + "/xdg/Zorbel/Tavelin Meters.conf", std::ios::app)
        << "remote_host=" << std::string(200000, 'a') << ".invalid\n";

    SimProcess meters(program);
    ASSERT_TRUE(meters.spawn({}));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    Finished ended = meters.stop(SIGTERM);
    unsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(ended.exit_code, 0) << ended.err.substr(0, 4000);

    const std::regex shape(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} [a-z-]+( .*)?)");
    std::istringstream lines(ended.err);
    std::vector<std::string> seen;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(std::regex_match(line, shape)) << line.substr(0, 600);
        EXPECT_LE(line.size(), 512u) << line.substr(0, 600);
        seen.push_back(line.substr(line.find(' ') + 1));
    }
    auto has = [&seen](const std::string &start) {
        return std::any_of(seen.begin(), seen.end(), [&](const std::string &l) { return l.rfind(start, 0) == 0; });
    };
    EXPECT_TRUE(has("warning QStandardPaths: XDG_RUNTIME_DIR not set")) << ended.err;
    EXPECT_TRUE(has("lookup-failed aaaa")) << ended.err.substr(0, 4000);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[seen.size() - 2],
              "settings-unsaved " + dir.path() + "/blocker/config/Zorbel/Tavelin Meters.conf Not a directory");
    EXPECT_EQ(seen.back(), "quit SIGTERM");
}
