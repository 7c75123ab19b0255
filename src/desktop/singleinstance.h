#pragma once
// One program per user and data folder. The first start listens on a local socket in the
// user's runtime folder; a later start hands its request over and ends. A socket left by a
// killed program is taken over.
//
// 1. take the start lock (two starts at once queue here)
// 2. connect: a program answers -> send the request, wait for its receipt, done
// 3. nobody answers -> remove what is left, listen; release the lock

#include <QByteArray>
#include <QObject>
#include <QString>

class QLocalServer;

class TSingleInstance : public QObject {
  Q_OBJECT
 public:
  enum class TRole { Primary, HandedOver, NoAnswer, Failed };

  explicit TSingleInstance(QString socketPath, QObject* parent = nullptr);
  ~TSingleInstance() override;

  // The socket of a data folder: <runtime folder>/brimtone-<hash of the folder>; empty when
  // there is no safe runtime folder.
  static QString SocketPathFor(const QString& dataDir);
  // $XDG_RUNTIME_DIR, else a folder of the user's own under the temporary folder; empty when
  // that folder belongs to someone else or others can reach it.
  static QString RuntimeDir();

  // Steps 1-3. HandedOver: the running program took `request`. NoAnswer: one runs but did not
  // take it within timeoutMs. Failed: neither listening nor handing over worked (the
  // program runs alone then; so also without a socket path).
  TRole Start(const QByteArray& request, int timeoutMs = 5000);
  const QString& SocketPath() const { return socketPath_; }

  // Sends one request to a listening program; true when it confirmed receipt.
  static bool Send(const QString& socketPath, const QByteArray& request, int timeoutMs);

 signals:
  // A later start's request, as it sent it.
  void Received(const QByteArray& request);

 private:
  void Accept();

  QString socketPath_;
  QLocalServer* server_ = nullptr;
};
