#pragma once
// Songs' embedded cover pictures as files a desktop shell can show: each written once to the
// user's cache folder ($XDG_CACHE_HOME/brimtone/, ~/.cache/brimtone/), named by a hash of
// its bytes, on a worker thread. The URL is known once the file stands; Ready() says so.

#include <QByteArray>
#include <QObject>
#include <QString>

class TCoverArt : public QObject {
  Q_OBJECT
 public:
  explicit TCoverArt(QObject* parent = nullptr);

  // The file:// URL of the picture given under key (a new key for each song played), or
  // empty while it is being written or when it cannot be.
  QString Url(const QString& key, const QByteArray& picture);

  // The file name for picture: the hash of its bytes and the suffix its format has; empty
  // for bytes of no known picture format.
  static QString FileName(const QByteArray& picture);

 signals:
  void Ready();

 private:
  void Written(const QString& key, const QString& url);

  QString folder_;
  QString key_;
  QString url_;
};
