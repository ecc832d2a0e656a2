// The real tavelin-meters program, offscreen, against korvane-sim: the
// information options, the end on a signal, one instance per settings store.
#include "library_link.h"
#include "sim_process.h"
#include "tavelin_version.h"

#include <signal.h>
#include <sys/wait.h>

#include <fstream>
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
}
