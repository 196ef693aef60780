#include "tools/sample-site/sample_topic.h"

#include <algorithm>
#include <array>
#include <utility>

// The page layout follows the community site closely enough that a reader cutting at its
// markers finds exactly the starter's posts, and it carries the look-alikes that a careless
// reader would also pick up:
// - another poster, "旧客", whose name is the end of the starter's name;
// - replies that quote the starter: the quoted name link is followed by "</span>", not " (";
// - later pages repeat the starter's header link, again without " (" after the name;
// - a "<link rel=\"next\">" in the page head, before the next-page element;
// - nested "<div>"s and "</div>" inside the starter's posts;
// - one page (the seventh) without any reply of the starter;
// - a last page whose next-page element has no link and no "\"/>" after it.

namespace {

struct Person {
    const char* slug;
    const char* name;
    const char* signature;
};

constexpr Person kStarter{"qingxi", "青溪旧客", "江南人，写旧事"};
constexpr std::array<Person, 6> kOthers{{
    {"zhuying", "竹影", "扫阶尘不动"},
    {"beian", "北岸渔人", "只读不写"},
    {"xiaoman", "小满", "小得盈满"},
    {"tingyu", "听雨人", "客舟中"},
    {"jiuke", "旧客", "不是楼主"},
    {"lanye", "Lan&amp;Ye", "a &lt;b&gt; c"},
}};

// The seventh page carries no reply of the starter, so a reader must go on past it.
constexpr int kPageWithoutStarter = 6;

constexpr std::array<const char*, 10> kSentences{{
    "那年春天，河边的柳树刚抽出新芽，镇上的石桥还没有翻修。",
    "外婆总说，雨水多的年份，茶叶反而更香一些。",
    "我们沿着青石板路走到码头，看见渡船慢慢靠岸。",
    "旧书店的老板记得每一位常客的名字，也记得他们爱读的书。",
    "傍晚的炊烟从白墙黑瓦间升起，像一封没有写完的信。",
    "后来我才知道，那口老井早在民国时就已经有了。",
    "冬至那天，全家人围坐在一起包汤圆，窗外下着小雪。",
    "学校后面的小山上有一片竹林，风一吹就沙沙作响。",
    "集市上卖糖画的师傅，手腕一抖便是一条龙。",
    "多年以后再回去，桥还在，人却散了。",
}};

constexpr std::array<const char*, kStarterBannerColours> kBannerColours{
    {"#d7263d", "#1b998b", "#2e86de", "#8e44ad", "#27ae60", "#f1c40f", "#34495e", "#e84393"}};

// A 24 x 24 teal tile with a yellow disc, small enough to ride inside a post as a data address.
constexpr const char* kDiscPng =
    "data:image/png;base64,"
    "iVBORw0KGgoAAAANSUhEUgAAABgAAAAYEAIAAAA/hXbsAAACWklEQVRIx2OUlp45s7ubYdAApoF2wKiDSAUsJOtY"
    "xaDEMFfnO+e1Z+1+2QJ9l1WcTvBm3/KTesFq+vHvM7Hfp/lZ9hl8nqy2fdO8D8W6169wfdeWqmQIY7jHkESM8YzE"
    "J2qlb+yX3wTNuicvt9xFionV6uM7YnQ9Y/t9gp83TfTh/cgj9/h/6omsxq+eqCizuM+Te59nywOViBlGxDsFAqR+"
    "sVp8/LzlqUrkDH3Lpzz59zkpcpDSJ/ZLb0LnfZfft7SCeEfgAnM/yu9ZWq30nv3SmzDSHbSKQYlh3qwn8grL7Sl3"
    "CjKY9VleabkFw0oGJYZ5JDhIh5HzxrMGKQZWy48fqOsgqS+s5h+/6fzlvP6smQQH+YULdF02oK5TUMyPEOi6rE+C"
    "g5yf8xbesqGdg5zu8xbcciTBQZLPWU0//qOdg6R+slp8/EyCg54J/T7Fz0Y7Bz0X/H2Kn50EB+2T/dyvdoh2Dtor"
    "+blf7QgJDtq08kOZ7gXaOWjT6g9luudJcNAVxu+aUnXP2H+f4OehrlOesfw+zs9/5f93DakGEhzEEM5wjyEpTfjh"
    "/chj1HVQmvjDB5GHcFW3BKqOewI/9URWJfE8dI5uo9wpSVwPnaPb8VexRFWuJ+S+TFL85iNzZ3nGhWfMv4/z8xPv"
    "iGcMv4/zC/rI3VmRcf6EwpdJil/xqyehPXSP76eeyBqXi7eUcrl1vnGeeTbJL1Wg97K601ne3FveUi9ZTT/+eSb+"
    "+zQ/yz6zz1PUNm+a8aFI9/YVru8GUhUMPAx8DGuJsYWE9hB9wKBrwg46BwEARiHZ1BorA/cAAAAASUVORK5CYII=";

// Deterministic mixing so every page looks different but is the same on every request.
unsigned Mix(unsigned x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

std::string Sentences(unsigned seed, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += kSentences[Mix(seed + static_cast<unsigned>(i)) % kSentences.size()];
    }
    return text;
}

std::string TwoDigits(int n) {
    std::string s = std::to_string(n % 100);
    return s.size() == 1 ? "0" + s : s;
}

std::string Banner(int k) {
    return std::string("<div class=\"starter-banner\" style=\"background:") +
           StarterBannerColour(k) + ";width:480px;height:48px\"></div>";
}

}  // namespace

