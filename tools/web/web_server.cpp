#include "web_server.h"

#include "clock.h"
#include "incident.h"

#include <libwebsockets.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#ifndef KORVANE_WEB_SOURCE_WWW
#    define KORVANE_WEB_SOURCE_WWW ""
#endif

namespace kweb {

constexpr std::size_t WebServer::kInboxTopics;
constexpr std::chrono::seconds WebServer::kIgnoredReportEvery;

struct WebServer::Client {
    lws *wsi = nullptr;
    Outbox outbox;
    bool timer_set = false;  // a meter message waits for its turn
};

// The one-second clock tick; lws hands back the list entry, which is first.
struct WebServer::Tick {
    lws_sorted_usec_list_t sul;
    WebServer *server;
};

namespace {

const char *const kLiveKey = "hello";

bool is_file(const std::string &path)
{
    struct stat st {
    };
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

const char *mime_type(const std::string &file)
{
    const std::size_t dot = file.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : file.substr(dot + 1);
    static const std::pair<const char *, const char *> types[] = {
        {"html", "text/html; charset=utf-8"},
        {"js", "text/javascript; charset=utf-8"},
        {"css", "text/css; charset=utf-8"},
        {"json", "application/json"},
        {"png", "image/png"},
        {"svg", "image/svg+xml"},
        {"ico", "image/vnd.microsoft.icon"},
        {"woff2", "font/woff2"},
        {"txt", "text/plain; charset=utf-8"},
    };
    for (const auto &t : types)
        if (ext == t.first)
            return t.second;
    return "application/octet-stream";
}

// A name in the page folder, never a way out of it.
bool plain_name(const std::string &name)
{
    return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos;
}

int live_callback(lws *wsi, lws_callback_reasons reason, void *, void *in, std::size_t len)
{
    lws_context *context = lws_get_context(wsi);
    auto *server = context ? static_cast<WebServer *>(lws_context_user(context)) : nullptr;
    return server ? server->on_event(wsi, reason, in, len) : 0;
}

void lws_log(int level, const char *line)
{
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    incident(level == LLL_ERR ? "web-error" : "web-warning", text);
}

}  // namespace

std::string find_www_root()
{
    if (const char *env = std::getenv("KORVANE_WEB_ROOT"); env && *env)
        return env;
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        std::string dir(exe, static_cast<std::size_t>(n));
        dir.resize(dir.rfind('/'));
        const std::string installed = dir + "/../share/korvane-web/www";
        if (is_file(installed + "/index.html"))
            return installed;
    }
    return KORVANE_WEB_SOURCE_WWW;
}

std::string WebServer::page_file(const std::string &path)
{
    if (path == "/" || path == "/index.html")
        return "index.html";
    if (path == "/favicon.ico")
        return "favicon.ico";
    // Any prefix, of one topic level or more, gets its page; an unknown
    // studio is shown as silent by the page itself.
    for (const auto &page : {std::make_pair("/studio/", "studio.html"), std::make_pair("/overlay/", "overlay.html")}) {
        const std::string lead = page.first;
        if (path.size() > lead.size() && path.compare(0, lead.size(), lead) == 0)
            return page.second;
    }
    const std::string stat_lead = "/static/";
    if (path.compare(0, stat_lead.size(), stat_lead) == 0 && plain_name(path.substr(stat_lead.size())))
        return path.substr(stat_lead.size());
    return "";
}

WebServer::WebServer(const Options &options, std::string www_root, std::string version)
    : options_(options)
    , www_root_(std::move(www_root))
    , version_(std::move(version))
    , studios_(options.prefixes)
{}

WebServer::~WebServer()
{
    if (context_)
        lws_context_destroy(context_);
}

bool WebServer::start(std::string &error)
{
    lws_set_log_level(LLL_ERR, lws_log);

    static const lws_protocols protocols[] = {
        {"korvane-live", live_callback, 0, 4096, 0, nullptr, 0},
        {nullptr, nullptr, 0, 0, 0, nullptr, 0},
    };
    lws_context_creation_info info;
    std::memset(&info, 0, sizeof info);
    info.port = options_.listen_port;
    const bool v6 = options_.listen_host.find(':') != std::string::npos;
    const bool every = options_.listen_host == "0.0.0.0" || options_.listen_host == "::";
    info.iface = every ? nullptr : options_.listen_host.c_str();
    info.protocols = protocols;
    info.user = this;
    info.options = LWS_SERVER_OPTION_FAIL_UPON_UNABLE_TO_BIND | (v6 ? 0 : LWS_SERVER_OPTION_DISABLE_IPV6);
    // The descriptor table is sized by this, not by the process's limit,
    // which may be a million.
    info.fd_limit_per_thread = 4096;
    // An idle connection whose browser vanished without closing it is let
    // go after about a minute (live ones carry the time every second, and
    // TCP gives up on those by itself).
    info.ka_time = 30;
    info.ka_probes = 3;
    info.ka_interval = 10;
    info.timeout_secs = 20;
    context_ = lws_create_context(&info);
    if (!context_) {
        error = "cannot listen on " + host_port_text(options_.listen_host, options_.listen_port);
        return false;
    }
    synced_ = clock_synchronised();
    tick_.reset(new Tick{});
    tick_->server = this;
    schedule_tick();
    incident("web-listening", host_port_text(options_.listen_host, options_.listen_port) + " pages " + www_root_);
    return true;
}

void WebServer::run()
{
    while (!stopping_)
        if (lws_service(context_, 0) < 0)
            break;
}

void WebServer::stop()
{
    stopping_ = true;
    if (context_)
        lws_cancel_service(context_);
}

// ---- the broker's side (intake thread) ----

void WebServer::broker_connected()
{
    {
        std::lock_guard<std::mutex> lock(inbox_mutex_);
        // What is still waiting came over the old connection.
        inbox_.clear();
        inbox_slots_.clear();
        inbox_fresh_ = true;
        inbox_connected_ = 1;
    }
    wake();
}

void WebServer::broker_lost()
{
    {
        std::lock_guard<std::mutex> lock(inbox_mutex_);
        inbox_connected_ = 0;
    }
    wake();
}

void WebServer::message(const std::string &topic, const std::string &payload)
{
    {
        std::lock_guard<std::mutex> lock(inbox_mutex_);
        const auto slot = inbox_slots_.find(topic);
        if (slot != inbox_slots_.end())
            slot->second->second = payload;
        else if (inbox_.size() >= kInboxTopics)
            ++inbox_dropped_;
        else {
            inbox_.emplace_back(topic, payload);
            inbox_slots_[topic] = std::prev(inbox_.end());
        }
    }
    wake();
}

void WebServer::wake()
{
    {
        std::lock_guard<std::mutex> lock(inbox_mutex_);
        if (inbox_woken_)
            return;
        inbox_woken_ = true;
    }
    lws_cancel_service(context_);
}

// ---- the loop's side ----

void WebServer::drain_inbox()
{
    std::list<std::pair<std::string, std::string>> messages;
    bool fresh = false;
    int connected = -1;
    unsigned long dropped = 0;
    {
        std::lock_guard<std::mutex> lock(inbox_mutex_);
        messages.swap(inbox_);
        inbox_slots_.clear();
        std::swap(fresh, inbox_fresh_);
        std::swap(connected, inbox_connected_);
        std::swap(dropped, inbox_dropped_);
        inbox_woken_ = false;
    }
    if (dropped)
        incident("topics-dropped", std::to_string(dropped) + " messages of topics beyond the " +
                                       std::to_string(kInboxTopics) + " waiting");
    if (fresh)
        studios_.forget();
    const int64_t now = wall_ms();
    std::vector<Change> changes;
    for (const auto &m : messages) {
        std::string refused;
        for (Change &c : studios_.apply(m.first, m.second, now, &refused))
            changes.push_back(std::move(c));
        if (!refused.empty())
            report_ignored(refused);
    }
    if (fresh || !changes.empty())
        snapshot_.reset();
    if (connected != -1 && (connected == 1) != broker_connected_) {
        broker_connected_ = connected == 1;
        broadcast("broker", std::make_shared<const std::string>(
                                json_text({{"type", "broker"}, {"connected", broker_connected_}})));
    }
    if (fresh) {
        // The whole picture again: what the old broker held may be gone.
        const Text snapshot = snapshot_text();
        for (auto &entry : clients_) {
            entry.second->outbox.drop_all_but(kLiveKey);
            entry.second->outbox.put("broker", std::make_shared<const std::string>(
                                                   json_text({{"type", "broker"}, {"connected", broker_connected_}})));
            entry.second->outbox.put("snapshot", snapshot);
            lws_callback_on_writable(entry.first);
        }
        return;
    }
    for (Change &c : changes)
        broadcast(c.key, std::make_shared<const std::string>(std::move(c.text)), c.meters);
}

void WebServer::report_ignored(const std::string &what)
{
    // A publisher that keeps sending what is not kept fills no log: one
    // line, then at most one every kIgnoredReportEvery with the count.
    ++ignored_;
    const auto now = Clock::now();
    if (now < next_ignored_report_)
        return;
    incident("message-ignored",
             what + (ignored_ > 1 ? " (" + std::to_string(ignored_ - 1) + " more since the last report)" : ""));
    ignored_ = 0;
    next_ignored_report_ = now + kIgnoredReportEvery;
}

void WebServer::broadcast(const std::string &key, const Text &text, bool meters)
{
    for (auto &entry : clients_) {
        Client &client = *entry.second;
        client.outbox.put(key, text, meters);
        // A client waiting out its meter interval is woken by its timer.
        if (!(meters && client.timer_set))
            lws_callback_on_writable(entry.first);
    }
}

std::string WebServer::hello_text() const
{
    return json_text({{"type", "hello"},
                      {"version", version_},
                      {"prefixes", studios_.prefixes()},
                      {"broker", {{"connected", broker_connected_}}},
                      {"time", {{"server_ms", wall_ms()}, {"synced", synced_}}}});
}

Text WebServer::snapshot_text()
{
    if (!snapshot_)
        snapshot_ = std::make_shared<const std::string>(
            json_text({{"type", "snapshot"}, {"studios", studios_.studios_json()}}));
    return snapshot_;
}

Text WebServer::time_text() const
{
    return std::make_shared<const std::string>(
        json_text({{"type", "time"}, {"server_ms", wall_ms()}, {"synced", synced_}}));
}

void WebServer::schedule_tick()
{
    // Just after the next whole second, so that the pages' seconds turn
    // with the studio clock's.
    const int64_t ms = wall_ms();
    const lws_usec_t delay = static_cast<lws_usec_t>(1000 - ms % 1000 + 5) * 1000;
    lws_sul_schedule(
        context_, 0, &tick_->sul, [](lws_sorted_usec_list_t *sul) { reinterpret_cast<Tick *>(sul)->server->tick(); },
        delay);
}

void WebServer::tick()
{
    synced_ = clock_synchronised();
    if (!clients_.empty())
        broadcast("time", time_text());
    schedule_tick();
}

void WebServer::add_client(lws *wsi)
{
    auto client = std::make_unique<Client>();
    client->wsi = wsi;
    client->outbox.put(kLiveKey, std::make_shared<const std::string>(hello_text()));
    client->outbox.put("snapshot", snapshot_text());
    clients_[wsi] = std::move(client);
    lws_callback_on_writable(wsi);
}

int WebServer::write_next(lws *wsi)
{
    const auto found = clients_.find(wsi);
    if (found == clients_.end())
        return 0;
    Client &client = *found->second;
    const auto now = Clock::now();
    Clock::time_point due{};
    const Text text = client.outbox.take(now, &due);
    if (!text) {
        if (due != Clock::time_point{} && !client.timer_set) {
            client.timer_set = true;
            lws_set_timer_usecs(wsi, std::chrono::duration_cast<std::chrono::microseconds>(due - now).count() + 1);
        }
        return 0;
    }
    scratch_.resize(LWS_PRE + text->size());
    std::memcpy(scratch_.data() + LWS_PRE, text->data(), text->size());
    if (lws_write(wsi, scratch_.data() + LWS_PRE, text->size(), LWS_WRITE_TEXT) < static_cast<int>(text->size()))
        return -1;
    if (!client.outbox.empty())
        lws_callback_on_writable(wsi);
    return 0;
}

int WebServer::refuse_method(lws *wsi)
{
    unsigned char buffer[LWS_PRE + 512];
    unsigned char *start = buffer + LWS_PRE, *p = start, *end = buffer + sizeof buffer - 1;
    static const char allow[] = "GET, HEAD";
    if (lws_add_http_header_status(wsi, HTTP_STATUS_METHOD_NOT_ALLOWED, &p, end) ||
        lws_add_http_header_by_token(wsi, WSI_TOKEN_HTTP_ALLOW, reinterpret_cast<const unsigned char *>(allow),
                                     sizeof allow - 1, &p, end) ||
        lws_add_http_header_content_length(wsi, 0, &p, end) || lws_finalize_write_http_header(wsi, start, &p, end))
        return -1;
    return lws_http_transaction_completed(wsi) ? -1 : 0;
}

int WebServer::serve_http(lws *wsi, const char *uri)
{
    // Read-only: only GET and HEAD, whatever the path.
    if (lws_hdr_total_length(wsi, WSI_TOKEN_GET_URI) <= 0 && lws_hdr_total_length(wsi, WSI_TOKEN_HEAD_URI) <= 0)
        return refuse_method(wsi);
    const std::string file = page_file(uri ? uri : "");
    const std::string path = www_root_ + "/" + file;
    if (file.empty() || !is_file(path)) {
        if (lws_return_http_status(wsi, HTTP_STATUS_NOT_FOUND, nullptr))
            return -1;
        return lws_http_transaction_completed(wsi) ? -1 : 0;
    }
    // Page files change with the package; browsers ask again each time.
    static const char headers[] = "Cache-Control: no-cache\r\nX-Content-Type-Options: nosniff\r\n";
    const int n = lws_serve_http_file(wsi, path.c_str(), mime_type(file), headers, sizeof headers - 1);
    if (n < 0 || (n > 0 && lws_http_transaction_completed(wsi)))
        return -1;
    return 0;
}

int WebServer::on_event(lws *wsi, int reason, void *in, std::size_t len)
{
    WebServer *server = this;
    switch (reason) {
    case LWS_CALLBACK_HTTP: return server->serve_http(wsi, static_cast<const char *>(in));
    case LWS_CALLBACK_FILTER_PROTOCOL_CONNECTION: {
        char uri[64] = {};
        // The live channel is at /live and nowhere else.
        if (lws_hdr_copy(wsi, uri, sizeof uri, WSI_TOKEN_GET_URI) < 0 || std::strcmp(uri, "/live") != 0)
            return 1;
        return 0;
    }
    case LWS_CALLBACK_ESTABLISHED: server->add_client(wsi); return 0;
    case LWS_CALLBACK_SERVER_WRITEABLE: return server->write_next(wsi);
    case LWS_CALLBACK_TIMER: {
        const auto found = server->clients_.find(wsi);
        if (found != server->clients_.end()) {
            found->second->timer_set = false;
            lws_callback_on_writable(wsi);
        }
        return 0;
    }
    case LWS_CALLBACK_RECEIVE: return 0;  // read-only: what a browser says is ignored
    case LWS_CALLBACK_CLOSED: server->clients_.erase(wsi); return 0;
    case LWS_CALLBACK_EVENT_WAIT_CANCELLED: server->drain_inbox(); return 0;
    default: break;
    }
    return lws_callback_http_dummy(wsi, static_cast<lws_callback_reasons>(reason), nullptr, in, len);
}

}  // namespace kweb
