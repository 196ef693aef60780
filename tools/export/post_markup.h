#pragma once
// A post's markup, parsed once with the HTML parser (gumbo) the way a browser parses it, and
// written out again in a form that is safe to open: sanitised HTML, or CommonMark.
//
// Posts are untrusted: a site (or whoever wrote the post) decides every byte. Nothing of the
// post may run when the export is opened: no script, no event handler, no script or data address
// (except pictures), no refresh, no frame, plugin or form. What the reader sees as text is kept.

#include <string>
#include <string_view>

// The post's markup on an allow-list: the elements that format text, lists, quotes, tables,
// links and pictures; the attributes that carry no behaviour; addresses of the web (relative,
// http, https, mailto; pictures also data:image/...). Everything else is dropped: active
// elements with their content, unknown elements leaving their content.
std::string SanitizePostHtml(std::string_view fragment);

// The post as CommonMark: paragraphs, line breaks, links, pictures, emphasis, quotes, lists and
// headings; code as code; anything else (tables, unknown elements) as its text. Entities are
// decoded; every character that Markdown would read as syntax is escaped.
std::string PostToMarkdown(std::string_view fragment);

// The text a reader sees of a piece of markup (a starter's name), white space collapsed.
std::string MarkupText(std::string_view fragment);

// The address when a link may carry it (relative, http, https, mailto), without the blanks and
// line breaks a browser would drop; the empty text otherwise (javascript:, data: and the rest).
std::string SafeLinkAddress(std::string_view address);

// The text of a page's <title>, entities decoded and white space collapsed; empty without one.
std::string PageTitle(std::string_view page);
