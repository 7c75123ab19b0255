#include "desktop/commandline.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QIODevice>
#include <algorithm>

#include "desktop/playeractions.h"
#include "desktop/playercontrol.h"
#include "playlist/songpaths.h"

#ifndef BRIMTONE_VERSION
#define BRIMTONE_VERSION "0"
#endif

namespace {
struct TOption {
  const char* name;
  TRemoteAction action;
};
constexpr TOption kActions[] = {
    {"--play-pause", TRemoteAction::PlayPause},
    {"--play", TRemoteAction::Play},
    {"--pause", TRemoteAction::Pause},
    {"--stop", TRemoteAction::Stop},
    {"--next", TRemoteAction::Next},
    {"--previous", TRemoteAction::Previous},
};

TCommandLine Error(const QString& text) {
  TCommandLine line;
  line.kind = TCommandLine::Kind::Error;
  line.error = text;
  return line;
}

constexpr quint32 kMagic = 0x42524d32;  // "BRM2"

bool EndsWithMp3(const QByteArray& name) {
  return name.size() >= 4 && name.right(4).toLower() == ".mp3";
}

// A folder whose own name does not decode: none of its songs can be named in the playlist.
QStringList SongsOfUndecodableFolder(const QByteArray& folder, const QString& shown) {
  QStringList songs;
  DIR* dir = ::opendir(folder.constData());
  if (!dir) return songs;
  while (const dirent* entry = ::readdir(dir))
    if (EndsWithMp3(entry->d_name)) songs << shown + '/' + QFile::decodeName(entry->d_name);
  ::closedir(dir);
  songs.sort(Qt::CaseInsensitive);
  return songs;
}
}  // namespace

TCommandLine ParseCommandLine(const QList<QByteArray>& rawArguments) {
  TCommandLine line;
  bool optionsEnded = false;
  for (const QByteArray& raw : rawArguments) {
    const QString argument = QFile::decodeName(raw);
    if (optionsEnded || !argument.startsWith('-') || argument == "-") {
      line.paths << argument;
      line.rawPaths << raw;
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    if (argument == "--help" || argument == "-h") {
      line.kind = TCommandLine::Kind::Help;
      return line;
    }
    if (argument == "--version") {
      line.kind = TCommandLine::Kind::Version;
      return line;
    }
    if (argument == "--enqueue") {
      line.enqueue = true;
      continue;
    }
    const auto found = std::find_if(std::begin(kActions), std::end(kActions),
                                    [&](const TOption& o) { return argument == o.name; });
    if (found == std::end(kActions))
      return Error(QStringLiteral("brimtone: unknown option '%1' (try --help)").arg(argument));
    if (line.action != TRemoteAction::None && line.action != found->action)
      return Error(
          QStringLiteral("brimtone: '%1' cannot be combined with another action").arg(argument));
    line.action = found->action;
  }
  return line;
}

TCommandLine ParseCommandLine(const QStringList& arguments) {
  QList<QByteArray> raw;
  for (const QString& argument : arguments) raw << QFile::encodeName(argument);
  return ParseCommandLine(raw);
}

// Each name is looked up by its bytes: one that does not decode (not valid in the locale's
// encoding) still names its file, which is then reported as one the playlist cannot hold.
TResolvedSongs ResolveSongs(const QList<QByteArray>& paths, const QString& cwd) {
  TResolvedSongs resolved;
  const auto fail = [&resolved](const QString& text) {
    resolved.songs.clear();
    resolved.unstorable.clear();
    resolved.error = text;
    return resolved;
  };
  for (const QByteArray& path : paths) {
    const QString shown = QFile::decodeName(path);
    if (path.isEmpty()) return fail(QStringLiteral("brimtone: an empty name is no file or folder"));
    const QByteArray full = path.startsWith('/') ? path : QFile::encodeName(cwd) + '/' + path;
    struct stat info = {};
    if (::stat(full.constData(), &info) != 0)
      return fail(QStringLiteral("brimtone: no such file or folder: %1").arg(shown));
    const QString decoded = QFile::decodeName(full);
    const bool decodes = QFile::encodeName(decoded) == full;
    const QString clean = QDir::cleanPath(decoded);
    if (S_ISDIR(info.st_mode)) {
      if (!decodes) {
        resolved.unstorable << SongsOfUndecodableFolder(full, clean);
        continue;
      }
      // As Add Directory reads a folder.
      const TFolderScan scan = ScanFolderForSongs(clean);
      resolved.songs << scan.songs;
      resolved.unstorable << scan.unstorable;
      continue;
    }
    if (!S_ISREG(info.st_mode) || !EndsWithMp3(path))
      return fail(QStringLiteral("brimtone: not an MP3 file: %1").arg(shown));
    (decodes && CanStoreInPlaylist(clean) ? resolved.songs : resolved.unstorable) << clean;
  }
  return resolved;
}

QString HelpText() {
  return QStringLiteral(
      "Usage: brimtone [OPTION] [FILE|FOLDER]...\n"
      "Plays MP3 files. Songs given are added to the playlist and the first one plays;\n"
      "a folder gives its MP3 files. A running Brimtone takes them over.\n"
      "\n"
      "  --enqueue      only add the songs given\n"
      "  --play-pause   pause or go on playing\n"
      "  --play         play\n"
      "  --pause        pause\n"
      "  --stop         stop\n"
      "  --next         next song\n"
      "  --previous     previous song\n"
      "  --help         show this text\n"
      "  --version      show the version\n");
}

QString VersionText() {
  return QStringLiteral("Brimtone " BRIMTONE_VERSION "\n");
}

QByteArray EncodeRequest(const TInstanceRequest& request) {
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out.setVersion(QDataStream::Qt_6_4);
  out << kMagic << static_cast<qint32>(request.action) << request.enqueue << request.raise
      << request.songs << request.unstorable;
  return bytes;
}

bool DecodeRequest(const QByteArray& bytes, TInstanceRequest& request) {
  QDataStream in(bytes);
  in.setVersion(QDataStream::Qt_6_4);
  quint32 magic = 0;
  qint32 action = 0;
  TInstanceRequest read;
  in >> magic >> action >> read.enqueue >> read.raise >> read.songs >> read.unstorable;
  if (in.status() != QDataStream::Ok || magic != kMagic || !in.atEnd()) return false;
  if (action < static_cast<qint32>(TRemoteAction::None) ||
      action > static_cast<qint32>(TRemoteAction::Previous))
    return false;
  read.action = static_cast<TRemoteAction>(action);
  request = read;
  return true;
}

void ApplyRequest(const TInstanceRequest& request, TPlayerControl& control) {
  // 1.
  if (!request.songs.isEmpty() || !request.unstorable.isEmpty())
    control.AddSongs(request.songs, !request.enqueue, request.unstorable);
  // 2.
  switch (request.action) {
    case TRemoteAction::None:
      break;
    case TRemoteAction::PlayPause:
      PlayOrPause(control);
      break;
    case TRemoteAction::Play:
      if (control.State() == TPlaybackState::Paused)
        control.PauseToggle();
      else if (control.State() == TPlaybackState::Stopped)
        control.Play();
      break;
    case TRemoteAction::Pause:
      if (control.State() == TPlaybackState::Playing) control.PauseToggle();
      break;
    case TRemoteAction::Stop:
      control.Stop();
      break;
    case TRemoteAction::Next:
      control.Next();
      break;
    case TRemoteAction::Previous:
      control.Previous();
      break;
  }
  // 3.
  if (request.raise) control.Raise();
}
