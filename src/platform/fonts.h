#pragma once
// The windows are designed for Tahoma and MS Sans Serif. Debian ships metric-compatible faces
// of both with Wine's fonts, outside fontconfig's folders: register them for this process.
// Courier New resolves through fontconfig to Liberation Mono.

#include <QFont>

void LoadDesignFonts();

// A font of a family at a size in pixels, as the windows are designed (not scaled with the
// screen's text size).
QFont PixelFont(const QString& family, int pixels, bool bold = false);
