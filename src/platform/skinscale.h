#pragma once
// The windows are drawn at a whole-number scale (1, 2 or 3) so that skin bitmaps stay sharp:
// every skin pixel becomes an n x n block and text is drawn by the fonts at n times its pixel
// size. Positions, sizes and saved coordinates all stay in skin pixels: only Qt's global
// factor between those (logical) pixels and the screen's pixels changes, so nothing else in the
// program knows the scale.
//
// Choosing the scale:
//  1. Before the application object exists, the desktop's own scaling is taken out of Qt's
//     hands (and remembered), so a fractional factor never multiplies with ours.
//  2. The desktop factor is the largest of the screen's device pixel ratio, the remembered
//     QT_SCREEN_SCALE_FACTORS entry of the primary screen and, on X11, Xft.dpi / 96; times a
//     QT_SCALE_FACTOR the user gave.
//  3. The "scale" key of settings.ini section "main": 0 takes the desktop factor rounded to the
//     nearest whole number (1.5 gives 2), 1-3 fix the scale.

#include <QByteArrayView>
#include <QString>

class TSkinScale {
 public:
  static constexpr int kMaxScale = 3;

  // Step 1; call before the QApplication is created.
  static void PrepareEnvironment();
  // Step 2, from the running application's primary screen.
  static double DesktopFactor();

  // The stored setting (0-3); anything else reads as 0. A missing or unreadable file is 0.
  static int ReadSetting();
  // Throws EIniFileException when settings.ini cannot be written.
  static void WriteSetting(int setting);
  // The stored setting differs from setting (or is missing).
  static bool SettingDiffers(int setting);

  // Reads the setting and applies its scale: the start of the program, before any window.
  static void Start();
  // The setting in force (what Ctrl+D last chose, or what was read at start).
  static int Setting();
  static void SetSetting(int setting);
  // The scale the windows are drawn at now.
  static int Current();
  // Switches Qt's factor to scale (clamped to 1-3) and redraws every top-level window at it
  // now, each keeping its position and size in skin pixels.
  static void Apply(int scale);

  // Pure rules, for the steps above.
  // The nearest whole number, halves up, within 1-3; 1 for anything not a positive number.
  static int WholeScale(double factor);
  // The scale a setting asks for on a desktop of the given factor.
  static int ScaleFor(int setting, double desktopFactor);
  // Ctrl+D: 1 gives 2, anything else 1.
  static int Toggled(int scale);
  // The factor QT_SCREEN_SCALE_FACTORS gives the screen of that name and index ("1.5",
  // "1;2" by screen order, or "DP-1=1.5;HDMI-1=2"); 0 when it gives none.
  static double ScreenFactorFromEnvironment(const QString& value, const QString& screenName,
                                            int screenIndex);
  // The Xft.dpi value of an X resource database text; 0 when absent or not a number.
  static double XftDpi(QByteArrayView resources);
};
