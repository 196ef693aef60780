#include "tools/export/topic_export.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

#include "net/net_exceptions.h"
#include "tools/export/export_text.h"
#include "tools/export/post_markup.h"
#include "tools/text/html_escape.h"
#include "topic/topic_cutting.h"

std::optional<TExportFormat> ParseExportFormat(std::string_view name) {
    if (name == "html") {
        return TExportFormat::Html;
    }
    if (name == "markdown") {
        return TExportFormat::Markdown;
    }
    if (name == "json") {
        return TExportFormat::Json;
    }
    return std::nullopt;
}

TExportRecorder::TExportRecorder(std::string address, TExportProgress progress)
    : address_(std::move(address)), progress_(std::move(progress)) {}

TPageGetter TExportRecorder::Watch(TPageGetter get) {
    return [this, get = std::move(get)](const std::string& address) {
        if (stopping_.load()) {
            throw ENetException("Stopped before " + address);
        }
        {
            std::lock_guard lock(mutex_);
            if (stalled_.count(address) != 0) {
                throw ENetReadTimeout("Read timed out (the site stalled on this address before)");
            }
        }
        std::string body;
        try {
            body = get(address);
        } catch (const ENetReadTimeout&) {
            std::lock_guard lock(mutex_);
            stalled_.insert(address);
            throw;
        }
        std::lock_guard lock(mutex_);
        topic_.BytesFetched += body.size();
        if (!firstBodySeen_) {
            firstBodySeen_ = true;
            // The loader takes a body that is not UTF-8 as an empty page.
            pageLooksLikeTopic_ = IsValidUtf8(body) &&
                                  body.find(topic_markers::kStarterLink) != std::string::npos &&
                                  body.find(topic_markers::kTopicContent) != std::string::npos;
            topic_.Title = PageTitle(body);
        }
        return body;
    };
}

TTopicLoaderHooks TExportRecorder::Hooks() {
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [this] { return address_; };
    hooks.ShowStarterPost = [this](const std::string& firstPost) {
        // Runs on the load's thread right after the load cut its starter.
        std::lock_guard lock(mutex_);
        topic_.FirstPost = firstPost;
        topic_.StarterUrl = loader_->OwnStarterUrl();
        topic_.StarterName = loader_->OwnStarterName();
        starterSeen_ = true;
    };
    hooks.PublishPosts = [this](const std::shared_ptr<TPostList>& posts) {
        std::size_t pages = 0;
        std::uint64_t bytes = 0;
        {
            std::lock_guard lock(mutex_);
            topic_.PostList = posts;
            pages = topic_.Pages.size();
            bytes = topic_.BytesFetched;
        }
        if (progress_) {
            progress_(pages, static_cast<std::size_t>(posts->Count()), bytes);
        }
    };
    hooks.PageFetched = [this](const std::string& address) {
        std::lock_guard lock(mutex_);
        topic_.Pages.push_back(address);
    };
    hooks.PageGaveUp = [this](const std::string& address, const std::string& reason) {
        std::lock_guard lock(mutex_);
        topic_.PagesGivenUp.push_back({address, reason});
    };
    hooks.PageMalformed = [this](const std::string& address) {
        std::lock_guard lock(mutex_);
        topic_.PagesMalformed.push_back(address);
    };
    return hooks;
}

void TExportRecorder::Run(TPageGetter get) {
    TTopicLoader loader(Watch(std::move(get)), Hooks());
    loader_ = &loader;
    loader.Execute();
}

void TExportRecorder::Stop() {
    stopping_.store(true);
}

TTopicExport TExportRecorder::Snapshot() const {
    std::lock_guard lock(mutex_);
    TTopicExport topic = topic_;
    topic.IsTopic = pageLooksLikeTopic_ && !topic.Pages.empty() &&
                    (!starterSeen_ || !topic.StarterName.empty());
    if (topic.PostList) {
        topic.Posts = topic.PostList->Views();
    }
    return topic;
}

std::shared_ptr<TPostList> TExportRecorder::Posts() const {
    std::lock_guard lock(mutex_);
    return topic_.PostList;
}

TTopicExport ExportTopic(const std::string& address, TPageGetter get,
                         const TExportProgress& progress) {
    TExportRecorder recorder(address, progress);
    recorder.Run(std::move(get));
    return recorder.Snapshot();
}

