#include "broker_intake.h"

#include "incident.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kweb {

constexpr std::chrono::milliseconds BrokerIntake::kMaxBackoff;
constexpr std::chrono::seconds BrokerIntake::kConnectTimeout;

namespace {

using Clock = std::chrono::steady_clock;

// Seconds between keep-alive pings; a broker that vanishes without closing
// the connection is noticed after about one and a half of them.
constexpr int kKeepAliveS = 10;
constexpr std::chrono::milliseconds kFirstBackoff{500};
// While the broker stays away, it is said again this often.
constexpr std::chrono::minutes kReportEvery{5};

std::string reason_of(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return std::strerror(errno);
    if (rc == MOSQ_ERR_KEEPALIVE)
        return "no answer within the keep-alive time";
    if (rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_NO_CONN)
        return "connection closed";
    return mosquitto_strerror(rc);
}

}  // namespace

BrokerIntake::BrokerIntake(const Options &options, std::vector<std::string> filters, Events &events)
    : options_(options)
    , filters_(std::move(filters))
    , events_(events)
{}

BrokerIntake::~BrokerIntake()
{
    stop();
    if (mosq_)
        mosquitto_destroy(mosq_);
}

std::string BrokerIntake::broker_text() const
{
    return host_port_text(options_.broker_host, options_.broker_port);
}

bool BrokerIntake::start(std::string &error)
{
    mosq_ = mosquitto_new(nullptr, true, this);
    if (!mosq_) {
        error = "cannot create an MQTT client";
        return false;
    }
    mosquitto_connect_callback_set(mosq_, &BrokerIntake::on_connect);
    mosquitto_disconnect_callback_set(mosq_, &BrokerIntake::on_disconnect);
    mosquitto_message_callback_set(mosq_, &BrokerIntake::on_message);
    int rc = MOSQ_ERR_SUCCESS;
    if (!options_.username.empty())
        rc = mosquitto_username_pw_set(mosq_, options_.username.c_str(),
                                       options_.password.empty() ? nullptr : options_.password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !options_.cafile.empty())
        rc = mosquitto_tls_set(mosq_, options_.cafile.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = mosquitto_strerror(rc);
        return false;
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void BrokerIntake::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

bool BrokerIntake::pause(std::chrono::milliseconds d)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return !wake_.wait_for(lock, d, [this] { return stopping_; });
}

void BrokerIntake::unreachable(const std::string &reason)
{
    const auto now = Clock::now();
    if (reported_ && now < next_report_)
        return;
    incident("broker-unreachable", broker_text() + " " + reason + (reported_ ? ", still trying" : ""));
    reported_ = true;
    next_report_ = now + kReportEvery;
}

// libmosquitto's own reconnecting (loop_start) gives up for good when the
// very first connect fails, so this thread does the trying itself.
void BrokerIntake::run()
{
    auto backoff = kFirstBackoff;
    bool first = true;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_)
                break;
        }
        refusal_.clear();
        was_connected_ = false;
        int rc = first ? mosquitto_connect_async(mosq_, options_.broker_host.c_str(), options_.broker_port, kKeepAliveS)
                       : mosquitto_reconnect_async(mosq_);
        first = false;
        const auto attempt = Clock::now();
        while (rc == MOSQ_ERR_SUCCESS) {
            rc = mosquitto_loop(mosq_, 200, 1);
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_)
                break;
            if (rc == MOSQ_ERR_SUCCESS && !was_connected_ && Clock::now() - attempt > kConnectTimeout) {
                rc = MOSQ_ERR_KEEPALIVE;
                refusal_ = "no answer within " + std::to_string(kConnectTimeout.count()) + " s";
            }
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_)
                break;
        }
        if (connected_)  // the loop noticed the loss before libmosquitto said so
            lost(reason_of(rc));
        if (was_connected_)
            backoff = kFirstBackoff;
        else
            unreachable(refusal_.empty() ? reason_of(rc) : refusal_);
        if (!pause(backoff))
            break;
        backoff = std::min(backoff * 2, kMaxBackoff);
    }
    if (connected_) {
        connected_ = false;
        mosquitto_disconnect(mosq_);
        mosquitto_loop(mosq_, 100, 1);
    }
}

void BrokerIntake::lost(const std::string &reason)
{
    connected_ = false;
    incident("broker-lost", broker_text() + " " + reason);
    events_.broker_lost();
}

void BrokerIntake::on_connect(mosquitto *mosq, void *self, int rc)
{
    auto *intake = static_cast<BrokerIntake *>(self);
    if (rc != 0) {
        intake->refusal_ = std::string("refused: ") + mosquitto_connack_string(rc);
        mosquitto_disconnect(mosq);
        return;
    }
    for (const std::string &filter : intake->filters_) {
        // Meters are many and the next one is never far: no acknowledgements.
        const bool meters = filter.size() >= 7 && filter.compare(filter.size() - 7, 7, "/meters") == 0;
        const int sub = mosquitto_subscribe(mosq, nullptr, filter.c_str(), meters ? 0 : 1);
        if (sub != MOSQ_ERR_SUCCESS)
            incident("broker-subscribe-failed", filter + " " + mosquitto_strerror(sub));
    }
    intake->connected_ = true;
    intake->was_connected_ = true;
    intake->reported_ = false;
    incident("broker-connected", intake->broker_text());
    intake->events_.broker_connected();
}

void BrokerIntake::on_disconnect(mosquitto *, void *self, int rc)
{
    auto *intake = static_cast<BrokerIntake *>(self);
    if (intake->connected_)
        intake->lost(rc == 0 ? "disconnected by the broker" : reason_of(rc));
}

void BrokerIntake::on_message(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *intake = static_cast<BrokerIntake *>(self);
    const std::string payload(static_cast<const char *>(message->payload),
                              static_cast<std::size_t>(message->payloadlen > 0 ? message->payloadlen : 0));
    intake->events_.message(message->topic ? message->topic : "", payload);
}

}  // namespace kweb
