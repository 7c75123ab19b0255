#include "playlist/playlistfile.h"

#include <sys/stat.h>

#include <QFile>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "platform/dialogs.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "platform/timetext.h"

namespace {

const QString kSection = QStringLiteral("playlist");
const QString kVersion = QStringLiteral("Version");
const QString kNumberOfEntries = QStringLiteral("NumberOfEntries");

QString FileKey(qint64 n) {
  return QStringLiteral("File") + QString::number(n);
}
QString TitleKey(qint64 n) {
  return QStringLiteral("Title") + QString::number(n);
}
QString LengthKey(qint64 n) {
  return QStringLiteral("Length") + QString::number(n);
}

// A key name word + n, built in one buffer reused from call to call.
class TKey {
 public:
  explicit TKey(const char* word) : text_(QLatin1StringView(word)), wordSize_(text_.size()) {}
  const QString& operator()(qint64 n) {
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    text_.resize(wordSize_ + (end - digits));
    QChar* out = text_.data() + wordSize_;
    for (const char* p = digits; p < end; ++p) *out++ = QLatin1Char(*p);
    return text_;
  }

 private:
  QString text_;
  qsizetype wordSize_;
};

enum class TEntryWord { None, Title, Length };

// "Title" + n or "Length" + n, any letter case, n in decimal as the program writes it (so
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
  if (startsWith("title")) {
    word = TEntryWord::Title;
    digits = key.sliced(5);
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
// 4. Rows 1..N with "Title" + n and "Length" + n; gaps read as empty title and 0.
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
  // 4. A file the program wrote has at least two keys per entry; a larger count is damage,
  // and rows past the number of keys could only be empty ones.
  const int rows = std::min(count, std::max(1, ini.KeyCount(kSection)));
  // The titles of the last read are shared where they are unchanged: a refill after each of
  // many appends would otherwise decode ten thousand titles every time.
  TLastTitles& last = LastTitles();
  if (last.fileName != fileName) last = TLastTitles{fileName, {}, {}, {}};
  TLastTitles next{fileName, {}, {}, std::vector<std::pair<qsizetype, qsizetype>>(rows, {0, -1})};
  next.bytes.reserve(last.bytes.size() + 4096);
  auto TitleText = [&](QByteArrayView value, qsizetype row) {
    next.at[row] = {next.bytes.size(), value.size()};
    next.bytes.append(value.data(), value.size());
    if (row < qsizetype(last.at.size()) && last.at[row].second == value.size() &&
        row < last.entries.size() &&
        std::memcmp(last.bytes.constData() + last.at[row].first, value.data(),
                    size_t(value.size())) == 0)
      return last.entries.at(row).Title;
    return QString::fromUtf8(value);
  };
  QVector<TPlaylistEntry> entries(rows);
  for (int n = 1; n <= rows; ++n) entries[n - 1].Number = n;
  // One pass over the section gives what a lookup of "Title" + n and "Length" + n per row would.
  ini.ForEachKey(kSection, [&](QByteArrayView key, QByteArrayView value) {
    const auto [word, n] = EntryKey(key);
    if (n < 1 || n > rows) return;
    if (word == TEntryWord::Title)
      entries[n - 1].Title = TitleText(value, n - 1);
    else if (word == TEntryWord::Length)
      entries[n - 1].LengthSeconds = ParseIniInteger(value, 0);
  });
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

QString TPlaylistFile::LengthText(qint64 seconds) {
  constexpr qint64 kLimit = std::numeric_limits<int32_t>::max() / 1000;
  if (seconds >= -kLimit && seconds <= kLimit) return ChangeToTime(int32_t(seconds * 1000));
  // Beyond 596 hours the milliseconds do not fit the formatter; same text, in seconds.
  const qint64 size = seconds < 0 ? -seconds : seconds;
  const qint64 s = size % 60;
  return (seconds < 0 ? QStringLiteral("-") : QString()) + QString::number(size / 60) + ':' +
         (s < 10 ? QStringLiteral("0") : QString()) + QString::number(s);
}

QString TPlaylistFile::EntryText(const TPlaylistEntry& entry) {
  return QString::number(entry.Number) + QStringLiteral(". ") + entry.Title + QStringLiteral(" (") +
         LengthText(entry.LengthSeconds) + ')';
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

// Deleting entry s = index + 1 of a list of count rows:
// 1. "NumberOfEntries" (1 when missing) is written back one less.
// 2. Entries s+1..count move down by one; each keeps its own Length or none.
// 3. The keys of the last entry go.
void TPlaylistFile::DeleteEntry(int index, int count) const {
  if (index < 0 || index >= count) return;
  const qint64 last = count;
  TIniFile ini(fileName_);
  ini.BeginUpdate();
  // 1.
  const qint64 entries = ini.ReadInteger(kSection, kNumberOfEntries, 1);
  ini.WriteString(kSection, kNumberOfEntries, QString::number(entries - 1));
  // 2.
  // File and Title are read with default empty; Length moves only when it is there.
  // Key names are built in place: ten thousand moves make sixty thousand of them.
  TKey fileTo("File"), fileFrom("File"), titleTo("Title"), titleFrom("Title");
  TKey lengthTo("Length"), lengthFrom("Length");
  for (qint64 k = qint64(index) + 1; k < last; ++k) {
    if (!ini.CopyValue(kSection, fileFrom(k + 1), fileTo(k)))
      ini.WriteString(kSection, fileTo(k), QString());
    if (!ini.CopyValue(kSection, titleFrom(k + 1), titleTo(k)))
      ini.WriteString(kSection, titleTo(k), QString());
    if (!ini.CopyValue(kSection, lengthFrom(k + 1), lengthTo(k)))
      ini.DeleteKey(kSection, lengthTo(k));
  }
  // 3.
  ini.DeleteKey(kSection, FileKey(last));
  ini.DeleteKey(kSection, TitleKey(last));
  ini.DeleteKey(kSection, LengthKey(last));
  ini.EndUpdate();
}

bool TPlaylistFile::ErasePlaylist() const {
  struct stat st;
  const QByteArray native = QFile::encodeName(fileName_);
  if (::lstat(native.constData(), &st) != 0) return true;
  if (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) return false;  // read-only: kept
  return QFile::remove(fileName_);
}
