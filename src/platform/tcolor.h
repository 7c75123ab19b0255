#pragma once
// TColor: a 32-bit colour value. Byte 0 is red, byte 1 green, byte 2 blue. A value whose top
// byte is 0xFF is a system colour: its low byte is a system-colour index, resolved through the
// current QPalette's matching role when drawn. clNone (0x1FFFFFFF) resolves to a fully
// transparent colour, so a line or fill in clNone leaves the pixels under it as they were.

#include <QColor>
#include <QPalette>
#include <cstdint>

using TColor = std::uint32_t;

constexpr TColor RGBToColor(int red, int green, int blue) {
  return TColor(red & 0xFF) | TColor(green & 0xFF) << 8 | TColor(blue & 0xFF) << 16;
}
constexpr int GetRValue(TColor color) {
  return int(color & 0xFF);
}
constexpr int GetGValue(TColor color) {
  return int(color >> 8 & 0xFF);
}
constexpr int GetBValue(TColor color) {
  return int(color >> 16 & 0xFF);
}

constexpr TColor clNone = 0x1FFFFFFF;

constexpr TColor clBlack = RGBToColor(0, 0, 0);
constexpr TColor clWhite = RGBToColor(255, 255, 255);
constexpr TColor clSilver = RGBToColor(192, 192, 192);
constexpr TColor clRed = RGBToColor(255, 0, 0);
constexpr TColor clLime = RGBToColor(0, 255, 0);
constexpr TColor clGreen = RGBToColor(0, 128, 0);
constexpr TColor clYellow = RGBToColor(255, 255, 0);
constexpr TColor clSkyBlue = RGBToColor(166, 202, 240);

// System colours: 0xFF000000 + the system-colour index.
constexpr TColor clSystemColor = 0xFF000000;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowFrame = clSystemColor | 6;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clBtnHighlight = clSystemColor | 20;

constexpr bool IsSystemColor(TColor color) {
  return (color & 0xFF000000) == clSystemColor;
}

// The colour as drawn: system colours from the palette (unknown indices give black), clNone
// transparent, any other value by its three low bytes.
QColor ToQColor(TColor color, const QPalette& palette);
// The same with the application's palette.
QColor ToQColor(TColor color);

// A system colour resolved to its current plain RGB value; other values are returned as
// they are.
TColor ColorToRGB(TColor color, const QPalette& palette);
TColor ColorToRGB(TColor color);

// A plain RGB colour value from a QColor (alpha dropped).
TColor QColorToColor(const QColor& color);
