#pragma once
// Drawing very long single-line texts: only a prefix that is at least a given width wide can be
// seen, so shaping the rest (100,000 characters) would be wasted on every paint.

#include <QFontMetrics>
#include <QString>

// The whole text when it is short; otherwise its shortest doubling prefix at least `width`
// pixels wide (or the whole text if it is never that wide).
QString VisiblePrefix(const QString& text, const QFontMetrics& metrics, int width);

// The text's width in pixels when it is under limit; otherwise some width of at least limit,
// found without shaping more of the text than that.
int AdvanceUpTo(const QString& text, const QFontMetrics& metrics, int limit);
