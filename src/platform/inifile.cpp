#include "platform/inifile.h"

#include <dirent.h>
#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/errors.h"

// How a file is held:
// 1. Load: the file is read whole (or its parse is taken from the cache when the file on disk
//    is provably the one parsed before) and split into lines. Every line keeps its own bytes
//    and terminator, so lines that are not touched are written back exactly as they were.
// 2. Index: section headers and key lines (not ";" comments) go into one hash table keyed by their
// lower-cased
//    names. The first section of a name is the section; a later header of the same name and
//    its lines are kept but not used. Within a section the first line of a key wins.
// 3. Edit: a changed line gets new bytes at the end of the arena; a new key is linked in after
//    its section's last key line; a new section after the last line; deleted lines are marked.
// 4. Commit: after checking that the file may be written, the live lines in file order go to
//    a temporary file in the same folder, which is renamed over the file. Content held by no
//    other access object is edited in place; a refused commit reads the file back instead.
// 5. Cache: the parsed content is kept per path and reused only while the file on disk is
//    the same: same identity and old enough to rule out an unseen same-second edit, or the
//    same bytes (compared as the file is read; our own writes are in that window at first).

namespace {

// Files up to this size are read; no write makes a larger one, so that whatever the program
// writes it reads back. Larger files are not ours: they read as empty and are never replaced.
constexpr qint64 kMaxFileSize = qint64(1) << 30;
// The file and the edits made to it are held in one arena addressed by 32-bit offsets; room
// for a file of the largest size to be rewritten once over.
constexpr qsizetype kMaxArena = qsizetype(0xF0000000);
constexpr int64_t kRacyWindowNs = 2'000'000'000;  // coarser than any file system's timestamps
constexpr size_t kCacheEntries = 4;

enum LineKind : uint8_t { kOther, kSection, kKey };

struct Line {
  uint32_t start = 0;  // the line's bytes in the arena: text, then terminator
  uint32_t size = 0;
  uint32_t nameStart = 0;  // section name or key, blanks trimmed
  uint32_t nameLen = 0;
  uint32_t valueStart = 0;  // key lines: the value, blanks trimmed
  uint32_t valueLen = 0;
  int32_t section = -1;  // section and key lines: the section's index
  int32_t next = -1;     // the following line in file order
  int32_t dupNext = -1;  // key lines: the next line of the same key in the same section
  int32_t dupTail = -1;  // the first line of a key: the last line of that key
  uint8_t eolLen = 0;
  LineKind kind = kOther;
  bool dead = false;
  bool repeated = false;  // a further line of a key already present in the section
};

struct Section {
  int32_t header;
  int32_t anchor;  // new keys go after this line: the section's last key line, or the header
  int32_t keyCount;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// A value given as it is to stand in the file reads back the same: one line, no blanks at
// either end (reading trims them).
bool StorableStoredValue(QByteArrayView value) {
  return !value.contains('\r') && !value.contains('\n') &&
         (value.isEmpty() || (!IsBlank(value.front()) && !IsBlank(value.back())));
}

// Eight bytes at a time, ASCII letters lower-cased (bytes from 0x80 up are left alone).
uint64_t LowerWord(uint64_t w) {
  constexpr uint64_t ones = 0x0101010101010101ULL;
  const uint64_t low7 = w & (0x7f * ones);
  const uint64_t aboveA = low7 + (0x80 - 'A') * ones;      // top bit set for bytes >= 'A'
  const uint64_t aboveZ = low7 + (0x80 - 'Z' - 1) * ones;  // top bit set for bytes > 'Z'
  const uint64_t upper = aboveA & ~aboveZ & ~w & (0x80 * ones);
  return w | (upper >> 2);
}

uint64_t LoadWord(const char* p, qsizetype n) {  // up to 8 bytes; missing ones are zero
  uint64_t w = 0;
  if (n >= 8) {
    std::memcpy(&w, p, 8);
    return w;
  }
  for (qsizetype i = 0; i < n; ++i) w |= uint64_t(uint8_t(p[i])) << (8 * i);
  return w;
}

bool SameName(const char* a, uint32_t aLen, QByteArrayView b) {
  if (aLen != static_cast<uint32_t>(b.size())) return false;
  if (std::memcmp(a, b.data(), aLen) == 0) return true;  // usually spelt alike
  for (qsizetype i = 0; i < qsizetype(aLen); i += 8) {
    const qsizetype n = std::min<qsizetype>(8, aLen - i);
    if (LowerWord(LoadWord(a + i, n)) != LowerWord(LoadWord(b.data() + i, n))) return false;
  }
  return true;
}

uint64_t HashSeed() {
  // Random per process, so that a crafted file cannot make every name collide.
  static const uint64_t seed = QRandomGenerator::system()->generate64();
  return seed;
}

uint64_t HashName(QByteArrayView name, uint64_t salt) {
  uint64_t h = (HashSeed() ^ salt) + static_cast<uint64_t>(name.size()) * 0x9e3779b97f4a7c15ULL;
  for (qsizetype i = 0; i < name.size(); i += 8) {
    const uint64_t w =
        LowerWord(LoadWord(name.data() + i, std::min<qsizetype>(8, name.size() - i)));
    h = (h ^ w) * 0xff51afd7ed558ccdULL;
    h ^= h >> 29;
  }
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ULL;
  h ^= h >> 33;
  return h;
}

constexpr uint64_t kSectionSalt = 0x5ec7104e5ec7104eULL;
uint64_t KeySalt(int32_t section) {
  return (static_cast<uint64_t>(section) + 1) * 0x9e3779b97f4a7c15ULL;
}

QByteArrayView Trimmed(QByteArrayView v) {
  qsizetype s = 0, e = v.size();
  while (s < e && IsBlank(v[s])) ++s;
  while (e > s && IsBlank(v[e - 1])) --e;
  return v.sliced(s, e - s);
}

// The parsed file: its lines, the index, and what edits have made of them.
class TContent {
 public:
  static std::shared_ptr<TContent> Parse(const QByteArray& bytes);

