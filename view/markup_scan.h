#pragma once
// Small byte-level scans of HTML markup, for the passes that look at tags before a parser builds
// a tree (the nesting bound, the export's folding of text runs). Plain C++.

#include <cstddef>
#include <string_view>

namespace markup_scan {

bool IsAsciiAlpha(char c);
// The blanks that separate a tag's name and attributes.
bool IsTagSpace(char c);
char Lower(char c);

// The first position at or after `from` where `lowerNeedle` (lower case) occurs in `text`,
// ignoring ASCII letter case; npos when it does not.
std::size_t FindNoCase(std::string_view text, std::string_view lowerNeedle, std::size_t from);

// The '>' ending a tag whose name ends at `from`, skipping quoted attribute values; npos when the
// markup ends first.
std::size_t TagEnd(std::string_view markup, std::size_t from);

}  // namespace markup_scan
