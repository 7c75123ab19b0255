#include "platform/skinbitmap.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "platform/errors.h"
#include "platform/programdir.h"

QImage LoadBitmapFile(const QString& path) {
  // Opened with the system call so the message carries the system's own reason.
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason));
  }
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
  }
  QImage image;
  // Bounded read: a skin bitmap larger than 64 MiB is not a skin bitmap.
  if (file.size() > 64 * 1024 * 1024 || !image.load(&file, "BMP") || image.isNull())
    throw EInvalidGraphic(QStringLiteral("Bitmap image is not valid"));
  return image;
}

QImage LoadSkinBitmap(const QString& relativeName) {
  return LoadBitmapFile(ProgramFileAnyCase(relativeName));
}