  QByteArray Serialize() const;
  qsizetype ArenaSize() const { return arena_.size(); }
  bool Sparse(qsizetype liveBytes) const {
    return arena_.size() > 2 * liveBytes + (1 << 20) || dead_ > lines_.size() / 2 + 1024;
  }

  int32_t FindSection(QByteArrayView name) const;
  int32_t FindKey(int32_t section, QByteArrayView key) const;  // first live line, or -1
  QByteArrayView Value(int32_t line) const {
    return QByteArrayView(arena_.constData() + lines_[line].valueStart, lines_[line].valueLen);
  }
  int KeyCount(int32_t section) const { return sections_[section].keyCount; }
  template <typename Visit>
  void ForEachKey(int32_t section, Visit&& visit) const {
    for (int32_t i = lines_[sections_[section].header].next; i >= 0 && lines_[i].kind != kSection;
         i = lines_[i].next) {
      const Line& l = lines_[i];
      if (l.kind == kKey && !l.dead && !l.repeated && l.section == section)
        visit(Name(l), Value(i));
    }
  }

  // Both return false when the content would grow beyond what is held in memory.
  bool SetValue(QByteArrayView section, QByteArrayView key, QByteArrayView value);
  // The key lines visited as by ForEachKey, each kept, rewritten or removed as edit says;
  // false when a value would not read back as given or the content would grow beyond what
  // is held in memory (the edits made so far are then to be dropped).
  template <typename Edit>
  bool EditEachKey(int32_t section, Edit&& edit);
  bool DeleteKey(QByteArrayView section, QByteArrayView key);
  // Writes to with from's value as it stands; -1 when from is missing (nothing written).
  int CopyValue(QByteArrayView section, QByteArrayView from, QByteArrayView to);

 private:
  QByteArrayView Name(const Line& line) const {
    return QByteArrayView(arena_.constData() + line.nameStart, line.nameLen);
  }
  uint64_t HashOf(const Line& line) const {
    return HashName(Name(line), line.kind == kSection ? kSectionSalt : KeySalt(line.section));
  }
  void AddParsedLine(qsizetype start, qsizetype textStart, qsizetype textEnd, uint8_t eolLen,
                     int32_t& currentSection, std::vector<int32_t>& keyLines);
  int32_t AddSection(int32_t line);
  bool IndexKey(int32_t line);  // false when it is a further line of a key already present
  bool IndexKey(int32_t line, uint64_t hash);
  void IndexParsedKeys(const std::vector<int32_t>& keyLines);
  void Reserve(size_t entries);
  void Link(int32_t line, int32_t after);
  bool Rewrite(int32_t line, const QByteArray& bytes, uint32_t nameOffset, uint32_t nameLen,
               uint32_t valueOffset, uint32_t valueLen);
  bool PutKeyLine(int32_t line, QByteArrayView name, QByteArrayView value, QByteArrayView eol);
  uint32_t AppendToArena(const char* data, size_t size);  // the caller checked kMaxArena
  bool SetValueIn(int32_t section, QByteArrayView key, QByteArrayView value);
  bool Terminate(int32_t line);

