#include "platform/skinscale.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QBackingStore>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/errors.h"
#include "platform/fonts.h"
#include "platform/inifile.h"
#include "platform/programdir.h"

// Qt's global factor between logical and device pixels, the one QT_SCALE_FACTOR sets at start.
// QtGui exports it without a public header; this is its exact declaration.
class QHighDpiScaling {
 public:
  static void setGlobalFactor(qreal factor);
};

namespace {

QString savedScreenFactors;   // QT_SCREEN_SCALE_FACTORS as the desktop set it
double savedScaleFactor = 1;  // QT_SCALE_FACTOR as the user set it
double desktopFactor = 1;
int setting = 0;
int current = 1;
// Device pixels per logical pixel the platform itself gives (a Wayland buffer scale; 1 on X11,
// where Qt's platform scaling is off). Qt's factor makes up the rest of the scale.
int platformRatio = 1;

QtMessageHandler previousHandler = nullptr;

// Qt warns that the factor should change before any window exists; the windows are redrawn
// right after, so the warning says nothing here.
void DropFactorWarning(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.contains(QLatin1String("QHighDpiScaling::setFactor"))) return;
  if (previousHandler) {
    previousHandler(type, context, text);
  } else {
    std::fputs(qPrintable(qFormatLogMessage(type, context, text) + '\n'), stderr);
  }
}

void SetQtFactor(int scale) {
  previousHandler = qInstallMessageHandler(DropFactorWarning);
  QHighDpiScaling::setGlobalFactor(qreal(scale) / platformRatio);
  qInstallMessageHandler(previousHandler);
  previousHandler = nullptr;
}

// A window keeps its frame in skin pixels (as it stood before the factor changed: the
// window's own geometry is already read through the new factor); its native window and back
// buffer take the new factor.
void Redraw(QWidget* widget, const QRect& frame) {
  QWindow* window = widget->windowHandle();
  // An unchanged geometry is ignored: step aside and back to have it sent to the screen.
  window->setGeometry(frame.adjusted(0, 0, 1, 1));
  window->setGeometry(frame);
  // A back buffer of another size than the window has every widget repainted into a new
  // buffer at the next update. Not an empty size: xcb reads it as 65535 x 65535.
  if (QBackingStore* store = widget->backingStore()) store->resize(QSize(1, 1));
  widget->update();
}

QByteArray X11Resources() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return {};
  xcb_screen_iterator_t roots = xcb_setup_roots_iterator(xcb_get_setup(connection));
  if (roots.rem < 1) return {};
  const xcb_get_property_cookie_t cookie = xcb_get_property(
      connection, 0, roots.data->root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 1u << 20);
  xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
  if (!reply) return {};
  const QByteArray text(static_cast<const char*>(xcb_get_property_value(reply)),
                        xcb_get_property_value_length(reply));
  std::free(reply);
  return text;
}

}  // namespace

void TSkinScale::PrepareEnvironment() {
  savedScreenFactors = qEnvironmentVariable("QT_SCREEN_SCALE_FACTORS");
  bool ok = false;
  const double scaleFactor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
  savedScaleFactor = ok && std::isfinite(scaleFactor) && scaleFactor > 0 ? scaleFactor : 1;
  qunsetenv("QT_SCREEN_SCALE_FACTORS");
  qunsetenv("QT_SCALE_FACTOR");
  // No fractional factor from the platform (Xft.dpi, screen sizes) ...
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  // ... and point-sized fonts (menus, message boxes) measured at the base resolution, since
  // the whole window is scaled after them.
  if (!qEnvironmentVariableIsSet("QT_FONT_DPI")) qputenv("QT_FONT_DPI", "96");
}

double TSkinScale::DesktopFactor() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return savedScaleFactor;
  // With Qt's scaling off this is the platform's own ratio (1 on X11).
  double factor = screen->devicePixelRatio() * platformRatio / current;
  const int index = int(QGuiApplication::screens().indexOf(screen));
  factor = std::max(factor, ScreenFactorFromEnvironment(savedScreenFactors, screen->name(), index));
  factor = std::max(factor, XftDpi(X11Resources()) / 96.0);
  return factor * savedScaleFactor;
}

