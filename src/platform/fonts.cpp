#include "platform/fonts.h"

#include <QFileInfo>
#include <QFontDatabase>

void LoadDesignFonts() {
  static const char* const kFiles[] = {"/usr/share/wine/fonts/tahoma.ttf",
                                       "/usr/share/wine/fonts/tahomabd.ttf",
                                       "/usr/share/wine/fonts/ms_sans_serif.ttf"};
  for (const char* file : kFiles)
    if (QFileInfo::exists(file)) QFontDatabase::addApplicationFont(file);
}

QFont PixelFont(const QString& family, int pixels, bool bold) {
  QFont font(family);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}
