#pragma once
// The export's view of a post: markup parsed once with gumbo, the way a browser parses it, and
// the rules shared by the sanitiser and the Markdown converter (what goes with its content,
// which addresses may be carried).

#include <gumbo.h>

#include <string>
#include <string_view>
#include <vector>

namespace export_html {

// One parse, as the content of `context` (GUMBO_TAG_DIV for a post, GUMBO_TAG_LAST for a whole
// document). The markup is first bounded in nesting, so a hostile post parses in linear time.
//
// The parser reads about 30 MB/s, and most of a post is text. So before parsing, each run of
// plain text in the post's data (letters, digits, characters beyond ASCII and a little harmless
// punctuation: no white space, nothing that starts or ends a tag, a reference or a comment) is
// replaced by one private-use character standing for it. Tree building treats every such
// character alike, so the tree comes out the same; the runs are put back wherever text is read
// (Text). A post that holds private-use characters itself is parsed as it is.
class TParsedMarkup {
  public:
    TParsedMarkup(std::string_view markup, GumboTag context);
    ~TParsedMarkup();
    TParsedMarkup(const TParsedMarkup&) = delete;
    TParsedMarkup& operator=(const TParsedMarkup&) = delete;

    const GumboNode* Root() const { return output_->root; }
    // Text from the tree (a text node's, an attribute's value) with the runs put back.
    std::string Text(const char* parsed) const;

  private:
    std::string markup_;                  // the nesting-bounded post
    std::string folded_;                  // what the parser reads; the tree points into it
    std::vector<std::string_view> runs_;  // into markup_, by private-use character
    GumboOptions options_;
    GumboOutput* output_;
};

// Tests compare the output with and without the text runs replaced.
void SetTextRunFolding(bool on);

const GumboVector* Children(const GumboNode* node);

// Visits the nodes below root in document order without recursion: a post may nest deeper than
// a thread's stack allows. `enter` returns whether to go into the node's children; `leave` is
// called after the children of every node entered so.
template <typename Enter, typename Leave>
void Walk(const GumboNode* root, Enter&& enter, Leave&& leave) {
    struct Frame {
        const GumboNode* node;
        unsigned int next;
    };
    std::vector<Frame> stack{{root, 0}};
    while (!stack.empty()) {
        const GumboNode* node = stack.back().node;
        const GumboVector* children = Children(node);
        if (children != nullptr && stack.back().next < children->length) {
            const auto* child = static_cast<const GumboNode*>(children->data[stack.back().next++]);
            if (enter(child)) {
                stack.push_back({child, 0});
            }
            continue;
        }
        stack.pop_back();
        if (!stack.empty()) {
            leave(node);
        }
    }
}

bool IsHtmlElement(const GumboNode* node);

// Elements dropped with everything inside them: they run code, load other documents or
// plugins, take input, or hold no text a reader sees.
bool DroppedWithContent(const GumboNode* node);

enum class TAddressUse { Link, Picture };

// The address as a browser reads it (no leading or trailing controls and blanks, no tabs or
// line breaks inside), or the empty text when it is not one the export may carry: relative,
// http, https, mailto for links; relative, http, https and raster data: pictures.
std::string SafeAddress(std::string_view value, TAddressUse use);

// The attribute's value as the parser gives it (runs not yet put back), or null.
const char* AttributeValue(const GumboNode* node, const char* name);

bool IsAsciiSpace(char c);

}  // namespace export_html