namespace {

// Bytes that JSON strings cannot hold as they are: controls, the quote and the backslash.
constexpr std::array<bool, 256> EscapedBytes() {
    std::array<bool, 256> table{};
    for (int byte = 0; byte < 0x20; ++byte) {
        table[byte] = true;
    }
    table['"'] = true;
    table['\\'] = true;
    return table;
}
constexpr std::array<bool, 256> kEscaped = EscapedBytes();

// True when none of the eight bytes in word needs an escape (bytes of 0x80 and above never do).
bool PlainBlock(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    const auto hasZero = [](std::uint64_t x) { return (x - kOnes) & ~x & kHigh; };
    const std::uint64_t below32 = (word - kOnes * 0x20) & ~word & kHigh;
    return (below32 | hasZero(word ^ (kOnes * '"')) | hasZero(word ^ (kOnes * '\\'))) == 0;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    if (!IsValidUtf8(text)) {
        AppendJsonString(out, ReplaceInvalidUtf8(text));
        return;
    }
    out.reserve(out.size() + text.size() + 2);
    out += '"';
    std::size_t run = 0;  // start of the bytes that need no escape, copied in one piece
    std::size_t i = 0;
    while (i < text.size()) {
        // Escapes are rare in markup: skip eight plain bytes at a time.
        if (i + 8 <= text.size()) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, sizeof word);
            if (PlainBlock(word)) {
                i += 8;
                continue;
            }
        }
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!kEscaped[byte]) {
            ++i;
            continue;  // validated above: multi-byte characters pass unchanged
        }
        out.append(text.substr(run, i - run));
        run = ++i;
        switch (byte) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default: {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            }
        }
    }
    out.append(text.substr(run));
    out += '"';
}

std::string JsonString(std::string_view text) {
    std::string out;
    AppendJsonString(out, text);
    return out;
}