  QByteArray arena_;
  std::vector<Line> lines_;
  std::vector<Section> sections_;
  // Headers and first key lines, with the top half of their hash so that most probes need
  // not look at the line itself.
  struct Slot {
    uint32_t tag = 0;
    int32_t line = -1;  // -1: free
  };
  static uint32_t Tag(uint64_t hash) { return static_cast<uint32_t>(hash >> 32); }
  std::vector<Slot> slots_;
  size_t used_ = 0;
  size_t dead_ = 0;
  int32_t head_ = -1;
  int32_t tail_ = -1;
  QByteArray eol_ = "\n";
};

std::shared_ptr<TContent> TContent::Parse(const QByteArray& bytes) {
  auto content = std::make_shared<TContent>();
  TContent& c = *content;
  c.arena_ = bytes;
  const char* p = c.arena_.constData();
  const qsizetype n = c.arena_.size();
  // Sized once: a key or header line takes at least three bytes.
  qsizetype lineFeeds = 0;
  for (const char* q = p; (q = static_cast<const char*>(std::memchr(q, '\n', p + n - q))); ++q)
    ++lineFeeds;
  const auto estimate = static_cast<size_t>(std::min(lineFeeds, n / 3) + 2);
  c.lines_.reserve(estimate);
  c.Reserve(estimate);
  // Only a file with a carriage return somewhere needs each line searched for one.
  const bool anyCr = std::memchr(p, '\r', size_t(n)) != nullptr;
  bool eolChosen = false;
  int32_t currentSection = -1;
  std::vector<int32_t> keyLines;  // indexed after the split, in file order
  keyLines.reserve(estimate);
  qsizetype pos = 0;
  qsizetype nextLf = -1;
  while (pos < n) {
    if (nextLf < pos) {
      const void* lf = std::memchr(p + pos, '\n', n - pos);
      nextLf = lf ? static_cast<const char*>(lf) - p : n;
    }
    // A lone carriage return ends a line too.
    const void* cr = anyCr ? std::memchr(p + pos, '\r', nextLf - pos) : nullptr;
    const qsizetype end = cr ? static_cast<const char*>(cr) - p : nextLf;
    uint8_t eolLen = 0;
    if (end < n) eolLen = (p[end] == '\r' && end + 1 < n && p[end + 1] == '\n') ? 2 : 1;
    if (!eolChosen && eolLen > 0) {
      // New lines take the file's own line ending.
      c.eol_ = QByteArray(p + end, eolLen);
      eolChosen = true;
    }
    qsizetype textStart = pos;
    if (pos == 0 && end >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) textStart = 3;
    c.AddParsedLine(pos, textStart, end, eolLen, currentSection, keyLines);
    pos = end + eolLen;
  }
  c.IndexParsedKeys(keyLines);
  return content;
}

void TContent::AddParsedLine(qsizetype start, qsizetype textStart, qsizetype textEnd,
                             uint8_t eolLen, int32_t& currentSection,
                             std::vector<int32_t>& keyLines) {
  const char* p = arena_.constData();
  const QByteArrayView text = Trimmed(QByteArrayView(p + textStart, textEnd - textStart));
  Line line;
  line.start = static_cast<uint32_t>(start);
  line.size = static_cast<uint32_t>(textEnd + eolLen - start);
  line.eolLen = eolLen;
  if (!text.isEmpty() && text.front() == '[') {
    const qsizetype close = text.indexOf(']');
    if (close > 0) {
      const QByteArrayView name = Trimmed(text.sliced(1, close - 1));
      line.nameStart = static_cast<uint32_t>(name.data() - p);
      line.nameLen = static_cast<uint32_t>(name.size());
      if (FindSection(name) >= 0) {
        currentSection = -1;  // a repeated section: kept as it stands, never used
      } else {
        line.kind = kSection;
      }
    }
  } else if (currentSection >= 0 && !text.isEmpty() && text.front() != ';') {
    const qsizetype eq = text.indexOf('=');
    if (eq > 0) {
      const QByteArrayView key = Trimmed(text.first(eq));
      const QByteArrayView value = Trimmed(text.sliced(eq + 1));
      line.kind = kKey;
      line.section = currentSection;
      line.nameStart = static_cast<uint32_t>(key.data() - p);
      line.nameLen = static_cast<uint32_t>(key.size());
      line.valueStart = static_cast<uint32_t>(value.data() - p);
      line.valueLen = static_cast<uint32_t>(value.size());
    }
  }
  if (line.kind == kOther && tail_ >= 0 && lines_[tail_].kind == kOther) {
    // Runs of lines nobody addresses are held as one piece.
    lines_[tail_].size += line.size;
    lines_[tail_].eolLen = line.eolLen;
    return;
  }
  const auto index = static_cast<int32_t>(lines_.size());
  lines_.push_back(line);
  Link(index, tail_);
  if (line.kind == kSection) {
    currentSection = AddSection(index);
  } else if (line.kind == kKey) {
    keyLines.push_back(index);
    sections_[currentSection].anchor = index;
  }
}

void TContent::Link(int32_t line, int32_t after) {
  if (after < 0) {
    lines_[line].next = head_;
    head_ = line;
    if (tail_ < 0) tail_ = line;
    return;
  }
  lines_[line].next = lines_[after].next;
  lines_[after].next = line;
  if (tail_ == after) tail_ = line;
}

void TContent::Reserve(size_t entries) {
  if (entries * 2 <= slots_.size()) return;
  size_t size = 16;
  while (size < entries * 4) size *= 2;
  std::vector<Slot> old(size);
  old.swap(slots_);
  used_ = 0;
  const size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.line < 0 || lines_[slot.line].dead) continue;  // deleted keys are dropped here
    const uint64_t hash = HashOf(lines_[slot.line]);
    size_t i = hash & mask;
    while (slots_[i].line >= 0) i = (i + 1) & mask;
    slots_[i] = {Tag(hash), slot.line};
    ++used_;
  }
}

int32_t TContent::AddSection(int32_t line) {
  const auto section = static_cast<int32_t>(sections_.size());
  sections_.push_back({line, line, 0});
  lines_[line].section = section;
  Reserve(used_ + 1);
  const size_t mask = slots_.size() - 1;
  const uint64_t hash = HashOf(lines_[line]);
  size_t i = hash & mask;
  while (slots_[i].line >= 0) i = (i + 1) & mask;
  slots_[i] = {Tag(hash), line};
  ++used_;
  return section;
}

void TContent::IndexParsedKeys(const std::vector<int32_t>& keyLines) {
  // The hashes first, reading the lines in order; then the inserts, each slot fetched a few
  // keys ahead: a long playlist's table is far larger than the processor's caches, and
  // waiting for each slot in turn is most of the time a parse takes.
  std::vector<uint64_t> hashes(keyLines.size());
  for (size_t k = 0; k < keyLines.size(); ++k) hashes[k] = HashOf(lines_[keyLines[k]]);
  Reserve(used_ + keyLines.size());
  const size_t mask = slots_.size() - 1;
  constexpr size_t kAhead = 8;
  for (size_t k = 0; k < keyLines.size(); ++k) {
    if (k + kAhead < keyLines.size()) __builtin_prefetch(&slots_[hashes[k + kAhead] & mask]);
    const int32_t line = keyLines[k];
    if (IndexKey(line, hashes[k])) ++sections_[lines_[line].section].keyCount;
  }
}

bool TContent::IndexKey(int32_t line) {
  Reserve(used_ + 1);
  return IndexKey(line, HashOf(lines_[line]));
}

bool TContent::IndexKey(int32_t line, uint64_t hash) {
  const size_t mask = slots_.size() - 1;
  Line& added = lines_[line];
  const QByteArrayView name = Name(added);
  size_t i = hash & mask;
  for (; slots_[i].line >= 0; i = (i + 1) & mask) {
    if (slots_[i].tag != Tag(hash)) continue;
    Line& first = lines_[slots_[i].line];
    if (first.kind == kKey && first.section == added.section &&
        SameName(arena_.constData() + first.nameStart, first.nameLen, name)) {
      if (first.dead) break;  // every line of a deleted key is dead: the new line takes over
      lines_[first.dupTail].dupNext = line;
      first.dupTail = line;
      added.repeated = true;
      return false;
    }
  }
  if (slots_[i].line < 0) ++used_;
  slots_[i] = {Tag(hash), line};
  added.dupTail = line;
  return true;
}

int32_t TContent::FindSection(QByteArrayView name) const {
  if (slots_.empty()) return -1;
  const size_t mask = slots_.size() - 1;
  const uint64_t hash = HashName(name, kSectionSalt);
  for (size_t i = hash & mask; slots_[i].line >= 0; i = (i + 1) & mask) {
    if (slots_[i].tag != Tag(hash)) continue;
    const Line& line = lines_[slots_[i].line];
    if (line.kind == kSection && SameName(arena_.constData() + line.nameStart, line.nameLen, name))
      return line.section;
  }
  return -1;
}

