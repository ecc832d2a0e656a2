#include "bridge.h"

#include "catalog.h"
#include "incident.h"

#ifndef KORVANE_TOOL_VERSION
#    define KORVANE_TOOL_VERSION "unknown"
#endif

namespace kmqtt {

namespace {

constexpr std::chrono::seconds kReopenEvery{5};
constexpr std::chrono::seconds kDropReportEvery{10};
constexpr std::chrono::seconds kAbsenceReportAfter{10};
constexpr std::chrono::seconds kAbsenceReportEvery{300};
// For the broker to take "bridge-down", then again for libmosquitto's thread.
constexpr int kStopWaitMs = 400;

}  // namespace

Bridge::Bridge(Options options)
    : options_(std::move(options))
    , topics_(options_.prefix)
    , state_(topics_, options_.meters_hz, options_.homeassistant, options_.homeassistant_levels, options_.commands)
    , broker_(options_, *this)
{}

Bridge::~Bridge()
{
    if (korvane_handle h = handle_.exchange(nullptr))
        korvane_close(h);
}

std::string Bridge::mixer_text() const
{
    return options_.host + ":" + std::to_string(options_.send_port);
}

bool Bridge::start(std::string &error)
{
    incident("bridge-started", "mixer " + mixer_text() + " broker " + broker_.broker_text() + " prefix " +
                                   options_.prefix + (options_.commands ? " commands on" : " commands off"));
    if (!broker_.start(topics_.status(), "bridge-down", error))
        return false;
    try_open_mixer(Clock::now());
    return true;
}

void Bridge::try_open_mixer(Clock::time_point now)
{
    korvane_handle h = korvane_open(options_.host.c_str(), options_.recv_port, options_.send_port);
    link_ = h ? Health::Link::Open : link_failure(options_.recv_port);
    if (!h) {
        // Another program may hold the port for a while; keep trying.
        if (!open_failure_reported_)
            incident("mixer-link-failed", "cannot receive on UDP port " + std::to_string(options_.recv_port) +
                                              " (in use or not permitted), trying again every " +
                                              std::to_string(kReopenEvery.count()) + " s");
        open_failure_reported_ = true;
        next_open_try_ = now + kReopenEvery;
        return;
    }
    korvane_register_callback(h, &Bridge::on_mixer, this);
    handle_ = h;
    if (open_failure_reported_)
        incident("mixer-link-open", "UDP port " + std::to_string(options_.recv_port));
    request_state(now);
}

void Bridge::request_state(Clock::time_point now)
{
    korvane_handle h = handle_;
    if (!h)
        return;
    last_burst_ = now;
    for (const int id : kcatalog::state_request_ids()) {
        // A request from MQTT for the same state is answered by this one.
        limiter_.asked(id, now);
        korvane_request(h, id);
    }
}

int Bridge::on_mixer(const korvane_event *event, void *self)
{
    auto *bridge = static_cast<Bridge *>(self);
    if (event->id != KORVANE_ID_METERS)
        bridge->limiter_.answered(event->id);
    if (bridge->state_.on_message(kcatalog::copy_event(*event), Clock::now()))
        bridge->wake();
    return 0;
}

void Bridge::wake()
{
    {
        std::lock_guard<std::mutex> lock(wake_mutex_);
        woken_ = true;
    }
    wake_cv_.notify_one();
}

void Bridge::stop()
{
    {
        std::lock_guard<std::mutex> lock(wake_mutex_);
        stopping_ = true;
    }
    wake_cv_.notify_one();
}

void Bridge::broker_connected()
{
    // Retained topics may be stale or gone on a restarted broker.
    state_.broker_connected();
    burst_wanted_ = true;
    wake();
}

void Bridge::broker_lost()
{
    wake();
}

void Bridge::room()
{
    wake();
}

void Bridge::message(const std::string &topic, const std::string &payload, bool retained)
{
    const Clock::time_point now = Clock::now();
    if (retained) {
        // Kept by the broker from whenever: only what is published while
        // we listen may move the console.
        const bool command = topic.rfind(topics_.prefix() + "/command/", 0) == 0;
        refuse("retained", topic,
               command ? "retained commands are not carried out" : "retained requests are not carried out");
        return;
    }
    Order order;
    const std::string refused = read_order(topics_, topic, payload, options_.commands, order);
    if (!refused.empty()) {
        const bool unknown = order.is_request ? order.request_id < 0 : order.command == nullptr;
        const bool disabled = !unknown && !order.is_request && !options_.commands;
        refuse(unknown ? "unknown names" : disabled ? "commands off" : "bad arguments", topic, refused);
        return;
    }
    switch (order.is_request ? limiter_.request(order.request_id, now) : limiter_.command(now)) {
    case OrderLimiter::Verdict::Coalesced: return;
    case OrderLimiter::Verdict::Limited: refuse("rate limited", topic, "rate limited"); return;
    case OrderLimiter::Verdict::Send: break;
    }
    std::unique_lock<std::mutex> sending(send_mutex_);
    korvane_handle h = handle_;
    if (!h) {
        sending.unlock();
        refuse("no mixer link", topic, "no link to the mixer (its UDP port could not be opened)");
        return;
    }
    const int rc = order.is_request ? korvane_request(h, order.request_id) : order.command->send(h, order.values);
    sending.unlock();
    if (rc != 0) {
        refuse("not sent", topic, "could not send to the mixer at " + mixer_text());
        return;
    }
    if (!order.is_request) {
        // The console changed because of MQTT: worth a line each (at most
        // the commands' rate a second).
        std::string args;
        for (const int v : order.values)
            args += " " + std::to_string(v);
        incident("command-sent", order.command->name + args);
    }
}

void Bridge::refuse(const std::string &kind, const std::string &topic, const std::string &reason)
{
    refusals_.add(kind, topic, reason, Clock::now());
    state_.add_refusal(topic, reason);
    wake();
}

void Bridge::publish_health()
{
    // Only a connected bridge can publish it; and a connection made between
    // here and the publishing must not go out as "never connected", so the
    // time is the last connection's, whether or not it still holds.
    const auto connected_at = broker_.connected_at();
    if (connected_at == std::chrono::system_clock::time_point{})
        return;
    Health h;
    h.version = KORVANE_TOOL_VERSION;
    h.mixer = mixer_text();
    h.receive_port = options_.recv_port;
    h.link = link_;
    h.commands = options_.commands;
    h.meters_hz = options_.meters_hz;
    h.broker_connected_at = connected_at;
    state_.set_health(health_json(h));
}

void Bridge::report_dropped_meters(Clock::time_point now)
{
    if (now < next_drop_report_ || !broker_.connected())
        return;
    const unsigned long dropped = state_.meters_dropped();
    if (dropped == meters_dropped_reported_)
        return;
    incident("meters-dropped", std::to_string(dropped - meters_dropped_reported_) +
                                   " meter messages not published, the broker takes them too slowly");
    meters_dropped_reported_ = dropped;
    next_drop_report_ = now + kDropReportEvery;
}

void Bridge::report_broker_absence(Clock::time_point now)
{
    // The link retries on its own and says each cause only once: a long
    // absence (or a broker that accepts but never answers) is said here.
    if (broker_.connected()) {
        broker_absent_since_ = {};
        return;
    }
    if (broker_absent_since_ == Clock::time_point{}) {
        broker_absent_since_ = now;
        next_absence_report_ = now + kAbsenceReportAfter;
    } else if (now >= next_absence_report_) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - broker_absent_since_).count();
        incident("broker-waiting",
                 broker_.broker_text() + " not connected for " + std::to_string(seconds) + " s, still trying");
        next_absence_report_ = now + kAbsenceReportEvery;
    }
}

