#pragma once
// Reads a whole topic without a window and writes the starter's posts as HTML, Markdown or JSON.
// The load is the window's own loader; only the hooks differ: the address is the one given, and
// nothing is shown while it runs.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "topic/topic_loader.h"

struct TTopicExport {
    std::string StarterUrl;
    std::string StarterName;
    std::string FirstPost;
    std::shared_ptr<TPostList> PostList;  // keeps the posts' text alive
    std::vector<std::string_view> Posts;  // views into PostList, in order
    std::vector<std::string> Pages;       // addresses fetched, in order
};

enum class TExportFormat { Html, Markdown, Json };

std::optional<TExportFormat> ParseExportFormat(std::string_view name);

// Told after every page: pages fetched so far and posts found so far.
using TExportProgress = std::function<void(std::size_t pages, std::size_t posts)>;

TTopicExport ExportTopic(const std::string& address, TPageGetter get,
                         const TExportProgress& progress = {});

// Writes the topic in the format, piece by piece, so a large topic is never held twice.
void WriteExport(const TTopicExport& topic, TExportFormat format,
                 const std::function<void(std::string_view)>& write);

// The whole output as one text (for small topics and tests).
std::string FormatExport(const TTopicExport& topic, TExportFormat format);

// Appends a JSON string literal for UTF-8 text, quotes included.
void AppendJsonString(std::string& out, std::string_view text);
std::string JsonString(std::string_view text);
