#include "tools/sample-site/announce_page.h"

std::vector<AnnouncementRecord> AnnouncementRecords(const std::string& base,
                                                    const std::string& version) {
    std::vector<AnnouncementRecord> records = {
        {"澜页 1.1 发布：翻页更快，图片更清楚", base + "/blog/post/1.html"},
        {"样例话题《江南旧事》已更新到第十二页", base + "/group/topic/1001/"},
        {"使用提示：左右方向键可以前后翻看楼主的帖子", base + "/blog/post/3.html"},
        {"离线演示：本机样例站点，不需要联网", base + "/blog/post/4.html"},
        {"欢迎反馈：告诉我们你最常看的小组", base + "/blog/post/5.html"},
    };
    for (int k = 6; k <= 12; ++k) {
        records.push_back(
            {"保留记录 " + std::to_string(k), base + "/blog/post/" + std::to_string(k) + ".html"});
    }
    records.push_back({version, base + "/update/"});
    return records;
}

std::string AnnouncementPageHtml(const std::string& base, const std::string& version) {
    std::string html =
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>澜页公告 - 样例博客</title>\n</head>\n<body>\n<div class=\"post\">\n"
        "<h2>澜页公告</h2>\n<p>以下段落由澜页读取，请勿改动格式。</p>\n";
    for (const AnnouncementRecord& record : AnnouncementRecords(base, version)) {
        html += "<P>velkorntitle:" + record.title + "</P>\n";
        html += "<P>velkornurl:" + record.address + "</P>\n";
    }
    html += "</div>\n</body>\n</html>\n";
    return html;
}