int32_t TContent::FindKey(int32_t section, QByteArrayView key) const {
  if (section < 0 || slots_.empty()) return -1;
  const size_t mask = slots_.size() - 1;
  const uint64_t hash = HashName(key, KeySalt(section));
  for (size_t i = hash & mask; slots_[i].line >= 0; i = (i + 1) & mask) {
    if (slots_[i].tag != Tag(hash)) continue;
    const Line& line = lines_[slots_[i].line];
    if (line.kind == kKey && line.section == section &&
        SameName(arena_.constData() + line.nameStart, line.nameLen, key))
      return line.dead ? -1 : slots_[i].line;
  }
  return -1;
}

bool TContent::Rewrite(int32_t line, const QByteArray& bytes, uint32_t nameOffset, uint32_t nameLen,
                       uint32_t valueOffset, uint32_t valueLen) {
  if (arena_.size() + bytes.size() > kMaxArena) return false;
  const auto start = static_cast<uint32_t>(arena_.size());
  arena_.append(bytes);
  Line& l = lines_[line];
  l.start = start;
  l.size = static_cast<uint32_t>(bytes.size());
  l.nameStart = start + nameOffset;
  l.nameLen = nameLen;
  l.valueStart = start + valueOffset;
  l.valueLen = valueLen;
  return true;
}

bool TContent::Terminate(int32_t line) {
  // Only the file's last line can lack a terminator; a line is about to follow it.
  Line& l = lines_[line];
  if (l.eolLen > 0 || l.size == 0) return true;
  const QByteArray bytes = arena_.mid(l.start, l.size) + eol_;
  const uint32_t oldStart = l.start;
  if (!Rewrite(line, bytes, l.nameStart - oldStart, l.nameLen, l.valueStart - oldStart, l.valueLen))
    return false;
  lines_[line].eolLen = static_cast<uint8_t>(eol_.size());
  return true;
}

bool TContent::SetValue(QByteArrayView section, QByteArrayView key, QByteArrayView value) {
  int32_t sid = FindSection(section);
  if (sid < 0) {
    if (tail_ >= 0 && !Terminate(tail_)) return false;
    const QByteArray bytes = '[' + section.toByteArray() + ']' + eol_;
    if (arena_.size() + bytes.size() > kMaxArena) return false;
    Line header;
    header.kind = kSection;
    header.eolLen = static_cast<uint8_t>(eol_.size());
    const auto index = static_cast<int32_t>(lines_.size());
    lines_.push_back(header);
    Rewrite(index, bytes, 1, static_cast<uint32_t>(section.size()), 0, 0);
    Link(index, tail_);
    sid = AddSection(index);
  }
  return SetValueIn(sid, key, value);
}

uint32_t TContent::AppendToArena(const char* data, size_t size) {
  const qsizetype old = arena_.size();
  if (arena_.capacity() < old + qsizetype(size))
    arena_.reserve(std::max(old + qsizetype(size), 2 * arena_.capacity()));
  arena_.resize(old + qsizetype(size));
  std::memcpy(arena_.data() + old, data, size);
  return static_cast<uint32_t>(old);
}

bool TContent::PutKeyLine(int32_t line, QByteArrayView name, QByteArrayView value,
                          QByteArrayView eol) {
  // The pieces may lie in the arena itself, which the append can move.
  static thread_local std::string scratch;
  scratch.assign(name.data(), name.size());
  scratch += '=';
  scratch.append(value.data(), value.size());
  scratch.append(eol.data(), eol.size());
  if (arena_.size() + qsizetype(scratch.size()) > kMaxArena) return false;
  const uint32_t start = AppendToArena(scratch.data(), scratch.size());
  Line& l = lines_[line];
  l.start = start;
  l.size = static_cast<uint32_t>(scratch.size());
  l.nameStart = start;
  l.nameLen = static_cast<uint32_t>(name.size());
  l.valueStart = start + l.nameLen + 1;
  l.valueLen = static_cast<uint32_t>(value.size());
  l.eolLen = static_cast<uint8_t>(eol.size());
  return true;
}

bool TContent::SetValueIn(int32_t sid, QByteArrayView key, QByteArrayView value) {
  const int32_t existing = FindKey(sid, key);
  if (existing >= 0) {
    // The key keeps its spelling and its line's terminator; the value is replaced.
    const Line& l = lines_[existing];
    return PutKeyLine(existing, Name(l), value,
                      QByteArrayView(arena_.constData() + l.start + l.size - l.eolLen, l.eolLen));
  }
  const int32_t anchor = sections_[sid].anchor;
  if (!Terminate(anchor)) return false;
  Line line;
  line.kind = kKey;
  line.section = sid;
  const auto index = static_cast<int32_t>(lines_.size());
  lines_.push_back(line);
  if (!PutKeyLine(index, key, value, eol_)) {
    lines_.pop_back();
    return false;
  }
  Link(index, anchor);
  sections_[sid].anchor = index;
  if (IndexKey(index)) ++sections_[sid].keyCount;
  return true;
}

int TContent::CopyValue(QByteArrayView section, QByteArrayView from, QByteArrayView to) {
  const int32_t sid = FindSection(section);
  const int32_t source = FindKey(sid, from);
  if (source < 0) return -1;
  static thread_local std::string value;  // Terminate may move the arena under a view
  const QByteArrayView raw = Value(source);
  value.assign(raw.data(), raw.size());
  return SetValueIn(sid, to, QByteArrayView(value.data(), qsizetype(value.size()))) ? 1 : 0;
}

