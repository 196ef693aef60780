#pragma once
// Posts are untrusted markup. With scripts off, the one way left for a post to move the view is
// a <meta http-equiv="refresh">: it reloads or replaces the written page on its own, and such a
// navigation never asks the page whether it may happen. So the attribute is disarmed before the
// page is shown.

#include <QString>

// The page is parsed as the view will parse it (gumbo, an HTML parser of the same standard), and
// inside every start tag each "http-equiv" (any letter case) becomes "http&#45;equiv". As an
// attribute name that is no longer http-equiv (names are never entity-decoded), so the meta
// element does nothing; in an attribute value the reference decodes back. Text is never touched:
// what the reader sees is unchanged. Markup nesting deeper than any post does is flattened first
// (the engine itself stops at 512 levels), so a hostile page costs linear time.
QString DisarmHttpEquiv(const QString& markup);
