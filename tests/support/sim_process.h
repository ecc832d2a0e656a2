// Runs the real korvane-sim binary for a test: start, read the bound port
// from its first line, and always stop it within a bounded time. The child
// is killed when the test process ends, however it ends.
#ifndef TEST_SUPPORT_SIM_PROCESS_H
#define TEST_SUPPORT_SIM_PROCESS_H

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace simtest {

struct Finished {
    int exit_code = -1;  // -1: killed or did not end in time
    std::string out;
    std::string err;
};

class SimProcess
{
public:
    SimProcess();
    // Runs another program of the project the same way (the korvane client).
    explicit SimProcess(std::string program)
        : program_(std::move(program))
    {}
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;
    ~SimProcess();

    // Starts korvane-sim with `args`.
    bool spawn(const std::vector<std::string> &args, std::string *error = nullptr);

    // Starts korvane-sim with `args` and waits (bounded) for its first line.
    bool start(const std::vector<std::string> &args, std::string *error = nullptr);

    uint16_t port() const { return port_; }
    const std::string &first_line() const { return first_line_; }
    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // Waits up to `timeout` seconds until standard output holds `text`.
    bool wait_output(const std::string &text, double timeout);

    // Sends `sig`, then waits up to `timeout` seconds; kills it if it hangs.
    Finished stop(int sig, double timeout = 5.0);

    // Waits up to `timeout` seconds for the program to end on its own.
    Finished wait(double timeout);

private:
    Finished collect(double timeout);

    std::string program_;
    pid_t pid_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    uint16_t port_ = 0;
    std::string first_line_;
    std::string out_;
};

// Runs korvane-sim to completion (bounded), for option checks.
Finished run_sim(const std::vector<std::string> &args, double timeout = 5.0);

// Runs `program` to completion (bounded).
Finished run_program(const std::string &program, const std::vector<std::string> &args, double timeout = 5.0);

}  // namespace simtest

#endif  // TEST_SUPPORT_SIM_PROCESS_H