int TSkinScale::ReadSetting() {
  try {
    const int value = TIniFile(SettingsFileName()).ReadInteger("main", "scale", 0);
    return value >= 0 && value <= kMaxScale ? value : 0;
  } catch (const EBrimtoneError&) {
    return 0;
  }
}

void TSkinScale::WriteSetting(int value) {
  TIniFile(SettingsFileName()).WriteInteger("main", "scale", value);
}

bool TSkinScale::SettingDiffers(int value) {
  try {
    const TIniFile settings(SettingsFileName());
    return !settings.ValueExists("main", "scale") ||
           settings.ReadInteger("main", "scale", -1) != value;
  } catch (const EBrimtoneError&) {
    return true;
  }
}

void TSkinScale::Start() {
  if (QScreen* screen = QGuiApplication::primaryScreen())
    platformRatio = std::max(1, int(std::lround(screen->devicePixelRatio() / current)));
  current = platformRatio;
  desktopFactor = DesktopFactor();
  setting = ReadSetting();
  Apply(ScaleFor(setting, desktopFactor));
}

int TSkinScale::Setting() {
  return setting;
}

void TSkinScale::SetSetting(int value) {
  setting = value;
}

int TSkinScale::Current() {
  return current;
}

void TSkinScale::Apply(int scale) {
  scale = std::clamp(scale, 1, kMaxScale);
  if (scale == current) return;
  current = scale;
  // Windows not created yet start at the new factor by themselves.
  QList<std::pair<QWidget*, QRect>> frames;
  // Hidden windows (menus, hint panels) take the factor when next shown; resizing their
  // never-shown native windows would ask for back buffers of nonsense sizes.
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->isVisible() && widget->windowHandle() && widget->windowHandle()->handle())
      frames.append({widget, widget->geometry()});
  SetQtFactor(scale);
  // Font engines made while the windows were scaled draw 1x text unlike a 1x start.
  if (scale == 1) RenewFontEngines();
  for (const auto& [widget, frame] : frames) Redraw(widget, frame);
}

int TSkinScale::WholeScale(double factor) {
  if (!std::isfinite(factor) || factor <= 0) return 1;
  return int(std::clamp(std::floor(factor + 0.5), 1.0, double(kMaxScale)));
}

int TSkinScale::ScaleFor(int value, double factor) {
  return value >= 1 && value <= kMaxScale ? value : WholeScale(factor);
}

int TSkinScale::Toggled(int scale) {
  return scale == 1 ? 2 : 1;
}

double TSkinScale::ScreenFactorFromEnvironment(const QString& value, const QString& screenName,
                                               int screenIndex) {
  const QStringList entries = value.split(QLatin1Char(';'));
  for (int i = 0; i < entries.size(); ++i) {
    const QString entry = entries[i].trimmed();
    const qsizetype equals = entry.indexOf(QLatin1Char('='));
    QString number = entry;
    if (equals >= 0) {
      if (entry.left(equals).trimmed() != screenName) continue;
      number = entry.mid(equals + 1);
    } else if (i != screenIndex) {
      continue;
    }
    bool ok = false;
    const double factor = number.trimmed().toDouble(&ok);
    return ok && std::isfinite(factor) && factor > 0 ? factor : 0;
  }
  return 0;
}

double TSkinScale::XftDpi(QByteArrayView resources) {
  for (const QByteArray& entry : resources.toByteArray().split('\n')) {
    const QByteArray line = entry.trimmed();
    if (!line.startsWith("Xft.dpi")) continue;
    const QByteArray rest = line.sliced(7).trimmed();
    if (!rest.startsWith(':')) continue;
    bool ok = false;
    const double dpi = rest.sliced(1).trimmed().toDouble(&ok);
    return ok && std::isfinite(dpi) && dpi > 0 ? dpi : 0;
  }
  return 0;
}
