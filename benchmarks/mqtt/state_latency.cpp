// From a state event leaving korvane-sim to an MQTT subscriber holding the
// bridge's P/state message: a private mosquitto, korvane-sim sending to
// korvane-mqtt's fixed port (meters at 25 a second as usual), and this
// program toggling module 5 through the simulator and timing each event
// until the subscriber has it. The clock starts when the command leaves
// here, so the simulator's own turnaround is included.
//   mqtt_state_latency [SAMPLES=500] [ROUNDS=3]
#include "korvane.h"
#include "loopback.h"

#include <mosquitto.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

pid_t spawn(std::vector<std::string> args)
{
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        freopen("/dev/null", "w", stdout);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void end(pid_t pid)
{
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

struct Subscriber {
    std::mutex mutex;
    std::condition_variable arrived;
    unsigned long count = 0;
    Clock::time_point last{};
};

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

}  // namespace

int main(int argc, char **argv)
{
    const int samples = argc > 1 ? std::atoi(argv[1]) : 500;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const uint16_t broker_port = kt::free_tcp_port();
    const uint16_t sim_port = kt::free_udp_port();
    const uint16_t bridge_port = kt::free_udp_port();
    const std::string conf = "/tmp/korvane-mqtt-latency-" + std::to_string(getpid()) + ".conf";
    std::ofstream(conf) << "listener " << broker_port << " 127.0.0.1\nallow_anonymous true\npersistence false\n"
                        << "log_dest none\n";

    const pid_t broker = spawn({MOSQUITTO_BROKER_PATH, "-c", conf});
    const pid_t sim = spawn({KORVANE_SIM_PATH, "--listen", "127.0.0.1:" + std::to_string(sim_port), "--target",
                             "127.0.0.1:" + std::to_string(bridge_port)});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const pid_t bridge = spawn({KORVANE_MQTT_PATH, "--broker", "127.0.0.1:" + std::to_string(broker_port),
                                "--send-port", std::to_string(sim_port), "--recv-port", std::to_string(bridge_port)});

    mosquitto_lib_init();
    Subscriber sub;
    mosquitto *mosq = mosquitto_new(nullptr, true, &sub);
    mosquitto_int_option(mosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_message_callback_set(mosq, [](mosquitto *, void *self, const mosquitto_message *) {
        auto *s = static_cast<Subscriber *>(self);
        const Clock::time_point now = Clock::now();
        std::lock_guard<std::mutex> lock(s->mutex);
        ++s->count;
        s->last = now;
        s->arrived.notify_all();
    });
    if (mosquitto_connect(mosq, "127.0.0.1", broker_port, 10) != MOSQ_ERR_SUCCESS) {
        std::fprintf(stderr, "no broker\n");
        return 1;
    }
    mosquitto_subscribe(mosq, nullptr, "korvane/state/module-on", 0);
    mosquitto_loop_start(mosq);
    std::this_thread::sleep_for(std::chrono::seconds(2));  // bridge online, first burst over

    // Commands go to the simulator from a port of our own; its events still
    // go to the bridge (--target).
    korvane_handle h = korvane_open("127.0.0.1", 0, sim_port);
    std::printf("round  samples  lost  median_ms  p99_ms  max_ms\n");
    for (int round = 0; round < rounds; ++round) {
        std::vector<double> ms;
        int lost = 0;
        for (int i = 0; i < samples; ++i) {
            std::unique_lock<std::mutex> lock(sub.mutex);
            const unsigned long before = sub.count;
            lock.unlock();
            const Clock::time_point sent = Clock::now();
            korvane_remote_on(h, 5, 2);  // toggle: every command changes the state; the script leaves module 5 alone
            lock.lock();
            if (!sub.arrived.wait_for(lock, std::chrono::seconds(1), [&] { return sub.count > before; })) {
                ++lost;
                continue;
            }
            ms.push_back(std::chrono::duration<double, std::milli>(sub.last - sent).count());
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(10 + i % 7));
        }
        if (ms.empty())
            return 1;
        std::printf("%5d  %7zu  %4d  %9.3f  %6.3f  %6.3f\n", round + 1, ms.size(), lost, percentile(ms, 0.5),
                    percentile(ms, 0.99), percentile(ms, 1.0));
    }
    korvane_close(h);
    mosquitto_disconnect(mosq);
    mosquitto_loop_stop(mosq, false);
    mosquitto_destroy(mosq);
    mosquitto_lib_cleanup();
    end(bridge);
    end(sim);
    end(broker);
    std::remove(conf.c_str());
    return 0;
}
