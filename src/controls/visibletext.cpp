#include "controls/visibletext.h"

QString VisiblePrefix(const QString& text, const QFontMetrics& metrics, int width) {
  constexpr qsizetype kShort = 256;
  if (text.size() <= kShort) return text;
  qsizetype n = kShort;
  while (n < text.size()) {
    // Never split a surrogate pair.
    if (text.at(n - 1).isHighSurrogate()) ++n;
    if (metrics.horizontalAdvance(text.left(n)) >= width) return text.left(n);
    n *= 2;
  }
  return text;
}

int AdvanceUpTo(const QString& text, const QFontMetrics& metrics, int limit) {
  return metrics.horizontalAdvance(VisiblePrefix(text, metrics, limit));
}
