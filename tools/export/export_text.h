#pragma once
// Text hygiene for what the export writes: whatever bytes a site or a command line hands over,
// the JSON stays valid UTF-8, and nothing a terminal would act on reaches it through the HTML or
// Markdown output.

#include <string>
#include <string_view>

// Length of the well-formed UTF-8 sequence starting at text[at], or 0 when none starts there
// (a stray continuation byte, an overlong form, a surrogate, a value beyond U+10FFFF, a cut-off
// sequence).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

bool IsValidUtf8(std::string_view text);

// Every byte that is not part of a well-formed UTF-8 sequence becomes %XX; the rest is kept. For
// addresses, where a percent escape keeps the byte's meaning.
std::string PercentEncodeInvalidUtf8(std::string_view address);

// Every byte that is not part of a well-formed UTF-8 sequence becomes U+FFFD.
std::string ReplaceInvalidUtf8(std::string_view text);

// Replaces what a terminal would act on with U+FFFD: C0 controls other than newline and tab
// (escape sequences begin with ESC), DEL, and the C1 controls (U+0080 to U+009F, which some
// terminals take as escape introducers). Invalid UTF-8 becomes U+FFFD as well.
std::string ReplaceControls(std::string_view text);

// Text for a Markdown paragraph or heading line: one line (line breaks become spaces), with every
// character that could start a block, open emphasis, a link or markup, or an entity escaped by
// a backslash.
std::string MarkdownInline(std::string_view text);

// An address for a Markdown autolink <...>: characters that would end the autolink or are not
// allowed in one (space, control, '<', '>') are percent-encoded.
std::string MarkdownAutolinkAddress(std::string_view address);

