#pragma once
// The playlist file "lastplay.dat": the playlist's only store. Every operation opens the
// file for itself (one TIniFile), reads or writes its keys and lets it go; nothing is kept
// between operations. Section "playlist": File<n>, Title<n>, Length<n> (whole seconds),
// NumberOfEntries, Version (always 2).

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// An entry's number and its song's path: what the background length scan measures.
struct TEntryFile {
  int Number = 0;
  QString Path;
};

// What it found: written only while entry Number still names Path.
struct TMeasuredLength {
  int Number = 0;
  QString Path;  // the path that was measured
  qint64 LengthMs = 0;
};

struct TPlaylistEntry {
  int Number = 0;         // 1-based entry number
  QString Title;          // empty when the key is missing
  int LengthSeconds = 0;  // 0 when not measured yet
};

// Write orders of Append entry, by caller.
enum class TAppendOrder {
  FileFirst,    // Add File, Add Directory, Eject: File, Title, NumberOfEntries, Version
  VersionFirst  // shell drop: Version, NumberOfEntries, File, Title
};

class TPlaylistFile {
 public:
  // fileName defaults to the program directory's "lastplay.dat".
  explicit TPlaylistFile(QString fileName = QString());

  const QString& FileName() const { return fileName_; }

  // Read entries. The silent variant reports nothing; the reporting variant shows
  // "Playlist does not exists" or the version message through the dialog seam.
  // Nothing when the file is unusable (the caller's list stays as it is).
  // Rows end at the highest entry number present (File, Title or Length), so a damaged
  // "NumberOfEntries" adds no rows, and a far-out entry number in a damaged file cannot make
  // more than 65,536 rows or one per entry key.
  std::optional<QVector<TPlaylistEntry>> ReadEntriesSilent() const;
  std::optional<QVector<TPlaylistEntry>> ReadEntriesReporting() const;

  // "7. Blue.mp3 (3:35)"
  static QString EntryText(const TPlaylistEntry& entry);
  // The length text of a row: seconds as m:ss.
  static QString LengthText(qint64 seconds);
  // The file-name part of a path: all after the last "/".
  static QString FileNamePart(const QString& path);

  // Appends one song at the end. Throws EIniFileException on a refused write.
  void AppendEntry(const QString& path, TAppendOrder order) const;
  // Appends many songs in one file write (Add Directory, or a drop with VersionFirst): the
  // same keys in the same line order as one AppendEntry each, and all or none of them.
  void AppendEntries(const QStringList& paths, TAppendOrder order) const;
  // Stores the length of entry n (ms / 1000, truncated) unless it has one; true when written.
  // A negative length is no measurement and is not stored.
  bool RecordLength(int n, qint64 lengthMs) const;
  // "File" + n, or "0" when the key is missing.
  QString EntryPath(int n) const;
  // Entries 1..NumberOfEntries that have a File but no Length key, in entry order; none
  // when the file is unusable (Version not 2).
  QVector<TEntryFile> EntriesWithoutLength() const;
  // Stores each length (ms / 1000, truncated) only while its entry still has no Length key and
  // its File is still the measured path; all in one file write. How many were written. Throws
  // EIniFileException on a refused write (then none are).
  int RecordLengths(const QVector<TMeasuredLength>& lengths) const;
  // Removes the entry of list row index, closing the gap; count is the list's row count.
  // An index outside 0..count-1 does nothing. All its writes reach the file in one replace.
  void DeleteEntry(int index, int count) const;
  // Deletes the file if it exists; true when no file is left. A file whose write bits are all
  // off is read-only and stays, as does one the system refuses to delete.
  bool ErasePlaylist() const;

 private:
  QString fileName_;
};
