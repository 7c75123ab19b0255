#include "desktop/folderlock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QSysInfo>
#include <QThread>
#include <cerrno>
#include <utility>

TFolderLock::TFolderLock(QString path) : path_(std::move(path)) {}

TFolderLock::~TFolderLock() {
  Unlock();
}

TFolderLock::TResult TFolderLock::TryLock(int waitMs) {
  if (IsLocked()) return TResult::Locked;
  const QByteArray name = QFile::encodeName(path_);
  const QDeadlineTimer deadline(waitMs);
  for (;;) {
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return TResult::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      // The last holder removes the file as it lets go: a lock on a file no longer in its
      // place locks nothing, so take the new one.
      struct stat held = {}, named = {};
      if (::fstat(fd, &held) == 0 && ::lstat(name.constData(), &named) == 0 &&
          held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
        const QByteArray holder = QByteArray::number(qint64(::getpid())) + "\nbrimtone\n" +
                                  QSysInfo::machineHostName().toUtf8() + '\n';
        if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, holder.constData(), holder.size(), 0) < 0) {
          // The lock holds without the name; only the message of a later start lacks it.
        }
        fd_ = fd;
        return TResult::Locked;
      }
      ::close(fd);
      continue;
    }
    const int error = errno;
    ::close(fd);
    if (error != EWOULDBLOCK) return TResult::Unavailable;
    if (deadline.hasExpired()) return TResult::Held;
    QThread::msleep(quint64(std::min<qint64>(20, deadline.remainingTime())));
  }
}

void TFolderLock::Unlock() {
  if (!IsLocked()) return;
  // Removed while still held: whoever opened it meanwhile finds it gone and starts again.
  ::unlink(QFile::encodeName(path_).constData());
  ::close(std::exchange(fd_, -1));
}

QString TFolderLock::Holder() const {
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  const QList<QByteArray> lines = file.read(4096).split('\n');
  bool ok = false;
  const qint64 pid = lines.value(0).toLongLong(&ok);
  if (!ok || pid <= 0) return QString();
  const QString host = QString::fromUtf8(lines.value(2));
  if (host.isEmpty() || host == QSysInfo::machineHostName()) return QString::number(pid);
  return QStringLiteral("%1 on %2").arg(pid).arg(host);
}