template <typename Edit>
bool TContent::EditEachKey(int32_t section, Edit&& edit) {
  for (int32_t i = lines_[sections_[section].header].next; i >= 0 && lines_[i].kind != kSection;
       i = lines_[i].next) {
    const Line& l = lines_[i];
    if (l.kind != kKey || l.dead || l.repeated || l.section != section) continue;
    const TIniFile::TKeyEdit change = edit(Name(l), Value(i));
    if (change.action == TIniFile::TKeyEdit::Store) {
      if (!StorableStoredValue(change.value)) return false;
      // As SetValue does with a key that is there: spelling and terminator kept.
      const QByteArrayView eol(arena_.constData() + l.start + l.size - l.eolLen, l.eolLen);
      if (!PutKeyLine(i, Name(l), change.value, eol)) return false;
    } else if (change.action == TIniFile::TKeyEdit::Remove) {
      for (int32_t line = i; line >= 0; line = lines_[line].dupNext) {
        lines_[line].dead = true;
        ++dead_;
      }
      --sections_[section].keyCount;
    }
  }
  return true;
}

bool TContent::DeleteKey(QByteArrayView section, QByteArrayView key) {
  const int32_t sid = FindSection(section);
  const int32_t first = FindKey(sid, key);
  if (first < 0) return false;
  for (int32_t line = first; line >= 0; line = lines_[line].dupNext) {
    lines_[line].dead = true;
    ++dead_;
  }
  --sections_[sid].keyCount;
  return true;
}

QByteArray TContent::Serialize() const {
  // Lines that follow each other in the arena (most of them) are copied as one run; one walk
  // over the lines finds the runs, and the file is put together from them.
  static thread_local std::vector<std::pair<const char*, size_t>> runs;
  runs.clear();
  qsizetype total = 0;
  for (int32_t i = head_; i >= 0; i = lines_[i].next) {
    const Line& l = lines_[i];
    if (l.dead) continue;
    const char* from = arena_.constData() + l.start;
    if (!runs.empty() && runs.back().first + runs.back().second == from)
      runs.back().second += l.size;
    else
      runs.emplace_back(from, l.size);
    total += l.size;
  }
  QByteArray out(total, Qt::Uninitialized);
  char* to = out.data();
  for (const auto& [from, size] : runs) {
    std::memcpy(to, from, size);
    to += size;
  }
  return out;
}

// --- Names and values ------------------------------------------------------------------

// A section or key name as it is matched and written: UTF-8, blanks trimmed, no line breaks.
// Short ASCII names (every name the program uses) are converted without touching the heap.
class TName {
 public:
  explicit TName(const QString& name) {
    const qsizetype size = name.size();
    if (size <= qsizetype(sizeof(inline_))) {
      const QChar* text = name.constData();
      qsizetype i = 0;
      for (; i < size && text[i].unicode() < 0x80; ++i) inline_[i] = Clean(char(text[i].unicode()));
      if (i == size) {
        view_ = Trimmed(QByteArrayView(inline_, size));
        return;
      }
    }
    heap_ = name.toUtf8();
    for (char& c : heap_) c = Clean(c);
    view_ = Trimmed(heap_);
  }
  TName(const TName&) = delete;
  TName& operator=(const TName&) = delete;
  operator QByteArrayView() const { return view_; }

 private:
  static char Clean(char c) { return c == '\r' || c == '\n' ? ' ' : c; }
  char inline_[48];
  QByteArray heap_;
  QByteArrayView view_;
};

QByteArray EncodeValue(const QString& value) {
  QByteArray bytes = value.toUtf8();
  if (bytes.contains('\r') || bytes.contains('\n')) bytes.replace('\r', ' ').replace('\n', ' ');
  if (bytes.isEmpty()) return bytes;
  const char first = bytes.front(), last = bytes.back();
  const bool quoted = bytes.size() >= 2 && first == last && (first == '"' || first == '\'');
  if (IsBlank(first) || IsBlank(last) || quoted) return '"' + bytes + '"';
  return bytes;
}

// A name as it is written reads back as the same name: one line, not empty, and not taken for
// a comment, a section header or part of a value.
bool StorableName(const QString& name, bool section) {
  qsizetype s = 0, e = name.size();
  while (s < e && (name[s] == ' ' || name[s] == '\t')) ++s;
  while (e > s && (name[e - 1] == ' ' || name[e - 1] == '\t')) --e;
  if (s == e || name.contains('\r') || name.contains('\n')) return false;
  if (section) return !name.contains(']');
  return !name.contains('=') && name[s] != ';' && name[s] != '[';
}

QByteArrayView Unquoted(QByteArrayView value) {
  if (value.size() >= 2 && value.front() == value.back() &&
      (value.front() == '"' || value.front() == '\''))
    return value.sliced(1, value.size() - 2);
  return value;
}

std::optional<int> ParseInteger(QByteArrayView text) {
  qsizetype s = 0, e = text.size();
  auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (s < e && space(text[s])) ++s;
  while (e > s && space(text[e - 1])) --e;
  text = text.sliced(s, e - s);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    // Hexadecimal is a 32-bit pattern: 0xFFFFFFFF is -1.
    uint64_t v = 0;
    for (const char c : text.sliced(2)) {
      int digit;
      if (c >= '0' && c <= '9')
        digit = c - '0';
      else if (c >= 'a' && c <= 'f')
        digit = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        digit = c - 'A' + 10;
      else
        return std::nullopt;
      v = v * 16 + digit;
      if (v > 0xFFFFFFFFULL) return std::nullopt;
    }
    return static_cast<int>(static_cast<uint32_t>(v));
  }
  bool negative = false;
  if (!text.isEmpty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text = text.sliced(1);
  }
  if (text.isEmpty()) return std::nullopt;
  int64_t v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
    if (v > int64_t(INT32_MAX) + 1) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return std::nullopt;
  return static_cast<int>(v);
}

// --- Files on disk -----------------------------------------------------------------------

struct FileIdentity {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  int64_t mtime = 0;
  int64_t ctime = 0;
  bool operator==(const FileIdentity&) const = default;
};

int64_t Ns(const timespec& t) {
  return int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}
int64_t NowNs() {
  timespec t;
  clock_gettime(CLOCK_REALTIME, &t);
  return Ns(t);
}
FileIdentity IdentityOf(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size, Ns(st.st_mtim), Ns(st.st_ctim)};
}

