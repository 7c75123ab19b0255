#pragma once
// One program per user and data folder. The first start listens on a local socket in the
// user's runtime folder; a later start hands its request over and ends. A socket left by a
// killed program is taken over.
//
// 1. take the start lock (two starts at once queue here; a program that is still starting
//    holds it until it answers requests, so a later start waits while that one lives)
// 2. connect: a program answers -> send the request, wait for its receipt, confirm, done
// 3. nobody answers, but the data folder's run lock is held -> another program uses the
//    folder and cannot be reached: say so
// 4. take the run lock (held for the program's life), remove what is left, listen
// 5. Ready(): release the start lock once requests are handled
//
// A hand-over is two-phase: the running program takes a request only after the later start
// confirmed its receipt, so a start that gave up waiting never sees its request applied.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;
class TFolderLock;

class TSingleInstance : public QObject {
  Q_OBJECT
 public:
  enum class TRole {
    Primary,        // listening: this is the program
    Failed,         // no socket could be made; runs alone, holding the data folder
    HandedOver,     // the running program took the request
    NoAnswer,       // one runs but did not take the request; it will not apply it
    TooLarge,       // the request is too large to hand over; nothing was sent
    Refused,        // the running program did not understand the request
    StillStarting,  // another start held the start lock all the time allowed
    Unreachable,    // another program uses the data folder, without a socket to reach it
  };

  // dataDir: the folder whose program this is; the locks live in it (beside the socket
  // when the folder cannot take them). socketPath: empty for the data folder's own
  // (SocketPathFor), worked out under the start lock. With an empty dataDir the locks lie
  // beside socketPath.
  explicit TSingleInstance(QString dataDir, QString socketPath = QString(),
                           QObject* parent = nullptr);
  ~TSingleInstance() override;

  // The socket of a data folder: <runtime folder>/brimtone-<hash of the folder>; empty when
  // there is no safe runtime folder.
  static QString SocketPathFor(const QString& dataDir);
  // $XDG_RUNTIME_DIR when it is the user's private folder, else a folder of the user's own
  // under the temporary folder: brimtone-<uid>, or, when someone else took that name, a
  // private brimtone-<uid>-XXXXXX (the first such found, else a new one). Empty when none
  // can be had.
  static QString RuntimeDir();

  // Decides whether received bytes are a request (else the sender is told it was refused).
  void SetRequestCheck(std::function<bool(const QByteArray&)> check) { check_ = std::move(check); }
  // Called once when step 1 has waited a few seconds for a program that is starting.
  void SetWaitNotice(std::function<void()> notice) { waitNotice_ = std::move(notice); }

  // Steps 1-4. timeoutMs bounds each wait for the running program's answer; startWaitMs
  // the wait for another start.
  TRole Start(const QByteArray& request, int timeoutMs = 5000, int startWaitMs = 600000);
  // Step 5: the program handles requests from now on.
  void Ready();
  const QString& SocketPath() const { return socketPath_; }
  // Who holds the data folder (for Unreachable): its process id, and host when not this one.
  QString Holder() const { return holder_; }

  // The largest request handed over.
  static constexpr qint64 kMaxRequest = 256 * 1024 * 1024;

 signals:
  // A later start's request, as it sent it; emitted from the event loop once the sender has
  // confirmed and the socket is done with, so receivers may open boxes.
  void Received(const QByteArray& request);

 private:
  struct TIncoming;
  bool LockStart(int startWaitMs);
  void Accept();
  void Read(QLocalSocket* socket, const std::shared_ptr<TIncoming>& incoming);

  QString dataDir_;
  QString socketPath_;
  QString holder_;
  std::unique_ptr<TFolderLock> startLock_;
  std::unique_ptr<TFolderLock> runLock_;
  QLocalServer* server_ = nullptr;
  std::function<bool(const QByteArray&)> check_;
  std::function<void()> waitNotice_;
};
