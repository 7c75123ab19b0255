#include "desktop/singleinstance.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <cstdlib>

#include "desktop/folderlock.h"

namespace {
constexpr char kReceipt = '\x06';  // the running program has the request
constexpr char kRefusal = '\x15';  // it will not take it
constexpr char kConfirm = '\x06';  // the sender still waits: the request is to be applied
constexpr int kWaitNoticeMs = 3000;

QByteArray Frame(const QByteArray& request) {
  QByteArray framed;
  QDataStream out(&framed, QIODevice::WriteOnly);
  out << static_cast<quint32>(request.size());
  framed += request;
  return framed;
}

// A folder fit for the socket: a real folder, the user's own, closed to everyone else.
// Checked through a descriptor opened without following a link in its place, so nothing can
// be swapped in between the check and the one change made (owner rights, when missing).
bool IsPrivateFolder(const QString& path, bool followLink) {
  const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
  const int fd = ::open(QFile::encodeName(path).constData(), flags);
  if (fd < 0) return false;
  struct stat info = {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
            (info.st_mode & 077) == 0;
  if (ok && (info.st_mode & 0700) != 0700) ok = ::fchmod(fd, 0700) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

struct TSingleInstance::TIncoming {
  QByteArray request;
  bool answered = false;
  bool done = false;
};

TSingleInstance::TSingleInstance(QString dataDir, QString socketPath, QObject* parent)
    : QObject(parent), dataDir_(std::move(dataDir)), socketPath_(std::move(socketPath)) {}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::RuntimeDir() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (QDir::isAbsolutePath(runtime) && IsPrivateFolder(runtime, true)) return runtime;
  const QString base = QDir::tempPath();
  const QString name = QStringLiteral("brimtone-%1").arg(::getuid());
  const QString usual = base + '/' + name;
  if ((::mkdir(QFile::encodeName(usual).constData(), 0700) == 0 || errno == EEXIST) &&
      IsPrivateFolder(usual, false))
    return usual;
  // Someone else has the usual name: a private folder of a unique name, found again by the
  // next start (nobody else can make one that passes as ours).
  const QStringList taken = QDir(base).entryList(
      {name + "-*"}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
  for (const QString& candidate : taken)
    if (IsPrivateFolder(base + '/' + candidate, false)) return base + '/' + candidate;
  QByteArray pattern = QFile::encodeName(usual + "-XXXXXX");
  if (!::mkdtemp(pattern.data())) return QString();
  const QString made = QFile::decodeName(pattern);
  return IsPrivateFolder(made, false) ? made : QString();
}

QString TSingleInstance::SocketPathFor(const QString& dataDir) {
  const QString runtime = RuntimeDir();
  if (runtime.isEmpty()) return QString();
  const QByteArray hash =
      QCryptographicHash::hash(QDir::cleanPath(dataDir).toUtf8(), QCryptographicHash::Sha1);
  return runtime + "/brimtone-" + QString::fromLatin1(hash.toHex().left(16));
}

// The locks go in the data folder, else (a folder that takes no files) beside the socket;
// with neither there is nothing to lock and the program runs alone.
bool TSingleInstance::LockStart(int startWaitMs) {
  for (int place = 0; place < 2; ++place) {
    QString base;
    if (place == 0 && !dataDir_.isEmpty()) {
      base = QDir(dataDir_).filePath(".brimtone");
    } else if (place == 1) {
      if (socketPath_.isEmpty() && !dataDir_.isEmpty()) socketPath_ = SocketPathFor(dataDir_);
      base = socketPath_;
    }
    if (base.isEmpty()) continue;
    startLock_ = std::make_unique<TFolderLock>(base + "-start.lock");
    QDeadlineTimer deadline(startWaitMs);
    QElapsedTimer waited;
    waited.start();
    bool noticed = false;
    for (;;) {
      const TFolderLock::TResult result = startLock_->TryLock(100);
      if (result != TFolderLock::TResult::Held) break;  // locked, or no lock can be had here
      if (!noticed && waited.elapsed() >= kWaitNoticeMs && waitNotice_) {
        noticed = true;
        waitNotice_();
      }
      if (deadline.hasExpired()) {
        startLock_.reset();
        return false;
      }
    }
    if (startLock_->IsLocked()) {
      runLock_ = std::make_unique<TFolderLock>(base + ".lock");
      return true;
    }
    startLock_.reset();
  }
  return true;
}

TSingleInstance::TRole TSingleInstance::Start(const QByteArray& request, int timeoutMs,
                                              int startWaitMs) {
  // 1.
  if (!LockStart(startWaitMs)) return TRole::StillStarting;
  // Worked out under the lock: a start before this one may just have made the folder.
  if (socketPath_.isEmpty() && !dataDir_.isEmpty()) socketPath_ = SocketPathFor(dataDir_);
  // 2.
  if (!socketPath_.isEmpty()) {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (socket.waitForConnected(timeoutMs)) {
      if (request.size() > kMaxRequest) return TRole::TooLarge;
      socket.write(Frame(request));
      while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(timeoutMs)) return TRole::NoAnswer;
      while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(timeoutMs)) return TRole::NoAnswer;
      char answer = 0;
      socket.getChar(&answer);
      if (answer == kRefusal) return TRole::Refused;
      if (answer != kReceipt) return TRole::NoAnswer;
      socket.putChar(kConfirm);
      return socket.waitForBytesWritten(timeoutMs) ? TRole::HandedOver : TRole::NoAnswer;
    }
  }
  // 3.
  const TFolderLock::TResult run =
      runLock_ ? runLock_->TryLock(0) : TFolderLock::TResult::Unavailable;
  if (runLock_ && run != TFolderLock::TResult::Locked) {
    if (run == TFolderLock::TResult::Held) {
      holder_ = runLock_->Holder();
      if (holder_.isEmpty()) holder_ = QStringLiteral("unknown");
      runLock_.reset();
      startLock_.reset();
      return TRole::Unreachable;
    }
    runLock_.reset();  // the folder takes no lock; it takes no settings either
  }
  // 4.
  if (socketPath_.isEmpty()) return TRole::Failed;
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

void TSingleInstance::Ready() {
  startLock_.reset();
}

void TSingleInstance::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    auto incoming = std::make_shared<TIncoming>();
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this,
            [this, socket, incoming] { Read(socket, incoming); });
  }
}