struct CacheEntry {
  QString path;
  FileIdentity identity;
  int64_t seenAt = 0;  // clock reading taken before the identity was
  QByteArray bytes;
  std::shared_ptr<const TContent> content;
};

std::mutex& CacheMutex() {
  static std::mutex mutex;
  return mutex;
}
std::vector<CacheEntry>& Cache() {
  static std::vector<CacheEntry> cache;
  return cache;
}
CacheEntry* FindCached(const QString& path) {
  for (CacheEntry& entry : Cache())
    if (entry.path == path) return &entry;
  return nullptr;
}
void Remember(CacheEntry entry) {
  std::lock_guard lock(CacheMutex());
  auto& cache = Cache();
  std::erase_if(cache, [&](const CacheEntry& e) { return e.path == entry.path; });
  if (cache.size() >= kCacheEntries) cache.erase(cache.begin());
  cache.push_back(std::move(entry));
}
void Forget(const QString& path) {
  std::lock_guard lock(CacheMutex());
  std::erase_if(Cache(), [&](const CacheEntry& e) { return e.path == path; });
}
// Forgets the path only while it is held as this content.
void Forget(const QString& path, const void* content) {
  std::lock_guard lock(CacheMutex());
  std::erase_if(Cache(),
                [&](const CacheEntry& e) { return e.path == path && e.content.get() == content; });
}

const std::shared_ptr<const TContent>& EmptyContent() {
  static const std::shared_ptr<const TContent> empty = TContent::Parse(QByteArray());
  return empty;
}

// Whether the rest of the file from the descriptor's position holds exactly these bytes.
// Read a piece at a time into a buffer that stays in the processor's cache.
bool SameBytes(int fd, const QByteArray& bytes) {
  char chunk[64 * 1024];
  qsizetype at = 0;
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return at == bytes.size();
    if (n > bytes.size() - at || std::memcmp(chunk, bytes.constData() + at, size_t(n)) != 0)
      return false;
    at += n;
  }
}

struct Loaded {
  bool exists = false;
  bool readable = true;  // false: the file is there but cannot be held; it must not be replaced
  std::shared_ptr<const TContent> content;
};

Loaded Load(const QString& path) {
  Loaded result;
  result.content = EmptyContent();
  const QByteArray native = QFile::encodeName(path);
  const int64_t seenAt = NowNs();
  // Non-blocking, so that a FIFO in the file's place cannot hang the program.
  const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    // Missing: reads like a file without keys. There but unreadable: never replaced.
    const bool missing = errno == ENOENT || errno == ENOTDIR;
    result.exists = !missing;
    result.readable = missing;
    Forget(path);
    return result;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st;
  result.exists = true;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) {
    result.readable = false;
    return result;
  }
  const FileIdentity identity = IdentityOf(st);
  {
    std::lock_guard lock(CacheMutex());
    const CacheEntry* entry = FindCached(path);
    if (entry && entry->identity == identity &&
        std::max(identity.mtime, identity.ctime) < entry->seenAt - kRacyWindowNs) {
      result.content = entry->content;
      return result;
    }
  }
  {
    // Usually the file is the one held, written moments ago by this program: compared piece
    // by piece as it is read, nothing is allocated.
    std::lock_guard lock(CacheMutex());
    CacheEntry* entry = FindCached(path);
    if (entry && entry->bytes.size() == st.st_size && SameBytes(fd, entry->bytes)) {
      entry->identity = identity;
      entry->seenAt = seenAt;
      result.content = entry->content;
      return result;
    }
  }
  if (::lseek(fd, 0, SEEK_SET) != 0) {
    result.readable = false;
    return result;
  }
  // Room behind the bytes for the lines the next edits add: the arena grows in place instead
  // of being copied whole for the first new line (megabytes for a long playlist).
  QByteArray bytes;
  bytes.reserve(static_cast<qsizetype>(st.st_size) + 1 + 65536 + st.st_size / 64);
  bytes.resize(static_cast<qsizetype>(st.st_size) + 1);
  qsizetype got = 0;
  for (;;) {
    if (got == bytes.size()) {
      if (got > kMaxFileSize) {
        result.readable = false;
        return result;
      }
      bytes.resize(std::min<qsizetype>(got * 2 + 4096, kMaxFileSize + 1));
    }
    const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.readable = false;
      return result;
    }
    if (n == 0) break;
    got += n;
  }
  bytes.truncate(got);
  auto content = TContent::Parse(bytes);
  result.content = content;
  Remember({path, identity, seenAt, bytes, content});
  return result;
}

// Write bits all off counts as read-only, also for root, who passes every access check.
bool IsReadOnly(const QString& path) {
  struct stat st;
  QString target = path;
  const QByteArray native = QFile::encodeName(path);
  if (::stat(native.constData(), &st) == 0) {
    if ((st.st_mode & 0222) == 0 || ::access(native.constData(), W_OK) != 0) return true;
    struct stat link;
    if (::lstat(native.constData(), &link) == 0 && S_ISLNK(link.st_mode))
      target = QFileInfo(path).canonicalFilePath();  // a link is replaced at its target
  }
  const QByteArray dir = QFile::encodeName(QFileInfo(target).absolutePath());
  if (::stat(dir.constData(), &st) == 0)
    return (st.st_mode & 0222) == 0 || ::access(dir.constData(), W_OK | X_OK) != 0;
  return false;
}

// Every operation allocates and frees buffers the size of the file (a long playlist is
// megabytes). By default the C library hands such blocks back to the system at once, and the
// next operation faults every page in again, which costs more than reading and parsing.
void KeepFreedMemoryForReuse() {
#ifdef __GLIBC__
  static const bool tuned = [] {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    return true;
  }();
  (void)tuned;
#endif
}

// Closes the temporary file; tests stand in for it to fail as NFS or a quota fails.
int (*closeTemporary)(int fd) = ::close;

// The temporary file of a write to a file of this name: the name, a dot, a random 32-bit
// number in lower-case hex, ".tmp". Leftovers are recognised by exactly this shape.
QByteArray TemporaryName(const QByteArray& native) {
  return native + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".tmp";
}

