// Hostile posts through the export's HTML sanitiser and its Markdown converter. The sanitised
// HTML is parsed again as a browser would and walked for anything that could run; the Markdown
// is parsed with cmark, must hold no raw HTML, and must show the text the post shows.
#include "tools/export/post_markup.h"

#include <cmark.h>
#include <gtest/gtest.h>
#include <gumbo.h>

#include <string>
#include <vector>

#include "tools/export/export_text.h"
#include "tools/export/html_tree.h"
#include "tools/export/topic_export.h"

namespace {

std::string Repeat(const std::string& piece, std::size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

std::string WithoutWhiteSpace(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c != ' ' && c != '\n' && c != '\t' && c != '\r') {
            out += c;
        }
    }
    return out;
}

struct HostileRow {
    std::string name;
    std::string post;
    std::string shown;  // the text a reader of the export sees, white space aside
};

std::vector<HostileRow> Rows() {
    return {
        {"Plain", "<p>hello <b>world</b></p>", "hello world"},
        {"Script", "<p>a</p><script>alert(1)</script><p>b</p><SCRIPT SRC=//x.test/x.js></SCRIPT>",
         "ab"},
        {"Handlers",
         "<img src=x onerror=alert(1)><p onclick='x()' onmouseover=\"y()\">t</p>"
         "<body onload=alert(1)><div style=\"background:url(javascript:alert(1))\">u</div>",
         "tu"},
        {"JavascriptLinks",
         "<a href='javascript:alert(1)'>a</a><a href=' JaVaScRiPt:alert(1)'>b</a>"
         "<a href='jav&#x09;ascript:alert(1)'>c</a><a href='&#106;avascript:alert(1)'>d</a>"
         "<a href='vbscript:x'>e</a><a href='data:text/html,<script>alert(1)</script>'>f</a>",
         "abcdef"},
        {"Pictures",
         "<img src='data:image/svg+xml,<svg onload=alert(1)>'><img src='javascript:alert(1)'>"
         "<img src='data:image/png;base64,iVBORw0KGgo=' alt='ok'><img src='http://x.test/a.png'>"
         "<p>p</p>",
         "p"},
        {"MetaRefreshAndBase",
         "<meta http-equiv=refresh content='0;url=http://x.test/'><base href='javascript:x/'>"
         "<link rel=stylesheet href=http://x.test/s.css>text",
         "text"},
        {"FramesPluginsForms",
         "<iframe src=x srcdoc='<script>alert(1)</script>'>i</iframe><object data=x>o</object>"
         "<embed src=x><form action=http://x.test/><input name=a value=v><textarea>t</textarea>"
         "<button formaction=javascript:alert(1)>go</button>f</form>",
         "f"},
        {"StyleAndForeignContent",
         "<style>p{color:red}</style><p style='x'>s</p><svg><script>alert(1)</script>"
         "<a xlink:href='javascript:x'>v</a></svg><math><mi xlink:href='javascript:x'>m</mi></math>"
         "<template><script>alert(1)</script></template><noscript>n</noscript>",
         "s"},
        {"NestedTables",
         "<table><tr><td>a<table><tr><td>b</td></tr></table></td><td>c</td></tr>"
         "<tr><th>d</th></tr></table>",
         "a b c d"},
        {"InvalidNesting", "<b><i>x</b>y</i><p>z<div>w</p></div><a href=http://x.test/>l<a>m</a>",
         "x y z w l m"},
        {"MarkdownSyntaxInText",
         "<p># not a heading</p><p>1. not a list</p><p>- nor this</p><p>&gt; nor a quote</p>"
         "<p>* star _under_ `code` [link](http://x.test/) ![i](x) <b>**</b> \\ | ~ =</p>"
         "<p>&lt;div&gt; &amp;amp; &lt;http://x.test/&gt;</p><p>    four spaces</p>",
         "# not a heading 1. not a list - nor this > nor a quote * star _under_ `code` "
         "[link](http://x.test/) ![i](x) ** \\ | ~ = <div> &amp; <http://x.test/> four spaces"},
        {"TerminalControls",
         std::string("<p>a\x1b]0;title\x07") + "b\x1b[2Jc\x1b]52;c;cGF5bG9hZA==\x07" + "d\x7f" +
             "e\xC2\x9B" + "1m</p>",
         "a\xEF\xBF\xBD]0;title\xEF\xBF\xBD"
         "b\xEF\xBF\xBD[2Jc\xEF\xBF\xBD]52;c;cGF5bG9hZA=="
         "\xEF\xBF\xBD"
         "d\xEF\xBF\xBD"
         "e\xEF\xBF\xBD"
         "1m"},
        {"QuotesListsBreaks",
         "<blockquote><p>q<br>r</p><ul><li>one</li><li>two<ol><li>three</li><li>four<br></li>"
         "</ol></li></ul></blockquote><p>第一行<br>第二行 "
         "<b>粗体</b>，<i>斜体</i>。<em>（括）</em></p>",
         "q r one two three four 第一行 第二行 粗体，斜体。（括）"},
        {"Code", "<pre>  code\n  ```x```\n</pre><p><code>in `line`</code></p>",
         "code ```x``` in `line`"},
        {"Entities", "<p>&copy; &#x4E2D; &nbsp;&lt;&amp;&gt; &quot;q&quot; &unknown;</p>",
         "© 中 \xC2\xA0<&> \"q\" &unknown;"},
        // About 1 MiB each: nesting far deeper than any stack, and a long plain post.
        {"DeepDivs", Repeat("<div>", 200000) + "x", "x"},
        {"DeepQuotes", Repeat("<blockquote>", 80000) + "x" + Repeat("<li>y", 10000),
         "x" + Repeat("y", 10000)},
        {"DeepEmphasis", Repeat("<b>z<i>", 100000), Repeat("z", 100000)},
        {"LongPost", "<p>" + Repeat("字a*", 200000) + "</p>", Repeat("字a*", 200000)},
    };
}

