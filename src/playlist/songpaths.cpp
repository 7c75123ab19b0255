#include "playlist/songpaths.h"

#include <dirent.h>

#include <QFile>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

bool HasLineBreak(const QString& text) {
  return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

bool EndsWithMp3AnyCase(const char* name, size_t length) {
  if (length < 4) return false;
  const char* ext = name + length - 4;
  return ext[0] == '.' && (ext[1] | 0x20) == 'm' && (ext[2] | 0x20) == 'p' && ext[3] == '3';
}

// Closes a directory stream on every way out.
struct TDirCloser {
  DIR* dir;
  ~TDirCloser() {
    if (dir) closedir(dir);
  }
};

}  // namespace

bool CanStoreInPlaylist(const QString& path) {
  if (path.isEmpty() || HasLineBreak(path) || path.contains(QChar(0))) return false;
  // Lone surrogates do not survive the trip to the file system's encoding and back.
  return QFile::decodeName(QFile::encodeName(path)) == path;
}

TFolderScan ScanFolderForSongs(const QString& folder) {
  TFolderScan result;
  const QByteArray native = QFile::encodeName(folder);
  TDirCloser dir{opendir(native.constData())};
  if (!dir.dir) return result;

  struct TFound {
    QString name;
    bool storable;
  };
  std::vector<TFound> found;
  while (const dirent* entry = readdir(dir.dir)) {
    const size_t length = std::strlen(entry->d_name);
    if (!EndsWithMp3AnyCase(entry->d_name, length)) continue;
    const QByteArray raw(entry->d_name, static_cast<qsizetype>(length));
    const QString name = QFile::decodeName(raw);
    // A name that is not valid UTF-8 decodes lossily and would name no file once read back.
    const bool storable = QFile::encodeName(name) == raw && !HasLineBreak(name);
    found.push_back({name, storable});
  }

  std::sort(found.begin(), found.end(), [](const TFound& a, const TFound& b) {
    const int byCase = a.name.compare(b.name, Qt::CaseInsensitive);
    return byCase != 0 ? byCase < 0 : a.name < b.name;
  });

  // The folder path and a separator, as the search pattern was built: at the root this
  // gives "//name.mp3", which still names the file.
  const QString prefix = folder + QLatin1Char('/');
  for (const TFound& f : found) {
    const QString path = prefix + f.name;
    if (f.storable && !HasLineBreak(prefix))
      result.songs << path;
    else
      result.unstorable << path;
  }
  return result;
}

bool IsDroppedSongName(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
  if (dot < 0 || dot < slash) return false;
  return QStringView(path).mid(dot) == QLatin1String(".mp3");
}

TDropWalk WalkDroppedUrls(const QList<QUrl>& urls) {
  TDropWalk walk;
  for (const QUrl& url : urls) {
    if (!url.isLocalFile()) break;
    const QString path = url.toLocalFile();
    if (!IsDroppedSongName(path)) break;
    // Bytes that are not valid in the locale's encoding stay percent-encoded in the decoded
    // URL; such a path would not name the dropped file.
    const QByteArray raw = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (CanStoreInPlaylist(path) && QFile::encodeName(path) == raw)
      walk.songs << path;
    else
      walk.unstorable << path;
  }
  return walk;
}

QString UnstorableNamesMessage(const QStringList& names) {
  if (names.isEmpty()) return QString();
  constexpr int kShown = 5;
  QString text = names.size() == 1 ? QStringLiteral(
                                         "1 file was not added: its name cannot be stored in the "
                                         "playlist.")
                                   : QStringLiteral(
                                         "%1 files were not added: their names cannot be stored in "
                                         "the playlist.")
                                         .arg(names.size());
  for (int i = 0; i < names.size() && i < kShown; ++i) {
    QString shown = names[i];
    shown.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    shown.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    text += QLatin1Char('\n') + shown;
  }
  if (names.size() > kShown) text += QStringLiteral("\n...");
  return text;
}
