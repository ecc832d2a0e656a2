// The browsers' end: HTTP for the page files and the live WebSocket at
// /live, all on one libwebsockets event loop. The broker's messages come
// in from the intake's thread through a small inbox (one slot per topic)
// and wake the loop; everything else happens on the loop's thread.
#ifndef WEB_WEB_SERVER_H
#define WEB_WEB_SERVER_H

#include "broker_intake.h"
#include "options.h"
#include "outbox.h"
#include "studio_state.h"

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

struct lws;
struct lws_context;

namespace kweb {

class WebServer : public BrokerIntake::Events
{
public:
    // Topics waiting in the inbox at most; more distinct ones are dropped
    // (and counted) until the loop has taken them.
    static constexpr std::size_t kInboxTopics = 4096;
    static constexpr std::chrono::seconds kIgnoredReportEvery{10};

    WebServer(const Options &options, std::string www_root, std::string version);
    ~WebServer() override;
    WebServer(const WebServer &) = delete;
    WebServer &operator=(const WebServer &) = delete;

    // Listens; false (with the reason) when it cannot.
    bool start(std::string &error);
    // Serves until stop() (from any thread).
    void run();
    void stop();

    void broker_connected() override;
    void broker_lost() override;
    void message(const std::string &topic, const std::string &payload) override;

    // The page file a GET of `path` serves, relative to the page folder;
    // "" when there is none.
    static std::string page_file(const std::string &path);

    struct Client;
    struct Tick;

    // libwebsockets' callback for everything on the loop.
    int on_event(lws *wsi, int reason, void *in, std::size_t len);

private:
    int serve_http(lws *wsi, const char *uri);
    int refuse_method(lws *wsi);
    void add_client(lws *wsi);
    int write_next(lws *wsi);
    void drain_inbox();
    void report_ignored(const std::string &what);
    void broadcast(const std::string &key, const Text &text, bool meters = false);
    void tick();
    void schedule_tick();
    std::string hello_text() const;
    Text snapshot_text();
    Text time_text() const;
    void wake();

    const Options &options_;
    const std::string www_root_;
    const std::string version_;
    lws_context *context_ = nullptr;
    std::atomic<bool> stopping_{false};

    // The loop's thread only:
    StudioState studios_;
    bool broker_connected_ = false;
    bool synced_ = false;
    Text snapshot_;  // cached until the state changes
    unsigned long ignored_ = 0;
    Clock::time_point next_ignored_report_{};
    std::unordered_map<lws *, std::unique_ptr<Client>> clients_;
    std::vector<unsigned char> scratch_;
    std::unique_ptr<Tick> tick_;

    // Shared with the intake's thread:
    std::mutex inbox_mutex_;
    std::list<std::pair<std::string, std::string>> inbox_;
    std::unordered_map<std::string, std::list<std::pair<std::string, std::string>>::iterator> inbox_slots_;
    bool inbox_fresh_ = false;  // connected since the last drain: forget the old state
    int inbox_connected_ = -1;  // -1: no change since the last drain
    bool inbox_woken_ = false;
    unsigned long inbox_dropped_ = 0;
};

// Where the page files are: KORVANE_WEB_ROOT when set, else the installed
// folder beside the program (BINDIR/../share/korvane-web/www), else the
// source tree's.
std::string find_www_root();

}  // namespace kweb

#endif  // WEB_WEB_SERVER_H
