#pragma once
// The windows are designed for Tahoma and MS Sans Serif. Debian ships metric-compatible faces
// of both with Wine's fonts, outside fontconfig's folders: register them for this process.
// Courier New resolves through fontconfig to Liberation Mono.
void LoadDesignFonts();
