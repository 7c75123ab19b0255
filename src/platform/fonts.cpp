#include "platform/fonts.h"

#include <fontconfig/fontconfig.h>

#include <QFileInfo>
#include <QFontDatabase>
#include <thread>

namespace {
const char* const kFiles[] = {"/usr/share/wine/fonts/tahoma.ttf",
                              "/usr/share/wine/fonts/tahomabd.ttf",
                              "/usr/share/wine/fonts/ms_sans_serif.ttf"};

// fontconfig loads its configuration once per process, whichever thread asks first.
struct TConfigReader {
  std::thread thread;
  ~TConfigReader() { Wait(); }
  void Wait() {
    if (thread.joinable()) thread.join();
  }
};

TConfigReader& ConfigReader() {
  static TConfigReader reader;
  return reader;
}
}  // namespace

void ReadFontConfigurationAhead() {
  TConfigReader& reader = ConfigReader();
  if (!reader.thread.joinable()) reader.thread = std::thread([] { FcInit(); });
}

void LoadDesignFonts() {
  ConfigReader().Wait();
  for (const char* file : kFiles)
    if (QFileInfo::exists(file)) QFontDatabase::addApplicationFont(file);
}

void RenewFontEngines() {
  // Adding or removing an application font empties Qt's font cache; the fonts in use then
  // load their engines again, with the hinting of the scale now in force.
  for (const char* file : kFiles) {
    if (!QFileInfo::exists(file)) continue;
    const int id = QFontDatabase::addApplicationFont(file);
    if (id >= 0) QFontDatabase::removeApplicationFont(id);
    return;
  }
}

QFont PixelFont(const QString& family, int pixels, bool bold) {
  QFont font(family);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}
