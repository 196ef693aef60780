#include "net/net_header_fold.h"

#include "net/net_text.h"

namespace tovalin::net {

std::vector<std::string> FoldHeaderLine(std::string_view line) {
    const std::size_t n = line.size();
    if (n <= kFoldLineLength)
        return {std::string(line)};

    std::vector<std::string_view> pieces;
    std::size_t s = 0;       // start of the current piece
    std::size_t b = 0;       // index of the last break character
    bool haveBreak = false;  // a break character lies after the piece start
    std::size_t k = 0;       // characters counted since the last break
    std::size_t p = 0;       // scan position
    bool quoted = false;
    while (p < n) {
        const char c = line[p];
        if (!quoted && (c == ' ' || c == '\t' || c == ',')) {
            b = p;
            haveBreak = b > s;
        } else if (c == '"') {
            quoted = !quoted;
        }
        ++p;
        ++k;
        if (!quoted && k >= kFoldLineLength && haveBreak) {
            k = p - 1 - b;
            const bool breakJustScanned = b + 1 == p;
            if (c != '"') {
                while (p < n && (line[p] == ' ' || line[p] == '\t' || line[p] == ',' ||
                                 line[p] == '\r' || line[p] == '\n')) {
                    ++p;
                }
            }
            if (n - p >= 2) {
                pieces.push_back(line.substr(s, b + 1 - s));
                // Blanks skipped right after the break would only widen the continuation's
                // leading space: the next piece starts after them.
                s = breakJustScanned ? p : b + 1;
                b = s;
                haveBreak = false;
            }
        }
    }
    pieces.push_back(line.substr(s));

    std::vector<std::string> lines;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::string piece(TrimRight(pieces[i]));
        lines.push_back(i == 0 ? piece : " " + piece);
    }
    return lines;
}

}  // namespace tovalin::net