// 1. the whole frame: answer with the receipt, or the refusal of one too large or not ours
// 2. the sender's confirmation: the request is passed on, from the event loop
// Nothing here waits or opens a box, and nothing touches the socket after it was closed.
void TSingleInstance::Read(QLocalSocket* socket, const std::shared_ptr<TIncoming>& incoming) {
  if (incoming->done) {
    socket->readAll();
    return;
  }
  // 1.
  if (!incoming->answered) {
    const QByteArray head = socket->peek(4);
    if (head.size() < 4) return;
    quint32 size = 0;
    QDataStream(head) >> size;
    const bool tooLarge = size > kMaxRequest;
    if (!tooLarge && socket->bytesAvailable() < 4 + qint64(size)) return;
    if (!tooLarge) {
      socket->read(4);
      incoming->request = socket->read(size);
    }
    const bool accepted = !tooLarge && (!check_ || check_(incoming->request));
    incoming->answered = true;
    socket->putChar(accepted ? kReceipt : kRefusal);
    socket->flush();
    if (!accepted) {
      incoming->done = true;
      incoming->request.clear();
      socket->disconnectFromServer();
      return;
    }
  }
  // 2.
  char confirm = 0;
  if (!socket->getChar(&confirm)) return;
  incoming->done = true;
  QByteArray request = std::exchange(incoming->request, QByteArray());
  socket->disconnectFromServer();
  if (confirm != kConfirm) return;
  QMetaObject::invokeMethod(
      this, [this, request] { emit Received(request); }, Qt::QueuedConnection);
}
