#include "playlist/playlistfile.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialogs.h"
#include "platform/inifile.h"
#include "platform/programdir.h"

namespace {

const QString kSection = QStringLiteral("playlist");
const QString kVersion = QStringLiteral("Version");
const QString kNumberOfEntries = QStringLiteral("NumberOfEntries");
constexpr qint64 kFreeRows = 65536;

QString FileKey(qint64 n) {
  return QStringLiteral("File") + QString::number(n);
}
QString TitleKey(qint64 n) {
  return QStringLiteral("Title") + QString::number(n);
}
QString LengthKey(qint64 n) {
  return QStringLiteral("Length") + QString::number(n);
}

enum class TEntryWord { None, File, Title, Length };

// "File", "Title" or "Length" + n, any letter case, n in decimal as the program writes it (so
// that "Title01" is not entry 1, just as a lookup of "Title1" would not find it).
std::pair<TEntryWord, qint64> EntryKey(QByteArrayView key) {
  auto startsWith = [&](QByteArrayView word) {  // word in lower case
    if (key.size() <= word.size()) return false;
    for (qsizetype i = 0; i < word.size(); ++i)
      if ((key[i] | 0x20) != word[i]) return false;
    return true;
  };
  TEntryWord word = TEntryWord::None;
  QByteArrayView digits;
  if (startsWith("file")) {
    word = TEntryWord::File;
    digits = key.sliced(4);
  } else if (startsWith("title")) {
    word = TEntryWord::Title;
    digits = key.sliced(5);
  } else if (startsWith("file")) {
    word = TEntryWord::File;
    digits = key.sliced(4);
  } else if (startsWith("length")) {
    word = TEntryWord::Length;
    digits = key.sliced(6);
  } else {
    return {TEntryWord::None, 0};
  }
  if (digits.size() > 10 || digits.front() == '0') return {TEntryWord::None, 0};
  qint64 n = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return {TEntryWord::None, 0};
    n = n * 10 + (c - '0');
  }
  return {word, n};
}

// The titles of the last read, kept as their bytes so that the next read (a refill after each
// of many appends) shares every unchanged title instead of decoding ten thousand again.
struct TLastTitles {
  QString fileName;
  QVector<TPlaylistEntry> entries;
  QByteArray bytes;                                 // the titles' UTF-8, one after another
  std::vector<std::pair<qsizetype, qsizetype>> at;  // per row: offset and size; size -1: none
};

TLastTitles& LastTitles() {
  static TLastTitles last;
  return last;
}

