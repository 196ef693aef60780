#include "tools/export/topic_export.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

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

TTopicExport ExportTopic(const std::string& address, TPageGetter get,
                         const TExportProgress& progress) {
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [&address] { return address; };
    TTopicLoader* running = nullptr;
    if (progress) {
        hooks.PublishPosts = [&](const std::shared_ptr<TPostList>& posts) {
            progress(running->PagesFetched().size(), static_cast<std::size_t>(posts->Count()));
        };
    }
    TTopicLoader loader(std::move(get), std::move(hooks));
    running = &loader;
    loader.Execute();

    TTopicExport topic;
    // This load's own values: the process-wide ones belong to whichever load wrote last.
    topic.StarterUrl = loader.OwnStarterUrl();
    topic.StarterName = loader.OwnStarterName();
    topic.FirstPost = std::move(loader.FirstPost);
    // The posts are written from the list itself: overlapping fragments of a hostile page are
    // slices of that page, and copying them all out would grow with the square of the page.
    topic.PostList = loader.WorkerPosts;
    topic.Posts = topic.PostList->Views();
    topic.Pages = loader.PagesFetched();
    return topic;
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
            continue;  // page texts are validated UTF-8: multi-byte characters pass unchanged
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

void WriteJson(const TTopicExport& t, const TSink& write) {
    std::string buffer = "{\n  \"starter_url\": ";
    AppendJsonString(buffer, t.StarterUrl);
    buffer += ",\n  \"starter_name\": ";
    AppendJsonString(buffer, t.StarterName);
    buffer += ",\n  \"first_post\": ";
    AppendJsonString(buffer, t.FirstPost);
    buffer += ",\n  \"posts\": ";
    write(buffer);
    WriteJsonArray(t.Posts, buffer, write);
    write(",\n  \"pages\": ");
    WriteJsonArray(t.Pages, buffer, write);
    write("\n}\n");
}

// The name and the fragments are the page's own markup and go out verbatim.
void WriteHtml(const TTopicExport& t, const TSink& write) {
    write("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + t.StarterName +
          "</title></head>\n<body>\n<h1><a href=\"" + t.StarterUrl + "\">" + t.StarterName +
          "</a></h1>\n<div class=\"post opening\">\n" + t.FirstPost + "\n</div>\n");
    for (const std::string_view post : t.Posts) {
        write("<hr>\n<div class=\"post\">\n");
        write(post);
        write("\n</div>\n");
    }
    write("</body></html>\n");
}

void WriteMarkdown(const TTopicExport& t, const TSink& write) {
    write("# " + t.StarterName + "\n\n<" + t.StarterUrl + ">\n\n## Opening post\n\n" + t.FirstPost +
          "\n");
    for (std::size_t i = 0; i < t.Posts.size(); ++i) {
        write("\n## Post " + std::to_string(i + 1) + "\n\n");
        write(t.Posts[i]);
        write("\n");
    }
}

}  // namespace

void WriteExport(const TTopicExport& topic, TExportFormat format, const TSink& write) {
    switch (format) {
        case TExportFormat::Html:
            WriteHtml(topic, write);
            break;
        case TExportFormat::Markdown:
            WriteMarkdown(topic, write);
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
