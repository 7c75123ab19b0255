#pragma once
// The player on the session bus as org.mpris.MediaPlayer2.brimtone (a second program with
// another data folder adds ".instance<pid>"), so media keys and desktop shells drive it.
// PropertiesChanged goes out for every change, whatever caused it: after each change notice
// the properties are compared with what was last announced.

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QVariantMap>

class TPlayerControl;
class TMprisPlayer;
class TMprisRoot;

// QDBusContext: the adaptors answer a call with an error through it.
class TMprisService : public QObject, public QDBusContext {
  Q_OBJECT
 public:
  explicit TMprisService(TPlayerControl& control, QObject* parent = nullptr);
  ~TMprisService() override;

  // Registers on the bus; false (and nothing registered) when there is no bus or no name.
  bool Start(QDBusConnection connection);
  // Start on the session bus, when the user has one; never starts a bus of its own.
  bool StartOnSessionBus();
  const QString& ServiceName() const { return serviceName_; }

  static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
  static constexpr const char* kBaseName = "org.mpris.MediaPlayer2.brimtone";

 private:
  void ScheduleCompare();
  void Compare();
  QVariantMap Snapshot() const;

  TPlayerControl& control_;
  TMprisRoot* root_;
  TMprisPlayer* player_;
  QDBusConnection connection_;
  QString serviceName_;
  QVariantMap announced_;
  bool comparePending_ = false;
};
