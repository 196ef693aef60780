#include "tools/sample-site/sample_site.h"

#include <charconv>
#include <chrono>
#include <thread>

#include "tools/sample-site/announce_page.h"
#include "tools/text/html_escape.h"

namespace {

// Issued sessions are remembered up to this many; a long benchmark run then forgets the
// oldest ones wholesale instead of growing without bound.
constexpr size_t kMaxSessions = 100000;

constexpr const char* kLakeSvg =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"240\" height=\"90\" viewBox=\"0 0 240 90\">"
    "<rect width=\"240\" height=\"90\" fill=\"#dff3f7\"/>"
    "<path d=\"M0 60 L50 25 L90 50 L140 15 L200 55 L240 35 L240 90 L0 90 Z\" fill=\"#6a9f7f\"/>"
    "<rect y=\"66\" width=\"240\" height=\"24\" fill=\"#3f7fbf\"/>"
    "<circle cx=\"200\" cy=\"20\" r=\"10\" fill=\"#f6d04d\"/></svg>";

constexpr const char* kFaceSvg =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"48\" height=\"48\" viewBox=\"0 0 48 48\">"
    "<rect width=\"48\" height=\"48\" rx=\"6\" fill=\"#e3e8ee\"/>"
    "<circle cx=\"24\" cy=\"18\" r=\"9\" fill=\"#9aa7b5\"/>"
    "<path d=\"M8 44 Q24 22 40 44 Z\" fill=\"#9aa7b5\"/></svg>";

SiteResponse Page(int status, std::string body) {
    SiteResponse response;
    response.status = status;
    response.body = std::move(body);
    return response;
}

SiteResponse Simple(int status, const std::string& message) {
    return Page(status, "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + message +
                            "</title></head><body><p>" + message + "</p></body></html>\n");
}

std::string Link(const std::string& address, const std::string& text) {
    return "<li><a href=\"" + address + "\">" + text + "</a></li>\n";
}

}  // namespace

SampleSite::SampleSite(const SiteOptions& options, std::string base)
    : options_(options),
      base_(std::move(base)),
      sample_(TopicShape{kSampleTopicId, 12, 20, ""}, base_),
      big_(TopicShape{kBigTopicId, options.bigPages, options.bigRepliesPerPage,
                      "生成的大话题（基准测试用）"},
           base_),
      failuresLeft_(options.failFirst) {}

SiteResponse SampleSite::Respond(const SiteRequest& request) {
    if (failuresLeft_.load() > 0 && failuresLeft_.fetch_sub(1) > 0) {
        return Simple(503, "服务暂时不可用 (sample site: failing on purpose)");
    }
    if (request.method != "GET" && request.method != "HEAD") {
        SiteResponse response = Simple(405, "Method Not Allowed");
        response.headers.emplace_back("Allow", "GET, HEAD");
        return response;
    }
    const std::string& path = request.path;
    if (path == "/") {
        return Page(200,
                    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                    "<title>澜页样例站</title></head><body><h1>澜页样例站</h1><ul>\n" +
                        Link(sample_.PageAddress(0), "样例话题（12 页）") +
                        Link(big_.PageAddress(0), "生成的大话题") +
                        Link(base_ + "/blog/post/announce.html", "公告页") +
                        "</ul></body></html>\n");
    }
    if (path == "/group/topic/" + std::to_string(kSampleTopicId) + "/") {
        return TopicPage(sample_, request);
    }
    if (path == "/group/topic/" + std::to_string(kBigTopicId) + "/") {
        return TopicPage(big_, request);
    }
    if (path == "/blog/post/announce.html") {
        return Page(200, AnnouncementPageHtml(base_));
    }
    if (path == "/blog/post/announce-current.html") {
        return Page(200, AnnouncementPageHtml(base_, kRunningVersion));
    }
    for (const AnnouncementRecord& record : AnnouncementRecords(base_)) {
        if (record.address == base_ + path && path != "/group/topic/1001/") {
            return Page(200, "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" +
                                 record.title + "</title></head><body><h1>" + record.title +
                                 "</h1><p>澜页样例站的公告正文。</p></body></html>\n");
        }
    }
    if (path.rfind("/people/", 0) == 0 && path.size() > 9 && path.back() == '/') {
        // The request's own text goes back into the page only escaped.
        const std::string slug = HtmlEscape(path.substr(8, path.size() - 9));
        return Page(200, "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + slug +
                             "</title></head><body><h1>" + slug +
                             "</h1><p>这个人很懒，什么也没有写。</p></body></html>\n");
    }
    if (path == "/img/lake.svg" || path == "/img/face.svg") {
        SiteResponse response = Page(200, path == "/img/lake.svg" ? kLakeSvg : kFaceSvg);
        response.contentType = "image/svg+xml";
        return response;
    }
    return Simple(404, "Not Found");
}

SiteResponse SampleSite::TopicPage(const SampleTopic& topic, const SiteRequest& request) {
    int page = 0;
    if (const auto start = request.QueryValue("start")) {
        long value = -1;
        const auto [ptr, ec] = std::from_chars(start->data(), start->data() + start->size(), value);
        if (ec != std::errc() || ptr != start->data() + start->size()) {
            value = -1;
        }
        page = topic.PageForStart(value);
        if (page < 0) {
            return Simple(404, "Not Found");
        }
    }
    if (page > 0 && options_.requireCookie && !KnownSession(request)) {
        return Simple(403, "需要先打开话题的第一页 (sample site: cookie required)");
    }
    if (page > 0 && options_.delayMs > 0) {
        // A slow site keeps a load running long enough to act on the window meanwhile.
        std::this_thread::sleep_for(std::chrono::milliseconds(options_.delayMs));
    }
    SiteResponse response = Page(200, topic.PageHtml(page));
    if (page == 0 && !KnownSession(request)) {
        response.headers.emplace_back(
            "Set-Cookie", std::string(kSessionCookie) + "=" + IssueSession() + "; path=/");
    }
    return response;
}

std::string SampleSite::IssueSession() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::lock_guard<std::mutex> guard(sessionsLock_);
    if (sessions_.size() >= kMaxSessions) {
        sessions_.clear();
    }
    const unsigned long long mixed =
        (static_cast<unsigned long long>(now) * 0x9E3779B97F4A7C15ULL) ^ ++sessionCounter_;
    char text[17];
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        text[i] = digits[(mixed >> (60 - 4 * i)) & 15];
    }
    text[16] = '\0';
    sessions_.insert(text);
    return text;
}

bool SampleSite::KnownSession(const SiteRequest& request) {
    const auto value = request.CookieValue(kSessionCookie);
    if (!value) {
        return false;
    }
    std::lock_guard<std::mutex> guard(sessionsLock_);
    return sessions_.count(*value) != 0;
}