// ---- checks on the sanitised HTML, parsed as a browser parses the exported file --------------

bool SafeUrl(std::string value, bool picture) {
    std::string lower;
    for (const char c : value) {
        if (static_cast<unsigned char>(c) > 0x20) {
            lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        }
    }
    if (lower.rfind("javascript:", 0) == 0 || lower.rfind("vbscript:", 0) == 0) {
        return false;
    }
    if (lower.rfind("data:", 0) == 0) {
        return picture && lower.rfind("data:image/svg", 0) != 0;
    }
    return true;
}

// Walks the re-parsed output: every element a harmless one, no handler, no active address.
void ExpectInert(const GumboNode* node, std::string& text, std::vector<std::string>& faults) {
    std::vector<const GumboNode*> stack{node};
    while (!stack.empty()) {
        const GumboNode* n = stack.back();
        stack.pop_back();
        if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE) {
            text += n->v.text.text;
            continue;
        }
        if (n->type != GUMBO_NODE_ELEMENT) {
            if (n->type != GUMBO_NODE_DOCUMENT) {
                faults.push_back("node of type " + std::to_string(n->type));
            }
            if (n->type == GUMBO_NODE_DOCUMENT) {
                for (unsigned i = n->v.document.children.length; i-- > 0;) {
                    stack.push_back(static_cast<const GumboNode*>(n->v.document.children.data[i]));
                }
            }
            continue;
        }
        const GumboElement& e = n->v.element;
        const std::string tag = gumbo_normalized_tagname(e.tag);
        for (const char* banned : {"script", "style", "iframe", "object", "embed", "form", "input",
                                   "button", "textarea", "meta", "link", "base", "svg", "math",
                                   "template", "frame", "frameset", "applet", "noscript"}) {
            if (tag == banned) {
                faults.push_back("element " + tag);
            }
        }
        if (e.tag_namespace != GUMBO_NAMESPACE_HTML) {
            faults.push_back("foreign element");
        }
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
            const std::string name = a->name;
            if (name.rfind("on", 0) == 0 || name == "style" || name == "http-equiv" ||
                name == "srcdoc" || name == "formaction" || name == "action") {
                faults.push_back("attribute " + name);
            }
            if ((name == "href" || name == "src" || name == "cite") &&
                !SafeUrl(a->value, name == "src")) {
                faults.push_back(name + "=" + a->value);
            }
        }
        for (unsigned i = e.children.length; i-- > 0;) {
            stack.push_back(static_cast<const GumboNode*>(e.children.data[i]));
        }
    }
}

TEST(PostMarkup, HostilePostsLeaveNothingExecutableInTheHtml) {
    for (const HostileRow& row : Rows()) {
        SCOPED_TRACE(row.name);
        const std::string html = SanitizePostHtml(row.post);
        // Inside the export's own page: <head> elements in a post would land in its <body>.
        GumboOptions options = kGumboDefaultOptions;
        options.max_errors = 0;
        GumboOutput* parsed = gumbo_parse_with_options(&options, html.data(), html.size());
        std::string text;
        std::vector<std::string> faults;
        ExpectInert(parsed->root, text, faults);
        gumbo_destroy_output(&options, parsed);
        EXPECT_TRUE(faults.empty()) << faults.front() << "\n" << html.substr(0, 400);
        EXPECT_EQ(WithoutWhiteSpace(text), WithoutWhiteSpace(row.shown)) << html.substr(0, 400);
        for (const char c : html) {
            const auto byte = static_cast<unsigned char>(c);
            ASSERT_TRUE(byte >= 0x20 || c == '\n' || c == '\t') << "control byte " << int(byte);
        }
        EXPECT_TRUE(IsValidUtf8(html));
    }
}

