#pragma once
// The playlist window's first fill, read on a thread of its own while the player window is
// made: the entries of the playlist file as the silent read gives them, and the text of each
// row. Started once this program holds its data folder, so the file read is the one the
// window's creation handler would read itself.

#include <QString>
#include <QStringList>
#include <QVector>
#include <future>
#include <optional>

#include "playlist/playlistfile.h"

struct TPlaylistRows {
  QVector<TPlaylistEntry> entries;
  QStringList texts;  // TPlaylistFile::EntryText of each entry
};

// The rows of a playlist file; nothing when the file is unusable (TPlaylistFile's silent read).
std::optional<TPlaylistRows> ReadPlaylistRows(const QString& fileName = QString());

class TPlaylistReadAhead {
 public:
  // fileName: the program directory's "lastplay.dat" when empty.
  explicit TPlaylistReadAhead(const QString& fileName = QString());
  // Waits for the thread when the rows were never taken.
  ~TPlaylistReadAhead();
  TPlaylistReadAhead(const TPlaylistReadAhead&) = delete;
  TPlaylistReadAhead& operator=(const TPlaylistReadAhead&) = delete;

  // Waits for the thread and hands its rows over (an error it met is thrown here, as it would
  // be by the read itself). A second call reads the file again.
  std::optional<TPlaylistRows> Take();

 private:
  QString fileName_;
  std::future<std::optional<TPlaylistRows>> rows_;
};
