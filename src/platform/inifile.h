#pragma once
// Private-profile (INI) files as Windows programs write them. One TIniFile lives for one
// operation: it reads the file once when created, and every write reaches the file before
// the write call returns, as a whole-file atomic replace (a temporary file in the same folder,
// renamed over it; not synced to the device, see ReplaceFile). Between BeginUpdate and EndUpdate
// writes are collected and committed in one replace (many keys, one file write).
//
// Section and key names match without regard to letter case. Lines that are not understood
// are kept as they stand; a new key goes at the end of its section; a new section at the end
// of the file. A refused write throws EIniFileException "Unable to write to <full path>" and
// leaves the file as it was. A file whose write permission bits are all off is read-only,
// also for root. Files up to 1 GiB are read whole; a write that would make a larger one is
// refused, so every file written here reads back.
//
// The first TIniFile asks the C library (glibc) to keep freed blocks of up to 32 MB for reuse
// instead of returning them to the system at once: each operation on a long playlist
// allocates and frees megabytes, and faulting them in again each time is the largest cost.

#include <QByteArrayView>
#include <QString>
#include <functional>
#include <memory>

class TIniFile {
 public:
  explicit TIniFile(const QString& fileName);
  // Commits an update left open, unless an exception is unwinding through the update (then
  // its writes are dropped, so that a half-done batch never reaches the disk). Never throws.
  ~TIniFile();
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const QString& FileName() const;
  bool FileExists() const;  // whether the file existed when it was read

  // The value as text: blanks around it trimmed, one pair of enclosing quotes removed,
  // decoded as UTF-8 (a leading U+FEFF stays part of it). Read whole (no length limit).
  QString ReadString(const QString& section, const QString& key, const QString& def) const;
  // Decimal, or hexadecimal after "0x"/"0X" (longer than two characters); otherwise def.
  int ReadInteger(const QString& section, const QString& key, int def) const;
  // Read as an integer: non-zero is true, 0 false, anything else def.
  bool ReadBool(const QString& section, const QString& key, bool def) const;
  bool ValueExists(const QString& section, const QString& key) const;
  // Number of distinct keys in the section (0 when it does not exist).
  int KeyCount(const QString& section) const;
  // Visits the keys of the section in file order, each once (its first line), with the raw
  // UTF-8 bytes of its name and of its value as ReadString sees it. One pass over the section
  // instead of one lookup per key.
  // With stored set, each value as it stands in the file (quotes kept), as CopyValue copies it.
  void ForEachKey(const QString& section,
                  const std::function<void(QByteArrayView key, QByteArrayView value)>& visit,
                  bool stored = false) const;

  // A value with blanks at either end, or already enclosed in quotes, is written in double
  // quotes so that it reads back unchanged. Line breaks cannot be stored and become blanks.
  // A name that would not read back as written (empty, with a line break; a section name
  // with "]"; a key name with "=" or starting with ";" or "[") is refused like a write to a
  // read-only file, and nothing is written.
  void WriteString(const QString& section, const QString& key, const QString& value);
  void WriteInteger(const QString& section, const QString& key, int value);
  void WriteBool(const QString& section, const QString& key, bool value);  // "1" / "0"
  // Writes toKey with fromKey's value exactly as it stands in the file (nothing decoded, so
  // nothing lost); false, writing nothing, when fromKey is missing.
  bool CopyValue(const QString& section, const QString& fromKey, const QString& toKey);
  // Writes the value exactly as it is to stand in the file, as CopyValue does (nothing
  // encoded). A value that would not read back so (a line break, blanks at either end) is
  // refused like an unstorable name.
  void WriteStored(const QString& section, const QString& key, QByteArrayView stored);
  // Removes every line of the key in its section; a missing key writes nothing.
  void DeleteKey(const QString& section, const QString& key);

  // Rewrites many keys of a section in one pass instead of one lookup per key: edit sees each
  // key as ForEachKey does, with its value as it stands in the file, and says what becomes of
  // it: kept, given a value as it is to stand in the file (as CopyValue writes), or removed
  // (as DeleteKey). A value given must stay valid until the pass ends, and read back as given
  // (as for WriteStored); otherwise the pass is refused and, since it cannot be undone
  // halfway, the writes of an open batch go with it. A write like any other.
  struct TKeyEdit {
    enum TAction { Keep, Store, Remove } action = Keep;
    QByteArrayView value;
  };
  void EditEachKey(const QString& section,
                   const std::function<TKeyEdit(QByteArrayView key, QByteArrayView value)>& edit);

  // Batches writes into one commit. Nested calls count; the outermost EndUpdate commits.
  // When that commit is refused, none of the batch's writes stay, on disk or in memory.
  void BeginUpdate();
  void EndUpdate();

 private:
  struct Data;
  std::unique_ptr<Data> d;
};

// A value's UTF-8 as ReadString decodes it (a leading U+FEFF stays part of the text).
QString IniValueText(QByteArrayView utf8);

// Parses an integer value the way the INI layer does; returns def when it is not a number.
int ParseIniInteger(const QString& text, int def);
int ParseIniInteger(QByteArrayView utf8, int def);

// Forgets the parsed files kept between operations (benchmarks measure cold reads with it).
// Never needed for correctness: every open checks the file on disk.
void ClearIniFileCache();

// Removes what writes of the file at path left behind when the program was killed or the
// power went mid-write: temporary files beside it (or beside the file a link leads to) named
// as its writes name them, plain files of this user untouched for a minute. Anything else
// stays. Returns how many went.
int RemoveLeftoverTemporaryFiles(const QString& path);

// Tests (and only tests) stand in for the close of a write's temporary file, to fail it as
// NFS or a quota would; nullptr restores the real one.
void SetTemporaryCloseForTesting(int (*close)(int fd));
