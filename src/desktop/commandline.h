#pragma once
// The program's command line: songs and folders to add, and options acting on the running
// program. Parsing and resolving are plain functions; nothing here touches a window.

#include <QString>
#include <QStringList>

enum class TRemoteAction { None, PlayPause, Play, Pause, Stop, Next, Previous };

struct TCommandLine {
  enum class Kind { Run, Help, Version, Error };
  Kind kind = Kind::Run;
  TRemoteAction action = TRemoteAction::None;
  bool enqueue = false;        // only append the songs
  QStringList paths;           // as given
  QList<QByteArray> rawPaths;  // the same, as the bytes given
  QString error;               // one line, for Kind::Error
};

// arguments: without the program name, as the bytes given. "--" ends the options.
TCommandLine ParseCommandLine(const QList<QByteArray>& arguments);
TCommandLine ParseCommandLine(const QStringList& arguments);

struct TResolvedSongs {
  QStringList songs;       // full paths, in the order given; a folder gives its songs in name order
  QStringList unstorable;  // names the playlist cannot hold (shown as well as they decode)
  QString error;           // one line for an empty name, a missing one or one not an MP3
};

// Files whose names end in ".mp3" (any letter case), folders as Add Directory reads them;
// relative paths from cwd. Anything else fails the whole line.
TResolvedSongs ResolveSongs(const QList<QByteArray>& paths, const QString& cwd);

QString HelpText();
QString VersionText();

// What one start asks of the program: handed to the running one, or done by itself.
struct TInstanceRequest {
  TRemoteAction action = TRemoteAction::None;
  bool enqueue = false;
  bool raise = false;  // started with no arguments at all
  QStringList songs;
  QStringList unstorable;  // reported with the Add File message, not added
};

QByteArray EncodeRequest(const TInstanceRequest& request);
// False for bytes that are no request (a stray client, another version).
bool DecodeRequest(const QByteArray& bytes, TInstanceRequest& request);

class TPlayerControl;
// 1. songs: appended in one go; the first one added plays unless enqueue; names the
//    playlist cannot hold reported   2. the action   3. raise the windows when asked to
void ApplyRequest(const TInstanceRequest& request, TPlayerControl& control);