bool IsTemporaryNameOf(QByteArrayView entry, QByteArrayView name) {
  constexpr QByteArrayView suffix(".tmp");
  if (!entry.startsWith(name) || !entry.endsWith(suffix)) return false;
  const qsizetype start = name.size() + 1;
  const qsizetype digits = entry.size() - start - suffix.size();
  if (digits < 1 || digits > 8 || entry[name.size()] != '.') return false;
  const QByteArrayView hex = entry.sliced(start, digits);
  if (hex.size() > 1 && hex.front() == '0') return false;  // never written with leading zeros
  return std::all_of(hex.begin(), hex.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Replaces the file at path with bytes: a temporary file in the same folder takes the bytes
// and the file's permissions and is closed, then is renamed over it, so the file is always
// either the old or the new one. A close that fails (NFS and quotas report there) keeps the
// old file. Not synced to the device: a rename that replaces a file already orders its data
// on ext4, and a sync per write would cost more than all the rest of a write. A link is
// replaced at its target. On success identity is what the new file looked like right after
// the rename (taken after seenAt), or nothing when it could not be told for sure.
bool ReplaceFile(const QString& path, const QByteArray& bytes,
                 std::optional<FileIdentity>& identity, int64_t& seenAt) {
  QString target = path;
  struct stat st;
  QByteArray native = QFile::encodeName(path);
  const bool existed = ::stat(native.constData(), &st) == 0;
  if (existed && ::lstat(native.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
    target = QFileInfo(path).canonicalFilePath();
    native = QFile::encodeName(target);
    if (target.isEmpty() || ::stat(native.constData(), &st) != 0) return false;
  }
  int fd = -1;
  QByteArray temp;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temp = TemporaryName(native);
    // 0666 less the umask for a new file, as any program creates one.
    fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = !existed || ::fchmod(fd, st.st_mode & 07777) == 0;
  for (qsizetype done = 0; ok && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      done += n;
  }
  struct stat mine;
  const bool known = ok && ::fstat(fd, &mine) == 0;
  // Closed exactly once, also when interrupted: the descriptor is gone either way, and
  // whether the bytes were stored is then unknown, so the old file stays.
  ok = closeTemporary(fd) == 0 && ok;
  if (!ok || ::rename(temp.constData(), native.constData()) != 0) {
    ::unlink(temp.constData());
    return false;
  }
  // The rename changes the file's ctime; the reading comes after it. The path must still
  // lead to the file written, else another program replaced it at once.
  seenAt = NowNs();
  struct stat atPath;
  identity.reset();
  if (known && ::stat(native.constData(), &atPath) == 0 && mine.st_ino == atPath.st_ino &&
      mine.st_dev == atPath.st_dev)
    identity = IdentityOf(atPath);
  return true;
}

[[noreturn]] void ThrowUnableToWrite(const QString& path) {
  throw EIniFileException(QStringLiteral("Unable to write to ") + path);
}

}  // namespace

// --- TIniFile ----------------------------------------------------------------------------

struct TIniFile::Data {
  QString fileName;
  bool exists = false;
  bool readable = true;
  std::shared_ptr<const TContent> committed;  // the file as it is on disk
  std::shared_ptr<TContent> working;          // edits not yet committed
  int updateDepth = 0;
  int uncaughtAtBegin = 0;  // exceptions in flight when the outermost update began

  const TContent& Current() const { return working ? *working : *committed; }
  TContent& Editable() {
    if (!working) {
      // Content that no one else holds is edited where it lies instead of copied (a long
      // playlist is megabytes); should the edits be refused, it is read back from the file.
      if (committed != EmptyContent()) Forget(fileName, committed.get());
      if (committed.use_count() == 1) {
        working = std::const_pointer_cast<TContent>(std::move(committed));
        committed.reset();
      } else {
        working = std::make_shared<TContent>(*committed);
      }
    }
    return *working;
  }
  // Drops the edits not committed: memory goes back to what the file holds.
  void Drop() {
    working.reset();
    if (committed) return;
    Loaded loaded = Load(fileName);
    exists = loaded.exists;
    readable = loaded.readable;
    committed = std::move(loaded.content);
  }
  std::optional<QByteArrayView> Find(const QString& section, const QString& key) const {
    const TContent& c = Current();
    const int32_t line = c.FindKey(c.FindSection(TName(section)), TName(key));
    if (line < 0) return std::nullopt;
    return c.Value(line);
  }
  void Changed();
  void Commit();
};

void TIniFile::Data::Changed() {
  if (updateDepth == 0) Commit();
}

void TIniFile::Data::Commit() {
  if (!working) return;
  // On any failure the edits are dropped: memory goes back to what the file holds.
  const std::shared_ptr<TContent> edits = working;
  bool refused = !readable || IsReadOnly(fileName);
  QByteArray bytes;
  std::optional<FileIdentity> identity;
  int64_t seenAt = 0;
  if (!refused) {
    bytes = edits->Serialize();
    refused = bytes.size() > kMaxFileSize || !ReplaceFile(fileName, bytes, identity, seenAt);
  }
  if (refused) {
    Drop();
    ThrowUnableToWrite(fileName);
  }
  working.reset();
  exists = true;
  committed = edits->Sparse(bytes.size()) ? TContent::Parse(bytes) : edits;
  if (identity)
    Remember({fileName, *identity, seenAt, bytes, committed});
  else
    Forget(fileName);
}

TIniFile::TIniFile(const QString& fileName) : d(std::make_unique<Data>()) {
  KeepFreedMemoryForReuse();
  d->fileName = fileName;
  Loaded loaded = Load(fileName);
  d->exists = loaded.exists;
  d->readable = loaded.readable;
  d->committed = std::move(loaded.content);
}

TIniFile::~TIniFile() {
  if (d->updateDepth > 0) {
    d->updateDepth = 0;
    if (std::uncaught_exceptions() > d->uncaughtAtBegin) return;  // abandoned: drop the edits
    try {
      d->Commit();
    } catch (...) {
      // A destructor must not throw; the file keeps its old content.
    }
  }
}

const QString& TIniFile::FileName() const {
  return d->fileName;
}

bool TIniFile::FileExists() const {
  return d->exists;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
  const auto value = d->Find(section, key);
  return value ? IniValueText(Unquoted(*value)) : def;
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int def) const {
  const auto value = d->Find(section, key);
  if (!value) return def;
  return ParseInteger(Unquoted(*value)).value_or(def);
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool def) const {
  const auto value = d->Find(section, key);
  if (!value) return def;
  const auto number = ParseInteger(Unquoted(*value));
  return number ? *number != 0 : def;
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const {
  return d->Find(section, key).has_value();
}

void TIniFile::ForEachKey(const QString& section,
                          const std::function<void(QByteArrayView, QByteArrayView)>& visit,
                          bool stored) const {
  const TContent& c = d->Current();
  const int32_t sid = c.FindSection(TName(section));
  if (sid < 0) return;
  if (stored)
    c.ForEachKey(sid, visit);
  else
    c.ForEachKey(sid,
                 [&](QByteArrayView key, QByteArrayView value) { visit(key, Unquoted(value)); });
}

void TIniFile::EditEachKey(const QString& section,
                           const std::function<TKeyEdit(QByteArrayView, QByteArrayView)>& edit) {
  const TName name(section);
  if (d->Current().FindSection(name) < 0) return;  // no keys: nothing to write
  TContent& c = d->Editable();
  if (!c.EditEachKey(c.FindSection(name), edit)) {
    d->Drop();
    ThrowUnableToWrite(d->fileName);
  }
  d->Changed();
}

int TIniFile::KeyCount(const QString& section) const {
  const TContent& c = d->Current();
  const int32_t sid = c.FindSection(TName(section));
  return sid < 0 ? 0 : c.KeyCount(sid);
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
  if (!StorableName(section, true) || !StorableName(key, false)) ThrowUnableToWrite(d->fileName);
  if (!d->Editable().SetValue(TName(section), TName(key), EncodeValue(value))) {
    d->Drop();
    ThrowUnableToWrite(d->fileName);
  }
  d->Changed();
}

void TIniFile::WriteStored(const QString& section, const QString& key, QByteArrayView stored) {
  if (!StorableName(section, true) || !StorableName(key, false) || !StorableStoredValue(stored))
    ThrowUnableToWrite(d->fileName);
  // Copied first: the value may lie in the content, which the write can move.
  const std::string value(stored.data(), size_t(stored.size()));
  if (!d->Editable().SetValue(TName(section), TName(key),
                              QByteArrayView(value.data(), qsizetype(value.size())))) {
    d->Drop();
    ThrowUnableToWrite(d->fileName);
  }
  d->Changed();
}

bool TIniFile::CopyValue(const QString& section, const QString& fromKey, const QString& toKey) {
  if (!StorableName(section, true) || !StorableName(toKey, false)) ThrowUnableToWrite(d->fileName);
  if (!d->working && !ValueExists(section, fromKey)) return false;  // no copy made for nothing
  const int copied = d->Editable().CopyValue(TName(section), TName(fromKey), TName(toKey));
  if (copied < 0) return false;
  if (copied == 0) {
    d->Drop();
    ThrowUnableToWrite(d->fileName);
  }
  d->Changed();
  return true;
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
  WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value) {
  WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::DeleteKey(const QString& section, const QString& key) {
  if (!d->working && !ValueExists(section, key)) return;  // nothing to remove, nothing written
  if (!d->Editable().DeleteKey(TName(section), TName(key))) return;
  d->Changed();
}

void TIniFile::BeginUpdate() {
  if (d->updateDepth++ == 0) d->uncaughtAtBegin = std::uncaught_exceptions();
}

void TIniFile::EndUpdate() {
  if (d->updateDepth == 0) return;
  if (--d->updateDepth == 0) d->Commit();
}

QString IniValueText(QByteArrayView utf8) {
  if (!utf8.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(utf8);
  // A byte-order mark that begins a value is part of it; the plain decoder would drop it.
  QStringDecoder decoder(QStringDecoder::Utf8,
                         QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
  return decoder(utf8);
}

int ParseIniInteger(QByteArrayView utf8, int def) {
  return ParseInteger(utf8).value_or(def);
}

int ParseIniInteger(const QString& text, int def) {
  return ParseInteger(text.toUtf8()).value_or(def);
}

void ClearIniFileCache() {
  std::lock_guard lock(CacheMutex());
  Cache().clear();
}

void SetTemporaryCloseForTesting(int (*close)(int fd)) {
  closeTemporary = close ? close : ::close;
}

int RemoveLeftoverTemporaryFiles(const QString& path) {
  constexpr int64_t kMinAgeNs = 60'000'000'000;
  // Beside the file, and beside the file a link leads to, where its writes go.
  QStringList files{QFileInfo(path).absoluteFilePath()};
  const QFileInfo info(path);
  if (info.isSymLink() && !info.canonicalFilePath().isEmpty()) files << info.canonicalFilePath();
  const int64_t now = NowNs();
  const uid_t me = ::geteuid();
  int removed = 0;
  for (const QString& file : files) {
    const QFileInfo fileInfo(file);
    const QByteArray name = QFile::encodeName(fileInfo.fileName());
    DIR* dir = ::opendir(QFile::encodeName(fileInfo.absolutePath()).constData());
    if (!dir) continue;
    while (const dirent* entry = ::readdir(dir)) {
      if (!IsTemporaryNameOf(QByteArrayView(entry->d_name), name)) continue;
      // Only plain files of this user that no write has touched for a minute: a write in
      // progress keeps its file's time fresh.
      struct stat st;
      if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
          !S_ISREG(st.st_mode) || st.st_uid != me || now - Ns(st.st_mtim) < kMinAgeNs)
        continue;
      if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(dir);
  }
  return removed;
}