const char* StarterBannerColour(int k) {
    return kBannerColours[static_cast<size_t>(k) % kBannerColours.size()];
}

SampleTopic::SampleTopic(TopicShape shape, std::string base)
    : shape_(std::move(shape)), base_(std::move(base)) {
    if (shape_.title.empty()) {
        shape_.title = "江南旧事（连载，楼主只在楼里更新）";
    }
}

const char* SampleTopic::StarterName() {
    return kStarter.name;
}

std::string SampleTopic::StarterProfile() const {
    return base_ + "/people/" + kStarter.slug + "/";
}

int SampleTopic::RepliesOnPage(int page) const {
    if (page < 0 || page >= shape_.pages) {
        return 0;
    }
    if (page < shape_.pages - 1) {
        return shape_.repliesPerPage;
    }
    return std::max(1, shape_.repliesPerPage - shape_.repliesPerPage / 3);
}

std::string SampleTopic::PageAddress(int page) const {
    std::string address = base_ + "/group/topic/" + std::to_string(shape_.id) + "/";
    if (page > 0) {
        address += "?start=" + std::to_string(static_cast<long>(page) * shape_.repliesPerPage);
    }
    return address;
}

int SampleTopic::PageForStart(long start) const {
    if (start < 0 || start % shape_.repliesPerPage != 0) {
        return -1;
    }
    const long page = start / shape_.repliesPerPage;
    return page < shape_.pages ? static_cast<int>(page) : -1;
}

bool SampleTopic::IsStarterReply(int reply) const {
    if (shape_.pages > kPageWithoutStarter && PageOf(reply) == kPageWithoutStarter) {
        return false;
    }
    // The starter answers first on every page that has a reply of his, so the first page
    // settles the reader's reply key early.
    return reply % shape_.repliesPerPage == 0 || reply % 5 == 2 || reply % 7 == 3;
}

int SampleTopic::StarterRepliesBefore(int reply) const {
    int count = 0;
    for (int r = 0; r < reply; ++r) {
        count += IsStarterReply(r) ? 1 : 0;
    }
    return count;
}