// Reading the entries:
// 1. "Version" must be 2, else the file is unusable (the reporting variant says why).
// 2. Silent variant: "NumberOfEntries" must be there and above 0.
// 3. N = "NumberOfEntries", 1 when missing; 0 or less gives no rows.
// 4. Rows 1..N with "Title" + n and "Length" + n; gaps read as empty title and 0. Rows end
//    at the highest entry number present.
std::optional<QVector<TPlaylistEntry>> ReadEntries(const QString& fileName, bool reporting) {
  const TIniFile ini(fileName);
  // 1.
  const int version = ini.ReadInteger(kSection, kVersion, 0);
  if (version != 2) {
    if (reporting) {
      if (ini.FileExists()) {
        Dialogs().ShowMessage(QStringLiteral("Playlist version incompatibile\r"
                                             "Brimtone requires version 2\r"
                                             "Selected file has got version ") +
                              QString::number(version));
      } else {
        Dialogs().ShowMessage(QStringLiteral("Playlist does not exists"));
      }
    }
    return std::nullopt;
  }
  // 2.
  if (!reporting && ini.ReadInteger(kSection, kNumberOfEntries, -1) <= 0) return std::nullopt;
  // 3.
  const int count = ini.ReadInteger(kSection, kNumberOfEntries, 1);
  if (count <= 0) return QVector<TPlaylistEntry>();
  // 4. Rows run up to the highest entry number present, so that a sparse file still shows its
  // last entry; a count larger than that is damage and costs nothing. Gaps beyond the first
  // kFreeRows may not outnumber the entry keys: a far-out number cannot make billions of rows.
  const qint64 cap = std::min<qint64>(count, std::max<qint64>(kFreeRows, ini.KeyCount(kSection)));
  // The titles of the last read are shared where they are unchanged: a refill after each of
  // many appends would otherwise decode ten thousand titles every time.
  TLastTitles& last = LastTitles();
  if (last.fileName != fileName) last = TLastTitles{fileName, {}, {}, {}};
  TLastTitles next{fileName, {}, {}, std::vector<std::pair<qsizetype, qsizetype>>(cap, {0, -1})};
  next.bytes.reserve(last.bytes.size() + 4096);
  auto TitleText = [&](QByteArrayView value, qsizetype row) {
    next.at[row] = {next.bytes.size(), value.size()};
    next.bytes.append(value.data(), value.size());
    if (row < qsizetype(last.at.size()) && last.at[row].second == value.size() &&
        row < last.entries.size() &&
        std::memcmp(last.bytes.constData() + last.at[row].first, value.data(),
                    size_t(value.size())) == 0)
      return last.entries.at(row).Title;
    return IniValueText(value);
  };
  QVector<TPlaylistEntry> entries(cap);
  for (int n = 1; n <= cap; ++n) entries[n - 1].Number = n;
  qint64 highest = 0, entryKeys = 0;
  // One pass over the section gives what a lookup of "Title" + n and "Length" + n per row would.
  ini.ForEachKey(kSection, [&](QByteArrayView key, QByteArrayView value) {
    const auto [word, n] = EntryKey(key);
    if (word == TEntryWord::None || n < 1 || n > count) return;
    ++entryKeys;
    highest = std::max(highest, n);
    if (n > cap) return;
    if (word == TEntryWord::Title)
      entries[n - 1].Title = TitleText(value, n - 1);
    else if (word == TEntryWord::Length)
      entries[n - 1].LengthSeconds = ParseIniInteger(value, 0);
  });
  const qint64 rows =
      std::min({cap, std::max<qint64>(1, highest), std::max<qint64>(kFreeRows, entryKeys)});
  if (rows < cap) {  // a damaged count: the room for it goes back
    entries.resize(rows);
    entries.squeeze();
    next.at.resize(size_t(rows));
    next.at.shrink_to_fit();
  }
  next.entries = entries;
  last = std::move(next);
  return entries;
}

// Appending one song: k = N + 1, N read afresh from what has been written so far.
void Append(TIniFile& ini, const QString& path, TAppendOrder order) {
  const qint64 k = qint64(ini.ReadInteger(kSection, kNumberOfEntries, 0)) + 1;
  const QString number = QString::number(k);
  if (order == TAppendOrder::FileFirst) {
    ini.WriteString(kSection, FileKey(k), path);
    ini.WriteString(kSection, TitleKey(k), TPlaylistFile::FileNamePart(path));
    ini.WriteString(kSection, kNumberOfEntries, number);
    ini.WriteInteger(kSection, kVersion, 2);
  } else {
    ini.WriteInteger(kSection, kVersion, 2);
    ini.WriteString(kSection, kNumberOfEntries, number);
    ini.WriteString(kSection, FileKey(k), path);
    ini.WriteString(kSection, TitleKey(k), TPlaylistFile::FileNamePart(path));
  }
}

}  // namespace

TPlaylistFile::TPlaylistFile(QString fileName)
    : fileName_(fileName.isEmpty() ? PlaylistFileName() : std::move(fileName)) {}

std::optional<QVector<TPlaylistEntry>> TPlaylistFile::ReadEntriesSilent() const {
  return ReadEntries(fileName_, false);
}

std::optional<QVector<TPlaylistEntry>> TPlaylistFile::ReadEntriesReporting() const {
  return ReadEntries(fileName_, true);
}

