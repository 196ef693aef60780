#pragma once
// Builds topic pages in the community site's layout for the tests: a starter link, the opening
// post, replies and the next-page element.

#include <string>

namespace topic_page {

inline std::string Starter(const std::string& url, const std::string& name) {
    return "<span class=\"from\">来自: <a href=\"" + url + "\">" + name + "</a></span>\n";
}

inline std::string Opening(const std::string& post) {
    return "<div class=\"topic-content\">\n" + post +
           "\n</div>\n<div class=\"sns-bar\">分享</div>\n";
}

// A reply whose author line shows the name followed by " (signature)".
inline std::string Reply(const std::string& name, const std::string& body) {
    return "<li><h4><a href=\"http://s/people/x/\">" + name + "</a> (" + name +
           "的签名)</h4></div>\n" + body +
           "\n<div class=\"operation_div\" id=\"op\">回应</div></li>\n";
}

// A reply whose author line has no " (" after the name.
inline std::string PlainReply(const std::string& name, const std::string& body) {
    return "<li><h4><a href=\"http://s/people/x/\">" + name + "</a></h4></div>\n" + body +
           "\n<div class=\"operation_div\" id=\"op\">回应</div></li>\n";
}

inline std::string Next(const std::string& address) {
    return "<span class=\"next\"><link rel=\"next\" href=\"" + address + "\"/><a href=\"" +
           address + "\">后页&gt;</a></span>\n";
}

// The last page: the label stands alone in the span, past position 24 of it.
inline std::string LastPageNext() {
    return "<span class=\"next\">\n        后页&gt;\n</span>\n<img src=\"end.png\"/>\n";
}

inline std::string Page(const std::string& body) {
    return "<html><head><title>小组话题</title></head><body>\n" + body + "</body></html>\n";
}

}  // namespace topic_page
