#include "sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <regex>
#include <thread>

extern char **environ;

namespace simtest {

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Appends what can be read from `fd` within `timeout_ms`; false at end of file.
bool read_some(int fd, std::string &into, int timeout_ms)
{
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0)
        return true;
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    into.append(buffer, static_cast<std::size_t>(n));
    return true;
}

}  // namespace

#ifdef KORVANE_SIM_PATH
SimProcess::SimProcess()
    : program_(KORVANE_SIM_PATH)
{}
#endif

SimProcess::~SimProcess()
{
    if (pid_ > 0)
        stop(SIGKILL, 2.0);
}

bool SimProcess::spawn(const std::vector<std::string> &args, std::string *error)
{
    int out_pipe[2], err_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0)
        return false;
    if (pipe2(err_pipe, O_CLOEXEC) != 0) {
        close(out_pipe[0]);
        close(out_pipe[1]);
        return false;
    }

    std::vector<std::string> all = {program_};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // Everything the child does before exec is async-signal-safe: the test
    // may run other threads.
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        // The simulator dies with the test, also when the test aborts or
        // is killed and no destructor runs.
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
            _exit(127);
        if (dup2(out_pipe[1], STDOUT_FILENO) < 0 || dup2(err_pipe[1], STDERR_FILENO) < 0)
            _exit(127);
        execve(program_.c_str(), argv.data(), environ);
        _exit(127);
    }
    const int fork_error = errno;
    close(out_pipe[1]);
    close(err_pipe[1]);
    out_fd_ = out_pipe[0];
    err_fd_ = err_pipe[0];
    if (pid < 0) {
        if (error)
            *error = std::string("fork: ") + std::strerror(fork_error);
        close(out_fd_);
        close(err_fd_);
        out_fd_ = err_fd_ = -1;
        return false;
    }
    pid_ = pid;
    out_.clear();
    return true;
}

bool SimProcess::start(const std::vector<std::string> &args, std::string *error)
{
    if (!spawn(args, error))
        return false;
    const auto started = Clock::now();
    while (out_.find('\n') == std::string::npos && seconds_since(started) < 5.0)
        if (!read_some(out_fd_, out_, 100))
            break;
    const std::size_t eol = out_.find('\n');
    if (eol == std::string::npos) {
        Finished f = stop(SIGKILL, 2.0);
        if (error)
            *error = "no first line; stderr: " + f.err;
        return false;
    }
    first_line_ = out_.substr(0, eol);
    std::smatch m;
    if (!std::regex_search(first_line_, m, std::regex("port ([0-9]+)"))) {
        stop(SIGKILL, 2.0);
        if (error)
            *error = "no port in '" + first_line_ + "'";
        return false;
    }
    port_ = static_cast<uint16_t>(std::stoi(m[1]));
    return true;
}

bool SimProcess::wait_output(const std::string &text, double timeout)
{
    const auto started = Clock::now();
    while (out_.find(text) == std::string::npos && seconds_since(started) < timeout)
        if (!read_some(out_fd_, out_, 50))
            break;
    return out_.find(text) != std::string::npos;
}

Finished SimProcess::collect(double timeout)
{
    Finished f;
    const auto started = Clock::now();
    int status = 0;
    bool ended = false;
    while (!ended && seconds_since(started) < timeout) {
        // Keep the pipes drained so the program never blocks on output.
        read_some(out_fd_, out_, 0);
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_)
            ended = true;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!ended) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    } else if (WIFEXITED(status)) {
        f.exit_code = WEXITSTATUS(status);
    }
    while (read_some(out_fd_, out_, 200)) {
    }
    while (read_some(err_fd_, f.err, 200)) {
    }
    f.out = out_;
    close(out_fd_);
    close(err_fd_);
    out_fd_ = err_fd_ = -1;
    pid_ = -1;
    return f;
}

Finished SimProcess::stop(int sig, double timeout)
{
    if (pid_ <= 0)
        return Finished();
    kill(pid_, sig);
    return collect(timeout);
}

Finished SimProcess::wait(double timeout)
{
    if (pid_ <= 0)
        return Finished();
    return collect(timeout);
}

#ifdef KORVANE_SIM_PATH
Finished run_sim(const std::vector<std::string> &args, double timeout)
{
    return run_program(KORVANE_SIM_PATH, args, timeout);
}
#endif

Finished run_program(const std::string &program, const std::vector<std::string> &args, double timeout)
{
    SimProcess p(program);
    std::string error;
    if (!p.spawn(args, &error)) {
        Finished f;
        f.err = error;
        return f;
    }
    return p.wait(timeout);
}

}  // namespace simtest