namespace {

using TSink = std::function<void(std::string_view)>;

template <typename Text>
void WriteJsonArray(const std::vector<Text>& items, std::string& buffer, const TSink& write) {
    write(items.empty() ? "[" : "[\n    ");
    for (std::size_t i = 0; i < items.size(); ++i) {
        buffer.clear();
        if (i > 0) {
            buffer += ",\n    ";
        }
        AppendJsonString(buffer, items[i]);
        write(buffer);
    }
    write(items.empty() ? "]" : "\n  ]");
}

// Posts converted at a time: each batch is converted on every core, then written in order, so
// the memory held stays bounded whatever the topic's size.
constexpr std::size_t kConvertBatch = 256;

// Converts the posts with `convert` on every core and hands each result to `write` in order.
void ConvertInOrder(const std::vector<std::string_view>& posts,
                    std::string (*convert)(std::string_view), const TPreparedPosts* prepared,
                    const std::function<void(std::size_t, const std::string&)>& write) {
    std::size_t ready = 0;
    if (prepared != nullptr) {
        ready = std::min(prepared->Posts().size(), posts.size());
        for (std::size_t i = 0; i < ready; ++i) {
            write(i, prepared->Posts()[i]);
        }
    }
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::string> converted(kConvertBatch);
    for (std::size_t start = ready; start < posts.size(); start += kConvertBatch) {
        const std::size_t count = std::min(kConvertBatch, posts.size() - start);
        std::atomic<std::size_t> next{0};
        const auto work = [&] {
            for (std::size_t i; (i = next.fetch_add(1)) < count;) {
                converted[i] = convert(posts[start + i]);
            }
        };
        std::vector<std::thread> helpers;
        for (std::size_t c = 1; c < cores && c < count; ++c) {
            helpers.emplace_back(work);
        }
        work();
        for (std::thread& helper : helpers) {
            helper.join();
        }
        for (std::size_t i = 0; i < count; ++i) {
            write(start + i, converted[i]);
        }
    }
}

// Addresses may come from the command line as any bytes: invalid ones keep their meaning as %XX.
std::vector<std::string> Addresses(const std::vector<std::string>& addresses) {
    std::vector<std::string> out;
    out.reserve(addresses.size());
    for (const std::string& address : addresses) {
        out.push_back(PercentEncodeInvalidUtf8(address));
    }
    return out;
}

void WriteJson(const TTopicExport& t, const TSink& write) {
    std::string buffer = "{\n  \"title\": ";
    AppendJsonString(buffer, t.Title);
    buffer += ",\n  \"starter_url\": ";
    AppendJsonString(buffer, PercentEncodeInvalidUtf8(t.StarterUrl));
    buffer += ",\n  \"starter_name\": ";
    AppendJsonString(buffer, t.StarterName);
    buffer += ",\n  \"first_post\": ";
    AppendJsonString(buffer, t.FirstPost);
    buffer += ",\n  \"posts\": ";
    write(buffer);
    WriteJsonArray(t.Posts, buffer, write);
    write(",\n  \"pages\": ");
    WriteJsonArray(Addresses(t.Pages), buffer, write);
    write("\n}\n");
}

// What heads the document: the topic's title, or the starter's name when the page has none.
std::string Heading(const TTopicExport& t, const std::string& starterName) {
    return ReplaceControls(t.Title.empty() ? starterName : t.Title);
}

// The document's own policy forbids scripts and plugins even if something slipped through.
constexpr std::string_view kHtmlHead =
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
    "<meta http-equiv=\"Content-Security-Policy\" content=\"script-src 'none'; object-src "
    "'none'\">\n<meta name=\"referrer\" content=\"no-referrer\">\n";

// Posts go through the sanitiser; the name and the title are written as text.
void WriteHtml(const TTopicExport& t, const TSink& write, const TPreparedPosts* prepared) {
    const std::string name = MarkupText(t.StarterName);
    const std::string heading = HtmlEscape(Heading(t, name));
    const std::string address =
        ReplaceControls(SafeLinkAddress(PercentEncodeInvalidUtf8(t.StarterUrl)));
    std::string starter = HtmlEscape(name);
    if (!address.empty()) {
        starter = "<a href=\"" + HtmlEscape(address) + "\" rel=\"nofollow noopener noreferrer\">" +
                  starter + "</a>";
    }
    write(std::string(kHtmlHead) + "<title>" + heading + "</title></head>\n<body>\n<h1>" + heading +
          "</h1>\n<p class=\"starter\">" + starter + "</p>\n<div class=\"post opening\">\n" +
          SanitizePostHtml(t.FirstPost) + "\n</div>\n");
    ConvertInOrder(t.Posts, SanitizePostHtml, prepared,
                   [&write](std::size_t, const std::string& post) {
                       write("<hr>\n<div class=\"post\">\n");
                       write(post);
                       write("\n</div>\n");
                   });
    write("</body></html>\n");
}

// A web address becomes an autolink; anything else is written as text.
std::string MarkdownAddress(const std::string& address) {
    const std::string safe = SafeLinkAddress(PercentEncodeInvalidUtf8(address));
    const bool web = safe.rfind("http://", 0) == 0 || safe.rfind("https://", 0) == 0;
    return web ? "<" + MarkdownAutolinkAddress(safe) + ">" : MarkdownInline(address);
}

void WriteMarkdown(const TTopicExport& t, const TSink& write, const TPreparedPosts* prepared) {
    const std::string name = MarkupText(t.StarterName);
    std::string head = "# " + MarkdownInline(Heading(t, name)) + "\n\n" + MarkdownInline(name);
    if (!t.StarterUrl.empty()) {
        head += " " + MarkdownAddress(t.StarterUrl);
    }
    write(head + "\n\n## Opening post\n\n" + PostToMarkdown(t.FirstPost));
    ConvertInOrder(t.Posts, PostToMarkdown, prepared,
                   [&write](std::size_t i, const std::string& post) {
                       write("\n## Post " + std::to_string(i + 1) + "\n\n");
                       write(post);
                   });
}

}  // namespace

bool TPreparedPosts::CatchUp(const std::shared_ptr<TPostList>& posts, std::size_t most) {
    if (format_ == TExportFormat::Json || !posts || bytes_ >= kMaxBytes) {
        return false;
    }
    const int count = posts->Count();
    std::size_t done = 0;
    while (static_cast<int>(converted_.size()) < count && done < most && bytes_ < kMaxBytes) {
        const std::string post = posts->At(static_cast<int>(converted_.size()));
        converted_.push_back(format_ == TExportFormat::Html ? SanitizePostHtml(post)
                                                            : PostToMarkdown(post));
        bytes_ += converted_.back().size();
        ++done;
    }
    return done > 0;
}

void WriteExport(const TTopicExport& topic, TExportFormat format, const TSink& write,
                 const TPreparedPosts* prepared) {
    switch (format) {
        case TExportFormat::Html:
            WriteHtml(topic, write, prepared);
            break;
        case TExportFormat::Markdown:
            WriteMarkdown(topic, write, prepared);
            break;
        case TExportFormat::Json:
            WriteJson(topic, write);
            break;
    }
}

std::string FormatExport(const TTopicExport& topic, TExportFormat format) {
    std::string out;
    WriteExport(topic, format, [&out](std::string_view piece) { out.append(piece); });
    return out;
}
