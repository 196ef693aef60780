// Folding of long request header lines: a line beyond 1024 characters is broken after a space,
// tab or comma outside quotes, and each further piece goes out on a line of its own that begins
// with one space.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tovalin::net {

constexpr std::size_t kFoldLineLength = 1024;

// The lines to send for one header line, without line ends.
std::vector<std::string> FoldHeaderLine(std::string_view line);

}  // namespace tovalin::net