namespace {
// Row texts are made for every row of each refill, ten thousand at a time: written straight
// into one string, without the temporaries of number-to-text and concatenation.
void AppendNumber(QString& text, qint64 value) {
  // Through the unsigned size, so that the smallest value has one too.
  const quint64 size = value < 0 ? 0 - quint64(value) : quint64(value);
  char16_t digits[21];
  int at = 21;
  quint64 rest = size;
  do {
    digits[--at] = char16_t(u'0' + rest % 10);
    rest /= 10;
  } while (rest > 0);
  if (value < 0) digits[--at] = u'-';
  text.append(reinterpret_cast<const QChar*>(digits + at), 21 - at);
}

// m:ss, with a minus before a negative length. The same text as the time formatter gives for
// the length in milliseconds, and beyond its range as well.
void AppendLengthText(QString& text, qint64 seconds) {
  const quint64 size = seconds < 0 ? 0 - quint64(seconds) : quint64(seconds);
  if (seconds < 0) text += u'-';
  AppendNumber(text, qint64(size / 60));
  const int s = int(size % 60);
  const char16_t tail[3] = {u':', char16_t(u'0' + s / 10), char16_t(u'0' + s % 10)};
  text.append(reinterpret_cast<const QChar*>(tail), 3);
}
}  // namespace

QString TPlaylistFile::LengthText(qint64 seconds) {
  QString text;
  text.reserve(24);
  AppendLengthText(text, seconds);
  return text;
}

QString TPlaylistFile::EntryText(const TPlaylistEntry& entry) {
  QString text;
  text.reserve(entry.Title.size() + 40);
  AppendNumber(text, entry.Number);
  text += u". ";
  text += entry.Title;
  text += u" (";
  AppendLengthText(text, entry.LengthSeconds);
  text += u')';
  return text;
}

QString TPlaylistFile::FileNamePart(const QString& path) {
  // Linux names may hold ':' and backslashes, so only '/' separates.
  return path.mid(path.lastIndexOf('/') + 1);
}

void TPlaylistFile::AppendEntry(const QString& path, TAppendOrder order) const {
  TIniFile ini(fileName_);
  ini.BeginUpdate();
  Append(ini, path, order);
  ini.EndUpdate();
}

void TPlaylistFile::AppendEntries(const QStringList& paths, TAppendOrder order) const {
  if (paths.isEmpty()) return;
  TIniFile ini(fileName_);
  ini.BeginUpdate();
  for (const QString& path : paths) Append(ini, path, order);
  ini.EndUpdate();
}

bool TPlaylistFile::RecordLength(int n, qint64 lengthMs) const {
  TIniFile ini(fileName_);
  if (lengthMs < 0 || ini.ValueExists(kSection, LengthKey(n))) return false;
  ini.WriteString(kSection, LengthKey(n), QString::number(lengthMs / 1000));
  return true;
}

QString TPlaylistFile::EntryPath(int n) const {
  return TIniFile(fileName_).ReadString(kSection, FileKey(n), QStringLiteral("0"));
}

namespace {

// Entries first+1..last move down by one; then the keys of entry last go. Each move is what
// copying key by key gives: entry k's File and Title take entry k+1's (empty when it has
// none), its Length takes entry k+1's or goes. Done in two passes over the section instead
// of a lookup per key: keys that are there are rewritten where they stand, and the keys that
// were missing are made afterwards in the order the moves would make them, so every line
// ends up where moving key by key puts it.
void MoveEntriesDown(TIniFile& ini, qint64 first, qint64 last) {
  // The values of entries first..last as they stand, per key word (offset, size; size -1:
  // no key), copied: the rewrite may move the content they lie in.
  std::string values;
  values.reserve(
      size_t(std::max<qint64>(0, QFileInfo(ini.FileName()).size())));  // a bound, roughly
  std::vector<std::array<std::pair<qsizetype, qsizetype>, 3>> at(size_t(last - first + 1),
                                                                 {{{0, -1}, {0, -1}, {0, -1}}});
  ini.ForEachKey(
      kSection,
      [&](QByteArrayView key, QByteArrayView value) {
        const auto [word, n] = EntryKey(key);
        if (word == TEntryWord::None || n < first || n > last) return;
        at[size_t(n - first)][int(word) - 1] = {qsizetype(values.size()), value.size()};
        values.append(value.data(), size_t(value.size()));
      },
      true);
  auto source = [&](qint64 n, int word) -> std::optional<QByteArrayView> {
    const auto [offset, size] = at[size_t(n - first)][word];
    if (size < 0) return std::nullopt;
    return QByteArrayView(values.data() + offset, size);
  };
  ini.EditEachKey(kSection, [&](QByteArrayView key, QByteArrayView) -> TIniFile::TKeyEdit {
    const auto [word, n] = EntryKey(key);
    if (word == TEntryWord::None || n < first || n > last) return {};
    if (n == last) return {TIniFile::TKeyEdit::Remove, {}};
    const auto value = source(n + 1, int(word) - 1);
    if (value) return {TIniFile::TKeyEdit::Store, *value};
    if (word == TEntryWord::Length) return {TIniFile::TKeyEdit::Remove, {}};
    return {TIniFile::TKeyEdit::Store, {}};
  });
  const char* const words[] = {"File", "Title", "Length"};
  for (qint64 k = first; k < last; ++k) {
    for (int word = 0; word < 3; ++word) {
      if (source(k, word)) continue;  // rewritten above
      const auto value = source(k + 1, word);
      if (value || word != int(TEntryWord::Length) - 1)
        ini.WriteStored(kSection, QLatin1StringView(words[word]) + QString::number(k),
                        value.value_or(QByteArrayView()));
    }
  }
}

}  // namespace

