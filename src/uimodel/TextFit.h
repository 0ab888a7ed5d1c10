#pragma once
// Fitting a path into a field: keep its beginning and its end, and put "…"
// where characters were cut from the middle. The width measure is passed in,
// so the widgets give their font metrics and tests give a fixed pitch.
#include <QString>

#include <functional>

namespace qm {

// The width of a text as the field would draw it.
using WidthMeasure = std::function<int(const QString &)>;

// The room a field gives its text.
struct FieldFit {
    int width = 0;        // the field's width
    WidthMeasure measure; // the field's font
};

// TruncatedString:forObject:. A text whose width is at most the field's
// width minus 2 is returned whole; otherwise characters are cut one by one
// from the middle until the two halves, joined by "…", fit. When not even
// "…" fits, "…" is returned. Characters outside the basic plane are cut
// whole, never half a surrogate pair.
QString TruncatedString(const QString &text, const FieldFit &field);

// Each "\r"-separated line shortened on its own, as the report does.
QString TruncatedLines(const QString &text, const FieldFit &field);

} // namespace qm
