#include "desktop/mprisservice.h"

#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include "desktop/coverart.h"
#include "desktop/mprisplayer.h"
#include "desktop/mprisroot.h"
#include "desktop/playercontrol.h"

namespace {
// The properties whose changes are announced (Position never is: clients compute it).
constexpr const char* kWatched[] = {"PlaybackStatus", "LoopStatus", "Shuffle",       "Volume",
                                    "Metadata",       "CanGoNext",  "CanGoPrevious", "CanPlay",
                                    "CanPause",       "CanSeek"};
}  // namespace

TMprisService::TMprisService(TPlayerControl& control, QObject* parent)
    : QObject(parent),
      control_(control),
      root_(new TMprisRoot(this, control)),
      player_(new TMprisPlayer(this, control)),
      connection_(QString()) {
  connect(&control, &TPlayerControl::Changed, this, &TMprisService::ScheduleCompare);
  connect(&player_->Cover(), &TCoverArt::Ready, this, &TMprisService::ScheduleCompare);
}

TMprisService::~TMprisService() {
  if (serviceName_.isEmpty()) return;
  connection_.unregisterObject(kObjectPath);
  connection_.unregisterService(serviceName_);
}

bool TMprisService::StartOnSessionBus() {
  // Without an address or the usual socket there is no bus; asking for one would start one.
  if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QFileInfo::exists(runtime + "/bus")) return false;
  }
  return Start(QDBusConnection::sessionBus());
}

bool TMprisService::Start(QDBusConnection connection) {
  if (!connection.isConnected()) return false;
  if (!connection.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors)) return false;
  QString name = kBaseName;
  if (!connection.registerService(name)) {
    name += QStringLiteral(".instance%1").arg(::getpid());
    if (!connection.registerService(name)) {
      connection.unregisterObject(kObjectPath);
      return false;
    }
  }
  connection_ = connection;
  serviceName_ = name;
  announced_ = Snapshot();
  return true;
}

QVariantMap TMprisService::Snapshot() const {
  QVariantMap values;
  values["PlaybackStatus"] = player_->PlaybackStatus();
  values["LoopStatus"] = player_->LoopStatus();
  values["Shuffle"] = player_->Shuffle();
  values["Volume"] = player_->Volume();
  values["Metadata"] = player_->Metadata();
  values["CanGoNext"] = player_->CanGoNext();
  values["CanGoPrevious"] = player_->CanGoPrevious();
  values["CanPlay"] = player_->CanPlay();
  values["CanPause"] = player_->CanPause();
  values["CanSeek"] = player_->CanSeek();
  return values;
}

void TMprisService::ScheduleCompare() {
  if (serviceName_.isEmpty() || comparePending_) return;
  // Many notices of one click make one signal.
  comparePending_ = true;
  QTimer::singleShot(0, this, &TMprisService::Compare);
}

void TMprisService::Compare() {
  comparePending_ = false;
  const QVariantMap now = Snapshot();
  QVariantMap changed;
  for (const char* name : kWatched) {
    const QVariant value = now.value(name);
    if (announced_.value(name) != value) changed.insert(name, value);
  }
  announced_ = now;
  if (changed.isEmpty()) return;
  QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, "org.freedesktop.DBus.Properties",
                                                   "PropertiesChanged");
  signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
  connection_.send(signal);
}
