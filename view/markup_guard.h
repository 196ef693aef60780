#pragma once
// Posts are untrusted markup. With scripts off, the one way left for a post to move the view is
// a <meta http-equiv="refresh">: it reloads or replaces the written page on its own, and such a
// navigation never asks the page whether it may happen. So the attribute is disarmed before the
// page is shown.

#include <QString>

// Every "http-equiv" (any letter case) becomes "http&#45;equiv". As an attribute name that is no
// longer http-equiv (names are never entity-decoded), so the meta element does nothing; in text
// and attribute values the reference decodes back, so what the reader sees is unchanged.
QString DisarmHttpEquiv(const QString& markup);