QVector<TEntryFile> TPlaylistFile::EntriesWithoutLength() const {
  const TIniFile ini(fileName_);
  if (ini.ReadInteger(kSection, kVersion, 0) != 2) return {};
  const qint64 count = ini.ReadInteger(kSection, kNumberOfEntries, 0);
  struct TSeen {
    QString path;
    bool hasFile = false;
    bool hasLength = false;
  };
  std::map<qint64, TSeen> seen;  // a damaged count must not size anything
  ini.ForEachKey(kSection, [&](QByteArrayView key, QByteArrayView value) {
    const auto [word, n] = EntryKey(key);
    if (n < 1 || n > count) return;
    if (word == TEntryWord::File) {
      seen[n].path = QString::fromUtf8(value);
      seen[n].hasFile = true;
    } else if (word == TEntryWord::Length) {
      seen[n].hasLength = true;
    }
  });
  QVector<TEntryFile> entries;
  for (const auto& [n, entry] : seen)
    if (entry.hasFile && !entry.hasLength && !entry.path.isEmpty())
      entries.append({int(n), entry.path});
  return entries;
}

int TPlaylistFile::RecordLengths(const QVector<TMeasuredLength>& lengths) const {
  TIniFile ini(fileName_);
  const qint64 count = ini.ReadInteger(kSection, kNumberOfEntries, 0);
  int written = 0;
  ini.BeginUpdate();
  for (const TMeasuredLength& length : lengths) {
    if (length.LengthMs < 0 || length.Number < 1 || length.Number > count) continue;
    if (ini.ValueExists(kSection, LengthKey(length.Number))) continue;
    if (!ini.ValueExists(kSection, FileKey(length.Number)) ||
        ini.ReadString(kSection, FileKey(length.Number), QString()) != length.Path)
      continue;
    ini.WriteString(kSection, LengthKey(length.Number), QString::number(length.LengthMs / 1000));
    ++written;
  }
  ini.EndUpdate();
  return written;
}

// Deleting entry s = index + 1 of a list of count rows:
// 1. "NumberOfEntries" (1 when missing) is written back one less.
// 2. Entries s+1..count move down by one; each keeps its own Length or none.
// 3. The keys of the last entry go.
void TPlaylistFile::DeleteEntry(int index, int count) const {
  if (index < 0 || index >= count) return;
  TIniFile ini(fileName_);
  ini.BeginUpdate();
  // 1.
  const qint64 entries = ini.ReadInteger(kSection, kNumberOfEntries, 1);
  ini.WriteString(kSection, kNumberOfEntries, QString::number(entries - 1));
  // 2-3.
  MoveEntriesDown(ini, qint64(index) + 1, count);
  ini.EndUpdate();
}

bool TPlaylistFile::ErasePlaylist() const {
  struct stat st;
  const QByteArray native = QFile::encodeName(fileName_);
  if (::lstat(native.constData(), &st) != 0) return true;
  if (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) return false;  // read-only: kept
  return QFile::remove(fileName_);
}
