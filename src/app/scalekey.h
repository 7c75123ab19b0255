#pragma once
// Ctrl+D, in either window: switches the windows between single and double size at once and
// saves the choice as the "scale" setting. The player window owns it.

#include <QObject>

class TformMain;

class TScaleKey : public QObject {
  Q_OBJECT
 public:
  explicit TScaleKey(TformMain* player);

  // What the key does: 1x becomes 2x, any other scale 1x; the player window is kept on the
  // work area (which is smaller in skin pixels at a larger scale) with the playlist docked.
  // Throws EIniFileException when the setting cannot be saved; the scale is switched anyway.
  void Switch();

 private:
  TformMain* player_;
};