bool Bridge::run()
{
    for (;;) {
        Clock::time_point now = Clock::now();
        if (!handle_ && now >= next_open_try_)
            try_open_mixer(now);

        switch (state_.supervise(now)) {
        case BridgeState::Change::Online:
            incident("mixer-online", mixer_text());
            // Names the device's software in Home Assistant; a mixer back
            // from a restart may run another one.
            if (korvane_handle h = handle_)
                korvane_request(h, KORVANE_ID_FIRMWARE_VERSION);
            // The mixer may have changed while silent; a burst just sent
            // (start, broker connect) is fresh enough.
            if (now - last_burst_ >= BridgeState::kOfflineAfter)
                request_state(now);
            break;
        case BridgeState::Change::Offline:
            incident("mixer-offline", mixer_text() + " no meter message for 3000 ms");
            break;
        case BridgeState::Change::None: break;
        }
        publish_health();
        if (burst_wanted_.exchange(false)) {
            request_state(now);
            // Meters dropped while the broker was away were never due.
            meters_dropped_reported_ = state_.meters_dropped();
        }

        for (const Publication &p : state_.take(now, broker_.room()))
            if (!broker_.publish(p.topic, p.payload, p.retain))
                state_.put_back(p);
        report_dropped_meters(now);
        report_broker_absence(now);
        const std::string summary = refusals_.take(now);
        if (!summary.empty())
            incident("refused", summary);

        Clock::time_point until = std::min(state_.next_deadline(Clock::now()), refusals_.due());
        if (!handle_)
            until = std::min(until, next_open_try_);
        std::unique_lock<std::mutex> lock(wake_mutex_);
        wake_cv_.wait_until(lock, until, [this] { return woken_ || stopping_; });
        woken_ = false;
        if (stopping_)
            break;
    }
    const bool ended = broker_.stop(topics_.status(), "bridge-down", kStopWaitMs);
    korvane_handle h = nullptr;
    {
        std::lock_guard<std::mutex> lock(send_mutex_);
        h = handle_.exchange(nullptr);
    }
    if (h)
        korvane_close(h);
    incident("bridge-stopped");
    return ended;
}

}  // namespace kmqtt