// ---- checks on the Markdown, parsed with cmark ------------------------------------------------

struct MarkdownReading {
    std::string text;  // text, code and code blocks; picture descriptions left out
    int rawHtml = 0;   // raw HTML nodes: the converter must never make any
    int links = 0;
};

MarkdownReading ReadMarkdown(const std::string& markdown) {
    MarkdownReading reading;
    cmark_node* document =
        cmark_parse_document(markdown.data(), markdown.size(), CMARK_OPT_DEFAULT);
    cmark_iter* iter = cmark_iter_new(document);
    int insidePicture = 0;
    for (cmark_event_type ev; (ev = cmark_iter_next(iter)) != CMARK_EVENT_DONE;) {
        cmark_node* node = cmark_iter_get_node(iter);
        const cmark_node_type type = cmark_node_get_type(node);
        if (type == CMARK_NODE_IMAGE) {
            insidePicture += ev == CMARK_EVENT_ENTER ? 1 : -1;
            continue;
        }
        if (ev != CMARK_EVENT_ENTER) {
            continue;
        }
        switch (type) {
            case CMARK_NODE_TEXT:
            case CMARK_NODE_CODE:
            case CMARK_NODE_CODE_BLOCK:
                if (insidePicture == 0) {
                    reading.text += cmark_node_get_literal(node);
                }
                break;
            case CMARK_NODE_SOFTBREAK:
                reading.text += ' ';
                break;
            case CMARK_NODE_HTML_BLOCK:
            case CMARK_NODE_HTML_INLINE:
                ++reading.rawHtml;
                break;
            case CMARK_NODE_LINK:
                ++reading.links;
                break;
            default:
                break;
        }
    }
    cmark_iter_free(iter);
    cmark_node_free(document);
    return reading;
}

TEST(PostMarkup, HostilePostsRoundTripThroughCommonMark) {
    for (const HostileRow& row : Rows()) {
        SCOPED_TRACE(row.name);
        const std::string markdown = PostToMarkdown(row.post);
        const MarkdownReading reading = ReadMarkdown(markdown);
        EXPECT_EQ(reading.rawHtml, 0) << markdown.substr(0, 400);
        EXPECT_EQ(WithoutWhiteSpace(reading.text), WithoutWhiteSpace(row.shown))
            << markdown.substr(0, 600);
        EXPECT_EQ(markdown.find("javascript:"), std::string::npos);
        for (const char c : markdown) {
            const auto byte = static_cast<unsigned char>(c);
            ASSERT_TRUE(byte >= 0x20 || c == '\n' || c == '\t') << "control byte " << int(byte);
        }
        // Output grows with the post, never with the square of its nesting.
        EXPECT_LT(markdown.size(), 4 * row.post.size() + 64);
    }
}

// The structure a reader expects survives: emphasis, links, pictures, quotes, lists, breaks.
TEST(PostMarkup, MarkdownKeepsTheStructureOfAPost) {
    const std::string markdown = PostToMarkdown(
        "<p>看 <b>粗体</b> and <i>it</i> <a href='http://x.test/a b'>链接</a><br>next</p>"
        "<img src='http://x.test/p.png' alt='图'><blockquote>引用</blockquote>"
        "<ol><li>一</li><li>二</li></ol><ul><li>甲</li></ul><h2>标题</h2>");
    EXPECT_EQ(markdown,
              "看 **粗体** and *it* [链接](<http://x.test/a%20b>)\\\nnext\n\n"
              "![图](<http://x.test/p.png>)\n\n> 引用\n\n1. 一\n\n2. 二\n\n- 甲\n\n## 标题\n");
    const MarkdownReading reading = ReadMarkdown(markdown);
    EXPECT_EQ(reading.links, 1);
}