std::string SampleTopic::OpeningPost() const {
    std::string post = Banner(0);
    post += "<p>" + Sentences(static_cast<unsigned>(shape_.id), 3) + "</p>";
    post +=
        "<p><b>这个帖子是澜页的样例话题。</b>楼主的回应夹在大家的回应之间，"
        "澜页只挑出楼主写的内容，一帖一帖地看。</p>";
    post += "<div class=\"image-container\"><img src=\"" + base_ +
            "/img/lake.svg\" width=\"240\" height=\"90\" alt=\"湖景\"/>"
            "<img src=\"" +
            std::string(kDiscPng) + "\" width=\"24\" height=\"24\" alt=\"\"/></div>";
    post += "<ul><li>第一章：石桥</li><li>第二章：码头</li><li>第三章：旧书店</li></ul>";
    post += "<p>符号也照原样：&lt;江南&gt; &amp; “雨”。</p>";
    return post;
}

std::string SampleTopic::ReplyBody(int reply, int starterOrdinal) const {
    const unsigned seed = Mix(static_cast<unsigned>(shape_.id) * 1000003U + reply);
    std::string body;
    if (starterOrdinal > 0) {
        body += Banner(starterOrdinal);
        if (starterOrdinal % 3 == 0) {
            const Person& quoted = kOthers[seed % kOthers.size()];
            body += "<div class=\"reply-quote\"><span class=\"short\">" + Sentences(seed, 1) +
                    "</span><span class=\"pubdate\"><a href=\"" + base_ + "/people/" + quoted.slug +
                    "/\">" + quoted.name + "</a></span></div>";
        }
        body += "<p class=\"reply-content\">（" + std::to_string(starterOrdinal) + "）" +
                Sentences(seed, 2) + "<br/>" + Sentences(seed + 7, 1) + "</p>";
        if (starterOrdinal % 4 == 1) {
            body += "<div class=\"image-container\"><img src=\"" + base_ +
                    "/img/lake.svg\" width=\"240\" height=\"90\" alt=\"湖景\"/></div>";
        } else if (starterOrdinal % 4 == 2) {
            body += "<p><img src=\"" + std::string(kDiscPng) +
                    "\" width=\"24\" height=\"24\" alt=\"\"/> <i>未完待续</i></p>";
        }
        return body;
    }
    if (seed % 4 == 0) {
        // Quoting the starter must not make this reply look like one of his.
        body += "<div class=\"reply-quote\"><span class=\"short\">" + Sentences(seed, 1) +
                "</span><span class=\"pubdate\"><a href=\"" + StarterProfile() + "\">" +
                kStarter.name + "</a></span></div>";
    }
    body += "<p class=\"reply-content\">" + Sentences(seed, 1 + seed % 2) + "</p>";
    return body;
}

std::string SampleTopic::ReplyHtml(int reply, int ordinal) const {
    const bool starter = ordinal > 0;
    const Person& who =
        starter ? kStarter : kOthers[Mix(static_cast<unsigned>(reply) + 17U) % kOthers.size()];
    const std::string number = std::to_string(shape_.id * 100000L + reply);
    std::string html;
    html += "<li class=\"clearfix comment-item\" id=\"c" + number + "\">\n";
    html += "    <div class=\"user-face\">\n        <a href=\"" + base_ + "/people/" + who.slug +
            "/\"><img class=\"pil\" src=\"" + base_ +
            "/img/face.svg\" width=\"48\" height=\"48\" alt=\"" + who.slug + "\"/></a>\n";
    html += "    </div>\n    <div class=\"reply-doc content\">\n";
    html += "        <div class=\"bg-img-green\">\n            <h4>\n";
    html += "                <a href=\"" + base_ + "/people/" + who.slug + "/\" class=\"\">" +
            who.name + "</a> (" + who.signature + ")\n";
    html += "                <span class=\"pubtime\">2026-03-" + TwoDigits(1 + reply / 60 % 28) +
            " " + TwoDigits(reply / 3 % 24) + ":" + TwoDigits(reply % 60) + ":00</span>\n";
    html += "            </h4>\n        </div>\n";
    html += "        " + ReplyBody(reply, ordinal) + "\n";
    html += "        <div class=\"operation_div\" id=\"" + number + "\">\n";
    html +=
        "            <div class=\"operation-more\"><a href=\"#\" class=\"lnk-reply\">回应</a>"
        "</div>\n        </div>\n    </div>\n</li>\n";
    return html;
}

