#pragma once
// The windows are designed for Tahoma and MS Sans Serif. Debian ships metric-compatible faces
// of both with Wine's fonts, outside fontconfig's folders: register them for this process.
// Courier New resolves through fontconfig to Liberation Mono.

#include <QFont>

// Waits for ReadFontConfigurationAhead when it was called.
void LoadDesignFonts();

// Reads the system's font configuration (fontconfig's files and caches, the larger part of
// the first font's cost) on a thread of its own, while the application object connects to the
// display. Call before the application object exists, once.
void ReadFontConfigurationAhead();

// Font engines made while the windows are scaled draw text at 1x differently (hinting) from
// engines made at 1x; after the scale returns to 1 the fonts take new engines, so text looks
// exactly as it does when the program starts at 1x.
void RenewFontEngines();

// A font of a family at a size in pixels, as the windows are designed (not scaled with the
// screen's text size).
QFont PixelFont(const QString& family, int pixels, bool bold = false);
