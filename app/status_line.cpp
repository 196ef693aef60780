#include "app/status_line.h"

#include <cstdlib>
#include <string_view>

namespace {

// Winsock numbering, as the network layer reports them.
constexpr int kHostNotFound = 11001;
constexpr int kConnectionRefused = 10061;
constexpr int kTimedOut = 10060;
constexpr int kHostUnreachable = 10065;

std::string Number(int n) {
    return std::to_string(n);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The socket error's code from "Socket Error # 10061\r\n...", or 0.
int SocketCode(std::string_view message) {
    constexpr std::string_view kMark = "Socket Error # ";
    const std::size_t at = message.find(kMark);
    if (at == std::string_view::npos) {
        return 0;
    }
    return std::atoi(std::string(message.substr(at + kMark.size(), 8)).c_str());
}

// The status code of a status line "HTTP/1.1 404 Not Found", or 0.
int StatusCode(std::string_view statusLine) {
    const std::size_t space = statusLine.find(' ');
    if (space == std::string_view::npos) {
        return 0;
    }
    return std::atoi(std::string(statusLine.substr(space + 1, 3)).c_str());
}

}  // namespace

std::string FailureWords(const std::string& reason) {
    const std::size_t colon = reason.find(": ");
    const std::string_view name = colon == std::string::npos
                                      ? std::string_view(reason)
                                      : std::string_view(reason).substr(0, colon);
    const std::string_view message = colon == std::string::npos
                                         ? std::string_view()
                                         : std::string_view(reason).substr(colon + 2);
    if (name == "ENetSocketError") {
        switch (const int code = SocketCode(message)) {
            case kHostNotFound:
                return "找不到主机";
            case kConnectionRefused:
                return "连接被拒绝";
            case kTimedOut:
                return "连接超时";
            case kHostUnreachable:
                return "无法到达主机";
            default:
                return code != 0 ? "网络错误 " + Number(code) : "网络错误";
        }
    }
    if (name == "ENetTLSCertificateError") {
        return "证书不被信任";
    }
    if (StartsWith(name, "ENetTLS")) {
        return "安全连接失败";
    }
    if (name == "ENetRedirectError") {
        return "重定向被拒绝";
    }
    if (name == "ENetHTTPProtocolException") {
        const int code = StatusCode(message);
        return code != 0 ? "服务器回应 HTTP " + Number(code) : "服务器回应出错";
    }
    if (name == "ENetIOHandlerPropInvalid") {
        return "不支持 https 地址";
    }
    if (name == "EConvertError" || name == "ENetUnknownProtocol") {
        return "地址无效";
    }
    if (name == "ENetReadTimeout") {
        return "读取超时";
    }
    return "网络错误";
}

void TReadingStatus::LoadStarted() {
    *this = TReadingStatus();
    loading_ = true;
}

void TReadingStatus::PageFetched() {
    ++pagesDone_;
}

void TReadingStatus::PageGaveUp(const std::string& reason) {
    if (failure_.empty()) {
        failure_ = (pagesDone_ == 0 ? std::string() : "第 " + Number(pagesDone_ + 1) + " 页") +
                   "载入失败：" + FailureWords(reason);
    }
    ++pagesDone_;
}

void TReadingStatus::PageMalformed() {
    ++pagesMalformed_;
}

void TReadingStatus::OpeningShown(bool topicFound) {
    opening_ = true;
    postIndex_ = -1;
    // A first page that gave up says so already; an empty page is no topic either way.
    notATopic_ = !topicFound && failure_.empty();
}

void TReadingStatus::LoadEnded() {
    loading_ = false;
}

void TReadingStatus::Showing(int postIndex, int listCount) {
    if (postIndex != postIndex_ || listCount != listCount_) {
        endReached_ = false;
    }
    opening_ = true;
    postIndex_ = postIndex;
    listCount_ = listCount;
}

void TReadingStatus::EndReached() {
    endReached_ = true;
}

std::string TReadingStatus::Text() const {
    constexpr std::string_view kGap = "　";
    std::string text;
    const auto add = [&](const std::string& part) {
        if (!text.empty()) {
            text += kGap;
        }
        text += part;
    };
    if (notATopic_) {
        add("此页不是话题页面");
    } else if (opening_) {
        // The opening post counts as the first.
        add("第 " + Number(postIndex_ + 2) + " / " + Number(listCount_ + 1) + " 帖");
    }
    if (endReached_) {
        add(loading_ ? "已是目前最后一帖" : "已是最后一帖");
    }
    if (!failure_.empty()) {
        add(failure_);
    }
    if (pagesMalformed_ > 0) {
        add(Number(pagesMalformed_) + " 页内容异常，未收全");
    }
    if (loading_ && failure_.empty() && !notATopic_) {
        add("正在载入第 " + Number(pagesDone_ + 1) + " 页…");
    }
    return text;
}
