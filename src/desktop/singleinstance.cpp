#include "desktop/singleinstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace {
constexpr qint64 kMaxRequest = 16 * 1024 * 1024;
constexpr char kReceipt = '\x06';

QByteArray Frame(const QByteArray& request) {
  QByteArray framed;
  QDataStream out(&framed, QIODevice::WriteOnly);
  out << static_cast<quint32>(request.size());
  framed += request;
  return framed;
}
}  // namespace

TSingleInstance::TSingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::RuntimeDir() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QDir(runtime).exists()) return runtime;
  const QString own = QDir::tempPath() + QStringLiteral("/brimtone-%1").arg(::getuid());
  QDir().mkpath(own);
  QFile::setPermissions(own,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  // A folder someone else made (or can reach) is no place for the socket: run alone then.
  const QFileInfo info(own);
  const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                          QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                          QFileDevice::WriteOther | QFileDevice::ExeOther;
  if (info.isSymLink() || !info.isDir() || info.ownerId() != ::getuid() ||
      (info.permissions() & others))
    return QString();
  return own;
}

QString TSingleInstance::SocketPathFor(const QString& dataDir) {
  const QString runtime = RuntimeDir();
  if (runtime.isEmpty()) return QString();
  const QByteArray hash =
      QCryptographicHash::hash(QDir::cleanPath(dataDir).toUtf8(), QCryptographicHash::Sha1);
  return runtime + "/brimtone-" + QString::fromLatin1(hash.toHex().left(16));
}

bool TSingleInstance::Send(const QString& socketPath, const QByteArray& request, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(socketPath);
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(Frame(request));
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  while (socket.bytesAvailable() < 1)
    if (!socket.waitForReadyRead(timeoutMs)) return false;
  char receipt = 0;
  return socket.getChar(&receipt) && receipt == kReceipt;
}

TSingleInstance::TRole TSingleInstance::Start(const QByteArray& request, int timeoutMs) {
  if (socketPath_.isEmpty()) return TRole::Failed;
  // 1. A lock whose holder died is stale after its owner is gone; QLockFile checks that.
  QLockFile lock(socketPath_ + ".lock");
  lock.setStaleLockTime(0);
  const bool locked = lock.tryLock(timeoutMs);
  // 2.
  {
    QLocalSocket probe;
    probe.connectToServer(socketPath_);
    if (probe.waitForConnected(timeoutMs)) {
      probe.abort();
      return Send(socketPath_, request, timeoutMs) ? TRole::HandedOver : TRole::NoAnswer;
    }
  }
  if (!locked) return TRole::Failed;
  // 3.
  QLocalServer::removeServer(socketPath_);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(socketPath_)) {
    delete server_;
    server_ = nullptr;
    return TRole::Failed;
  }
  connect(server_, &QLocalServer::newConnection, this, &TSingleInstance::Accept);
  return TRole::Primary;
}

void TSingleInstance::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (socket->property("done").toBool()) return;
      const QByteArray head = socket->peek(4);
      if (head.size() < 4) return;
      quint32 size = 0;
      QDataStream(head) >> size;
      if (size > kMaxRequest) {
        socket->abort();
        return;
      }
      if (socket->bytesAvailable() < 4 + qint64(size)) return;
      socket->read(4);
      const QByteArray request = socket->read(size);
      socket->setProperty("done", true);
      socket->putChar(kReceipt);
      socket->flush();
      emit Received(request);
    });
  }
}