std::vector<std::string> SampleTopic::StarterReplies() const {
    std::vector<std::string> replies;
    int ordinal = 0;
    int reply = 0;
    for (int page = 0; page < shape_.pages; ++page) {
        const int count = RepliesOnPage(page);
        for (int i = 0; i < count; ++i, ++reply) {
            if (IsStarterReply(reply)) {
                replies.push_back(ReplyBody(reply, ++ordinal));
            }
        }
    }
    return replies;
}

std::string SampleTopic::PageHtml(int page) const {
    const bool last = page == shape_.pages - 1;
    std::string html;
    html.reserve(static_cast<size_t>(RepliesOnPage(page)) * 1500 + 4096);
    html += "<!DOCTYPE html>\n<html lang=\"zh-cmn-Hans\">\n<head>\n";
    html += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n";
    html += "<title>" + shape_.title + "</title>\n";
    if (!last) {
        html += "<link rel=\"next\" href=\"" + PageAddress(page + 1) + "\">\n";
    }
    html += "</head>\n<body>\n<div id=\"wrapper\">\n<div id=\"content\">\n";
    html += "<h1>" + shape_.title + "</h1>\n<div class=\"article\">\n";
    html += "<div class=\"topic-doc\">\n  <h3>\n";
    html += "    <span class=\"from\">来自: <a href=\"" + StarterProfile() + "\">" + kStarter.name +
            "</a></span>\n";
    html += "    <span class=\"create-time color-green\">2026-03-01 09:00:00</span>\n  </h3>\n";
    if (page == 0) {
        html += "  <div class=\"topic-content\">\n    " + OpeningPost() + "\n";
        html +=
            "    <div class=\"sns-bar\">\n      <a href=\"#\" class=\"lnk-like\">赞</a> "
            "<a href=\"#\" class=\"lnk-collect\">收藏</a>\n    </div>\n  </div>\n";
    }
    html += "</div>\n<ul class=\"topic-reply\" id=\"comments\">\n";
    int reply = page * shape_.repliesPerPage;
    int ordinal = StarterRepliesBefore(reply);
    for (int i = 0; i < RepliesOnPage(page); ++i, ++reply) {
        html += ReplyHtml(reply, IsStarterReply(reply) ? ++ordinal : 0);
    }
    html += "</ul>\n<div class=\"paginator\">\n";
    if (page > 0) {
        html += "  <span class=\"prev\"><link rel=\"prev\" href=\"" + PageAddress(page - 1) +
                "\"/><a href=\"" + PageAddress(page - 1) + "\">&lt;前页</a></span>\n";
    } else {
        html += "  <span class=\"prev\">&lt;前页</span>\n";
    }
    // A window of page numbers around this one, as the site shows them.
    const int first = std::max(0, page - 4);
    const int end = std::min(shape_.pages, page + 5);
    for (int p = first; p < end; ++p) {
        if (p == page) {
            html += "  <span class=\"thispage\">" + std::to_string(p + 1) + "</span>\n";
        } else {
            html += "  <a href=\"" + PageAddress(p) + "\">" + std::to_string(p + 1) + "</a>\n";
        }
    }
    if (!last) {
        html += "  <span class=\"next\">\n    <link rel=\"next\" href=\"" + PageAddress(page + 1) +
                "\"/>\n    <a href=\"" + PageAddress(page + 1) + "\">后页&gt;</a>\n  </span>\n";
    } else {
        html += "  <span class=\"next\">后页&gt;</span>\n";
    }
    html += "</div>\n</div>\n</div>\n";
    html += "<div id=\"footer\"><span class=\"fleft\">&copy; 2026 澜页样例站</span></div>\n";
    html += "</div>\n</body>\n</html>\n";
    return html;
}
