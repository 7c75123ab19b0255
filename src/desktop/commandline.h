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
  bool enqueue = false;  // only append the songs
  QStringList paths;     // as given
  QString error;         // one line, for Kind::Error
};

// arguments: without the program name. "--" ends the options.
TCommandLine ParseCommandLine(const QStringList& arguments);

struct TResolvedSongs {
  QStringList songs;  // full paths, in the order given; a folder gives its songs in name order
  QString error;      // one line when a path does not exist
};

// Files as given (any name), folders as Add Directory reads them; relative paths from cwd.
TResolvedSongs ResolveSongs(const QStringList& paths, const QString& cwd);

QString HelpText();
QString VersionText();

// What one start asks of the program: handed to the running one, or done by itself.
struct TInstanceRequest {
  TRemoteAction action = TRemoteAction::None;
  bool enqueue = false;
  bool raise = false;  // started with no arguments at all
  QStringList songs;
};

QByteArray EncodeRequest(const TInstanceRequest& request);
// False for bytes that are no request (a stray client, another version).
bool DecodeRequest(const QByteArray& bytes, TInstanceRequest& request);

class TPlayerControl;
// 1. songs: appended in one go; the first one added plays unless enqueue
// 2. the action   3. raise the windows when asked to
void ApplyRequest(const TInstanceRequest& request, TPlayerControl& control);
