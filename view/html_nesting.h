#pragma once
// Bounds how deeply markup nests before an HTML parser builds a tree of it. Tree building scans
// the stack of open elements for many tags, so markup nesting thousands of levels costs time
// growing with the square of its size; browsers flatten such depths themselves. Plain C++: the
// view's markup guard and the export share it.

#include <cstddef>
#include <string>
#include <string_view>

// No post nests near this deep; the browser engine itself stops nesting at 512.
inline constexpr std::size_t kMaxMarkupNesting = 200;

// The markup with every start tag that would open an element beyond maxDepth removed, and the
// end tag matching each removed one. Text, comments, raw text (script, style, ...) and every
// other tag are kept byte for byte, so what a reader sees as text never changes. Elements that
// the parser closes by themselves when the next one opens (p, li, td, ...) are not counted.
std::string CapNesting(std::string_view markup, std::size_t maxDepth = kMaxMarkupNesting);
