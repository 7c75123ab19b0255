#pragma once
// The windows are designed for Tahoma and MS Sans Serif. Debian ships metric-compatible faces
// of both with Wine's fonts, outside fontconfig's folders: register them for this process.
// Courier New resolves through fontconfig to Liberation Mono.

#include <QFont>

void LoadDesignFonts();

// Font engines are made for the window scale in force when first used (glyphs are hinted at
// 1x, not when scaled); after a change of scale the fonts take new ones, so text looks exactly
// as it does when the program starts at that scale.
void RenewFontEngines();

// A font of a family at a size in pixels, as the windows are designed (not scaled with the
// screen's text size).
QFont PixelFont(const QString& family, int pixels, bool bold = false);
