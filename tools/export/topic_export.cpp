#include "tools/export/topic_export.h"

#include <array>
#include <cstdio>
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
    topic.FirstPost = loader.FirstPost;
    topic.Posts = loader.WorkerPosts->Snapshot();
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

}  // namespace

std::string JsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 2);
    out += '"';
    std::size_t run = 0;  // start of the bytes that need no escape, copied in one piece
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!kEscaped[byte]) {
            continue;  // page texts are validated UTF-8: multi-byte characters pass unchanged
        }
        out.append(text.substr(run, i - run));
        run = i + 1;
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
    return out;
}

namespace {

std::string JsonArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += i == 0 ? "\n    " : ",\n    ";
        out += JsonString(items[i]);
    }
    out += items.empty() ? "]" : "\n  ]";
    return out;
}

std::string FormatJson(const TTopicExport& t) {
    return "{\n  \"starter_url\": " + JsonString(t.StarterUrl) +
           ",\n  \"starter_name\": " + JsonString(t.StarterName) +
           ",\n  \"first_post\": " + JsonString(t.FirstPost) +
           ",\n  \"posts\": " + JsonArray(t.Posts) + ",\n  \"pages\": " + JsonArray(t.Pages) +
           "\n}\n";
}

// The name and the fragments are the page's own markup and go out verbatim.
std::string FormatHtml(const TTopicExport& t) {
    std::string out = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" +
                      t.StarterName + "</title></head>\n<body>\n<h1><a href=\"" + t.StarterUrl +
                      "\">" + t.StarterName + "</a></h1>\n<div class=\"post opening\">\n" +
                      t.FirstPost + "\n</div>\n";
    for (const std::string& post : t.Posts) {
        out += "<hr>\n<div class=\"post\">\n" + post + "\n</div>\n";
    }
    out += "</body></html>\n";
    return out;
}

std::string FormatMarkdown(const TTopicExport& t) {
    std::string out = "# " + t.StarterName + "\n\n<" + t.StarterUrl + ">\n\n## Opening post\n\n" +
                      t.FirstPost + "\n";
    for (std::size_t i = 0; i < t.Posts.size(); ++i) {
        out += "\n## Post " + std::to_string(i + 1) + "\n\n" + t.Posts[i] + "\n";
    }
    return out;
}

}  // namespace

std::string FormatExport(const TTopicExport& topic, TExportFormat format) {
    switch (format) {
        case TExportFormat::Html:
            return FormatHtml(topic);
        case TExportFormat::Markdown:
            return FormatMarkdown(topic);
        case TExportFormat::Json:
            return FormatJson(topic);
    }
    return {};
}
