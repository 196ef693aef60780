#pragma once
// A small topic site on loopback for the loader tests: pages by target, absolute next links to
// the server's own port, a cookie set on the first page and required on the second, and a page
// that fails twice before it answers.

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "tests/support/loopback_server.h"
#include "tests/topic/topic_page.h"

namespace topic_site {

using tovalin::test::HttpResponseWithLength;
using tovalin::test::LoopbackServer;
using tovalin::test::ServerConnection;

struct TTopicSite {
    // Targets to page bodies; "{base}" in a body becomes "http://127.0.0.1:<port>".
    std::map<std::string, std::string> pages;
    // Set-Cookie value sent with this target's answer.
    std::map<std::string, std::string> setsCookie;
    // Cookie header line ("Cookie: ...") this target insists on; 403 without it.
    std::map<std::string, std::string> needsCookie;
    // 500 answers this target gives before its page.
    std::map<std::string, int> failures;
    // A target held back until its gate opens (at most kGateWait), to let a test act mid-load.
    std::map<std::string, std::shared_ptr<std::atomic<bool>>> gates;
};

inline constexpr auto kGateWait = std::chrono::seconds(10);

inline std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

// Starts a server for the site; the server outlives no test (it stops in its destructor).
inline std::unique_ptr<LoopbackServer> Serve(TTopicSite site) {
    auto shared = std::make_shared<TTopicSite>(std::move(site));
    auto port = std::make_shared<std::atomic<int>>(0);
    auto failuresGiven = std::make_shared<std::map<std::string, int>>();
    auto mutex = std::make_shared<std::mutex>();
    auto server = std::make_unique<LoopbackServer>([=](ServerConnection& conn) {
        for (;;) {
            const std::string head = conn.ReadRequestHead();
            if (head.empty()) {
                return;
            }
            const std::string target = tovalin::test::RequestTarget(head);
            if (const auto gate = shared->gates.find(target); gate != shared->gates.end()) {
                const auto until = std::chrono::steady_clock::now() + kGateWait;
                while (!gate->second->load() && !conn.Stopping() &&
                       std::chrono::steady_clock::now() < until) {
                    conn.Pause(std::chrono::milliseconds(5));
                }
            }
            {
                std::lock_guard lock(*mutex);
                if ((*failuresGiven)[target] < shared->failures[target]) {
                    ++(*failuresGiven)[target];
                    conn.Send(HttpResponseWithLength(500, {}, "try again"));
                    continue;
                }
            }
            const auto page = shared->pages.find(target);
            const auto cookie = shared->needsCookie.find(target);
            if (page == shared->pages.end()) {
                conn.Send(HttpResponseWithLength(404, {}, "not found"));
            } else if (cookie != shared->needsCookie.end() &&
                       head.find("\r\n" + cookie->second + "\r\n") == std::string::npos) {
                conn.Send(HttpResponseWithLength(403, {}, "who are you"));
            } else {
                tovalin::test::HeaderFields headers{{"Content-Type", "text/html; charset=utf-8"}};
                const auto sets = shared->setsCookie.find(target);
                if (sets != shared->setsCookie.end()) {
                    headers.emplace_back("Set-Cookie", sets->second);
                }
                const std::string base = "http://127.0.0.1:" + std::to_string(port->load());
                conn.Send(
                    HttpResponseWithLength(200, headers, ReplaceAll(page->second, "{base}", base)));
            }
        }
    });
    *port = server->port();
    return server;
}

}  // namespace topic_site