// Text runs are replaced by marks before parsing, for speed: the output must be the very same
// as with the markup parsed as it is, for hostile posts and for posts that play with the places
// where a run could be mistaken (references, comments, raw text, quotes, tags that are none).
TEST(PostMarkup, ReplacingTextRunsBeforeParsingChangesNothing) {
    std::vector<std::string> posts;
    for (const HostileRow& row : Rows()) {
        if (row.post.size() < 64 * 1024) {  // the 1 MiB rows only cost time here
            posts.push_back(row.post);
        }
    }
    for (const char* post : {
             "&amp;amp &copyright &#x4E2D;abc &#20013;; AT&T &unknownentity; &",
             "<!--> abcd <b title=\"--> efgh\">ijkl</b> <!-- mnop --!> qrst -->uvwx",
             "<textarea>abcd &amp; <b>efgh</b></textarea><xmp>ijkl <i>mnop</i></xmp>qrst",
             "<svg><style><b title=\"</style>abcd\">efgh</b></style></svg>ijkl",
             "<script><!--<script></script>abcd</script>efgh",
             "<a href=\"http://x.test/abcd?efgh=ijkl\" title='mnop > qrst'>uvwx</a> <3abcd </ "
             "efgh>",
             "<p>abcd\xef\xbb\xbf"
             "efgh \xc2\xa0"
             "ijkl\r\nmnop\x01qrst</p><table>abcd<tr><td>efgh",
             "<pre>\nabcd\n</pre><p/><P CLASS=abcd>efgh</P><h1>ijkl</h1><plaintext>mnop<b>qrst",
             "<a href=javascript:alert(1)>abcd</a><img src=data:image/png;base64,abcd alt=efgh>",
             "<!DOCTYPE html abcd><?xml abcd?><![CDATA[abcd]]><math><![CDATA[efgh]]></math>",
         }) {
        posts.push_back(post);
    }
    // Enough runs to use up the marks.
    posts.push_back("<p>" + Repeat("word1 ", 7000) + "</p>");
    for (const std::string& post : posts) {
        SCOPED_TRACE(post.substr(0, 80));
        export_html::SetTextRunFolding(false);
        const std::string html = SanitizePostHtml(post);
        const std::string markdown = PostToMarkdown(post);
        const std::string text = MarkupText(post);
        export_html::SetTextRunFolding(true);
        EXPECT_EQ(SanitizePostHtml(post), html);
        EXPECT_EQ(PostToMarkdown(post), markdown);
        EXPECT_EQ(MarkupText(post), text);
    }
}

// The document's own head: a hostile title, starter name and starter address can neither run
// in the HTML nor add blocks to the Markdown nor reach a terminal.
TEST(PostMarkup, TheTitleAndTheStarterCannotBreakOut) {
    TTopicExport topic;
    topic.Title = "T\x1b]0;pwned\x07itle</title><script>alert(1)</script>";
    topic.StarterName = "<b>Na</b>me\n# injected heading\n- item";
    topic.StarterUrl = "javascript:alert(1)//\" onmouseover=\"alert(1)";
    topic.FirstPost = "<p>opening</p>";
    const std::string html = FormatExport(topic, TExportFormat::Html);
    EXPECT_EQ(html.find("<script"), std::string::npos) << html;
    EXPECT_EQ(html.find("javascript:"), std::string::npos) << html;
    EXPECT_EQ(html.find("onmouseover=\""), std::string::npos) << html;
    EXPECT_NE(html.find("script-src 'none'; object-src 'none'"), std::string::npos);
    EXPECT_NE(html.find("<h1>T\xEF\xBF\xBD]0;pwned\xEF\xBF\xBDitle&lt;/title&gt;"),
              std::string::npos)
        << html;

    const std::string markdown = FormatExport(topic, TExportFormat::Markdown);
    cmark_node* document =
        cmark_parse_document(markdown.data(), markdown.size(), CMARK_OPT_DEFAULT);
    int headings = 0;
    int others = 0;
    for (cmark_node* block = cmark_node_first_child(document); block != nullptr;
         block = cmark_node_next(block)) {
        (cmark_node_get_type(block) == CMARK_NODE_HEADING ? headings : others) += 1;
    }
    cmark_node_free(document);
    EXPECT_EQ(headings, 2) << markdown;  // the title and "Opening post"
    EXPECT_EQ(others, 2) << markdown;    // the starter line and the opening post
    EXPECT_EQ(ReadMarkdown(markdown).rawHtml, 0) << markdown;
    for (const std::string& out : {html, markdown}) {
        for (const char c : out) {
            ASSERT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\n') << out;
        }
    }
    // A web address keeps its autolink whole: a '>' in it cannot end the link early.
    topic.StarterUrl = "http://x.test/p>q <r";
    const std::string linked = FormatExport(topic, TExportFormat::Markdown);
    EXPECT_NE(linked.find("<http://x.test/p%3Eq%20%3Cr>"), std::string::npos) << linked;
}

TEST(PostMarkup, TitlesAndNamesAreText) {
    EXPECT_EQ(PageTitle("<html><head><TITLE> A &amp;\n B </TITLE></head>"), "A & B");
    EXPECT_EQ(PageTitle("<p>no title</p>"), "");
    EXPECT_EQ(PageTitle("<title>" + Repeat("长", 2000) + "</title>").size(), 1023u);
    EXPECT_EQ(MarkupText("<b>Q</b>&quot;<script>x</script>uote\n"), "Q\"uote");
    EXPECT_EQ(SafeLinkAddress(" http://x.test/\n"), "http://x.test/");
    EXPECT_EQ(SafeLinkAddress("javascript:alert(1)//\" onmouseover=\"x"), "");
}

}  // namespace
