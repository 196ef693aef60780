#pragma once
// Text put into HTML by the tools (the export's pages, the sample site's): escaped so that it
// stays text, in element content and in attribute values in either kind of quotes.

#include <string>
#include <string_view>

std::string HtmlEscape(std::string_view text);
