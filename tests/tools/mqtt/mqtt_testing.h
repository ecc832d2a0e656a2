// A real mosquitto broker on a free loopback port, started by the test, and
// an MQTT client that records what it receives; every wait is bounded.
#ifndef TEST_MQTT_TESTING_H
#define TEST_MQTT_TESTING_H

#include "loopback.h"
#include "sim_process.h"

#include <mosquitto.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mqtttest {

inline bool accepts(uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

class Broker
{
public:
    struct Setup {
        bool persistent;       // retained messages survive a restart
        std::string username;  // with a password: no anonymous clients
        std::string password;
    };

    Broker()
        : Broker(Setup{false, {}, {}})
    {}
    explicit Broker(const Setup &setup)
        : port_(kt::free_tcp_port())
    {
        char dir[] = "/tmp/korvane-mqtt-test-XXXXXX";
        if (mkdtemp(dir))
            dir_ = dir;
        config_ = dir_ + "/mosquitto.conf";
        if (!setup.username.empty()) {
            const std::string passwd = dir_ + "/passwd";
            const std::string make = "mosquitto_passwd -b -c '" + passwd + "' '" + setup.username + "' '" +
                                     setup.password + "' >/dev/null 2>&1";
            if (std::system(make.c_str()) != 0)
                std::fprintf(stderr, "mosquitto_passwd failed\n");
            access_ = "allow_anonymous false\npassword_file " + passwd + "\n";
        }
        if (FILE *f = std::fopen(config_.c_str(), "w")) {
            // Started as root, mosquitto would become user "mosquitto", who
            // may not read the password file nor write the retained messages.
            const passwd *me = getpwuid(getuid());
            std::fprintf(f,
                         "listener %u 127.0.0.1\n%spersistence %s\npersistence_location %s/\nlog_dest none\n"
                         "user %s\n",
                         static_cast<unsigned>(port_), access_.c_str(), setup.persistent ? "true" : "false",
                         dir_.c_str(), me ? me->pw_name : "root");
            std::fclose(f);
        }
    }
    ~Broker()
    {
        stop();
        const std::string clean = "rm -rf '" + dir_ + "'";
        if (!dir_.empty() && std::system(clean.c_str()) != 0)
            std::fprintf(stderr, "could not remove %s\n", dir_.c_str());
    }

    bool start()
    {
        if (!process_.spawn({"-c", config_}))
            return false;
        for (int i = 0; i < 100; ++i) {
            if (accepts(port_))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    void stop()
    {
        if (process_.running())
            process_.stop(SIGTERM, 5.0);
    }
    uint16_t port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    uint16_t port_;
    std::string dir_;
    std::string config_;
    std::string access_ = "allow_anonymous true\n";
    simtest::SimProcess process_{MOSQUITTO_BROKER_PATH};
};

struct Received {
    std::string topic;
    std::string payload;
    bool retain = false;
};

// Subscribes to `filters` (again after every reconnect) and keeps all it gets.
class Client
{
public:
    Client(uint16_t port, std::vector<std::string> filters, const std::string &username = {},
           const std::string &password = {})
        : filters_(std::move(filters))
    {
        mosq_ = mosquitto_new(nullptr, true, this);
        if (!username.empty())
            mosquitto_username_pw_set(mosq_, username.c_str(), password.c_str());
        mosquitto_connect_callback_set(mosq_, [](mosquitto *m, void *self, int rc) {
            auto *c = static_cast<Client *>(self);
            if (rc != 0)
                return;
            for (const std::string &f : c->filters_)
                mosquitto_subscribe(m, nullptr, f.c_str(), 1);
        });
        mosquitto_subscribe_callback_set(mosq_, [](mosquitto *, void *self, int, int, const int *) {
            auto *c = static_cast<Client *>(self);
            std::lock_guard<std::mutex> lock(c->mutex_);
            ++c->subscribed_;
            c->changed_.notify_all();
        });
        mosquitto_message_callback_set(mosq_, [](mosquitto *, void *self, const mosquitto_message *m) {
            auto *c = static_cast<Client *>(self);
            std::lock_guard<std::mutex> lock(c->mutex_);
            c->received_.push_back(
                {m->topic, std::string(static_cast<const char *>(m->payload), static_cast<std::size_t>(m->payloadlen)),
                 m->retain});
            c->changed_.notify_all();
        });
        mosquitto_connect(mosq_, "127.0.0.1", port, 10);
        mosquitto_loop_start(mosq_);
    }
    ~Client()
    {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, false);
        mosquitto_destroy(mosq_);
    }

    // Waits until every filter of the first connection is subscribed.
    bool ready(double timeout = 5.0)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::duration<double>(timeout),
                                 [this] { return subscribed_ >= filters_.size(); });
    }

    void publish(const std::string &topic, const std::string &payload, bool retain = false, int qos = 1)
    {
        mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), qos, retain);
    }

    // Messages received so far; wait_for looks from `from` on.
    std::size_t count()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_.size();
    }
    std::vector<Received> all()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }

    // The first message at index >= from that `wanted` accepts, within `timeout` seconds.
    bool wait_for(const std::function<bool(const Received &)> &wanted, double timeout, std::size_t from = 0,
                  Received *found = nullptr)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        std::size_t next = from;
        return changed_.wait_for(lock, std::chrono::duration<double>(timeout), [&] {
            for (; next < received_.size(); ++next)
                if (wanted(received_[next])) {
                    if (found)
                        *found = received_[next];
                    return true;
                }
            return false;
        });
    }
    bool wait_for(const std::string &topic, const std::string &payload, double timeout, std::size_t from = 0)
    {
        return wait_for([&](const Received &r) { return r.topic == topic && r.payload == payload; }, timeout, from);
    }

private:
    std::vector<std::string> filters_;
    mosquitto *mosq_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Received> received_;
    std::size_t subscribed_ = 0;
};

}  // namespace mqtttest

#endif  // TEST_MQTT_TESTING_H
