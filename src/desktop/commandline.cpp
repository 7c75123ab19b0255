#include "desktop/commandline.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
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

constexpr quint32 kMagic = 0x42524d31;  // "BRM1"
}  // namespace

TCommandLine ParseCommandLine(const QStringList& arguments) {
  TCommandLine line;
  bool optionsEnded = false;
  for (const QString& argument : arguments) {
    if (optionsEnded || !argument.startsWith('-') || argument == "-") {
      line.paths << argument;
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

TResolvedSongs ResolveSongs(const QStringList& paths, const QString& cwd) {
  TResolvedSongs resolved;
  const QDir base(cwd);
  for (const QString& path : paths) {
    const QFileInfo info(base.absoluteFilePath(path));
    if (!info.exists()) {
      resolved.error = QStringLiteral("brimtone: no such file or folder: %1").arg(path);
      resolved.songs.clear();
      return resolved;
    }
    const QString full = QDir::cleanPath(info.absoluteFilePath());
    if (info.isDir()) {
      // As Add Directory reads a folder; unstorable names go along to be reported there.
      const TFolderScan scan = ScanFolderForSongs(full);
      resolved.songs << scan.songs << scan.unstorable;
    } else {
      resolved.songs << full;
    }
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
      << request.songs;
  return bytes;
}

bool DecodeRequest(const QByteArray& bytes, TInstanceRequest& request) {
  QDataStream in(bytes);
  in.setVersion(QDataStream::Qt_6_4);
  quint32 magic = 0;
  qint32 action = 0;
  TInstanceRequest read;
  in >> magic >> action >> read.enqueue >> read.raise >> read.songs;
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
  if (!request.songs.isEmpty()) control.AddSongs(request.songs, !request.enqueue);
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
