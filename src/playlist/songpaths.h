#pragma once
// Which paths become playlist entries: the songs of one folder (Add Directory) and the
// songs of a drop from a file manager. Plain functions of paths and names; no window.

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// A path the playlist file can hold: one line per key, so no line breaks (nor NUL, nor
// characters the file system's encoding cannot carry).
bool CanStoreInPlaylist(const QString& path);

struct TFolderScan {
  QStringList songs;       // full paths, folder + "/" + name, in case-insensitive name order
  QStringList unstorable;  // matches that cannot be stored (see CanStoreInPlaylist)
};

// The entries of one folder (sub-folders are not entered) whose names match "*.mp3" without
// regard to case, of every kind (hidden ones too, and folders so named). A folder that
// cannot be read gives nothing.
TFolderScan ScanFolderForSongs(const QString& folder);

// A dropped name qualifies when its extension (from the last dot of the file-name part) is
// exactly ".mp3", letter case included.
bool IsDroppedSongName(const QString& path);

struct TDropWalk {
  QStringList songs;       // qualifying local files, in drop order
  QStringList unstorable;  // qualifying files skipped because their names cannot be stored
};

// Walks the dropped URLs in order; the first one that is not a local file or does not
// qualify ends the walk.
TDropWalk WalkDroppedUrls(const QList<QUrl>& urls);

// The one message about skipped files (empty list: empty text).
QString UnstorableNamesMessage(const QStringList& names);
