#include "platform/tcolor.h"

#include <QGuiApplication>

namespace {

// The palette colour that plays the part of a system colour index.
QColor SystemColor(int index, const QPalette& palette) {
  switch (index) {
    case 0:   // scroll bar
    case 10:  // active border
    case 11:  // inactive border
    case 15:  // button face
      return palette.color(QPalette::Button);
    case 1:   // desktop
    case 4:   // menu
    case 30:  // menu bar
      return palette.color(QPalette::Window);
    case 2:   // active caption
    case 13:  // highlight
    case 27:  // gradient active caption
    case 29:  // menu highlight
      return palette.color(QPalette::Highlight);
    case 3:   // inactive caption
    case 12:  // application workspace
    case 28:  // gradient inactive caption
      return palette.color(QPalette::Mid);
    case 5:  // window
      return palette.color(QPalette::Base);
    case 6:   // window frame
    case 21:  // 3D dark shadow
      return palette.color(QPalette::Shadow);
    case 7:   // menu text
    case 8:   // window text
    case 19:  // inactive caption text
      return palette.color(QPalette::WindowText);
    case 9:   // caption text
    case 14:  // highlight text
      return palette.color(QPalette::HighlightedText);
    case 16:  // button shadow
      return palette.color(QPalette::Dark);
    case 17:  // grey text
      return palette.color(QPalette::Disabled, QPalette::WindowText);
    case 18:  // button text
      return palette.color(QPalette::ButtonText);
    case 20:  // button highlight
      return palette.color(QPalette::Light);
    case 22:  // 3D light
      return palette.color(QPalette::Midlight);
    case 23:  // tooltip text
      return palette.color(QPalette::ToolTipText);
    case 24:  // tooltip background
      return palette.color(QPalette::ToolTipBase);
    case 26:  // hot-tracked item
      return palette.color(QPalette::Link);
    default:
      return QColor(0, 0, 0);
  }
}

}  // namespace

QColor ToQColor(TColor color, const QPalette& palette) {
  if (color == clNone) return QColor(0, 0, 0, 0);
  if (IsSystemColor(color)) {
    QColor resolved = SystemColor(int(color & 0xFF), palette);
    resolved.setAlpha(255);
    return resolved;
  }
  return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

QColor ToQColor(TColor color) {
  return ToQColor(color, QGuiApplication::palette());
}

TColor ColorToRGB(TColor color, const QPalette& palette) {
  if (!IsSystemColor(color)) return color;
  return QColorToColor(SystemColor(int(color & 0xFF), palette));
}

TColor ColorToRGB(TColor color) {
  return ColorToRGB(color, QGuiApplication::palette());
}

TColor QColorToColor(const QColor& color) {
  return RGBToColor(color.red(), color.green(), color.blue());
}
