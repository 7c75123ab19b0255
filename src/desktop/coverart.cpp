#include "desktop/coverart.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThreadPool>
#include <QUrl>

TCoverArt::TCoverArt(QObject* parent) : QObject(parent) {
  const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
  if (!cache.isEmpty()) folder_ = cache + "/brimtone";
}

QString TCoverArt::FileName(const QByteArray& picture) {
  const char* suffix = picture.startsWith("\xff\xd8\xff")                          ? ".jpg"
                       : picture.startsWith("\x89PNG\r\n\x1a\n")                   ? ".png"
                       : picture.startsWith("GIF8")                                ? ".gif"
                       : picture.startsWith("RIFF") && picture.mid(8, 4) == "WEBP" ? ".webp"
                       : picture.startsWith("BM")                                  ? ".bmp"
                                                                                   : nullptr;
  if (!suffix) return QString();
  const QByteArray hash = QCryptographicHash::hash(picture, QCryptographicHash::Sha1).toHex();
  return QString::fromLatin1(hash) + suffix;
}

QString TCoverArt::Url(const QString& key, const QByteArray& picture) {
  if (key == key_) return url_;
  key_ = key;
  url_.clear();
  if (folder_.isEmpty()) return url_;  // no cache folder to write in
  // Hashing and writing happen off the GUI thread; the bytes are shared, not copied.
  QThreadPool::globalInstance()->start(
      [guard = QPointer<TCoverArt>(this), folder = folder_, key, picture]() mutable {
        const QString name = FileName(picture);
        QString url;
        if (!name.isEmpty()) {
          const QString path = folder + '/' + name;
          bool stands = QFileInfo(path).size() == picture.size();
          if (!stands && QDir().mkpath(folder)) {
            QSaveFile file(path);
            stands = file.open(QIODevice::WriteOnly) && file.write(picture) == picture.size() &&
                     file.commit();
          }
          if (stands) url = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
        }
        if (QCoreApplication* app = QCoreApplication::instance())
          QMetaObject::invokeMethod(
              app,
              [guard = std::move(guard), key, url] {
                if (guard) guard->Written(key, url);
              },
              Qt::QueuedConnection);
      });
  return url_;
}

void TCoverArt::Written(const QString& key, const QString& url) {
  if (key != key_ || url.isEmpty()) return;
  url_ = url;
  emit Ready();
}
