#include "playlist/songsearch.h"

#include <algorithm>
#include <numeric>

namespace {

constexpr int kCountingSortLimit = 1 << 16;
constexpr size_t kMaxSteps = 16;

// The full rule: compatibility decomposition splits accented letters (and ligatures,
// full-width forms) into base letters and marks; the marks go, then the case is folded. Qt
// folds one letter to one: the sharp s, which folds to two, is done here.
QString FoldAll(const QString& text) {
  const QString decomposed = text.normalized(QString::NormalizationForm_KD);
  QString bare;
  bare.reserve(decomposed.size());
  for (QChar c : decomposed)
    if (!c.isMark()) bare.append(c);
  return bare.toCaseFolded().replace(QChar(0x00DF), QStringLiteral("ss"));
}

// Below this, the Latin letters and the combining accents, each character folds on its own
// (the marks a decomposition would reorder all go): their foldings are looked up, made once
// by the full rule.
constexpr char16_t kTableEnd = 0x370;

const std::vector<QString>& FoldTable() {
  static const std::vector<QString> table = [] {
    std::vector<QString> folded(kTableEnd);
    for (char16_t c = 0; c < kTableEnd; ++c) folded[c] = FoldAll(QString(QChar(c)));
    return folded;
  }();
  return table;
}

// The first place of word in text from from, or -1: the first letter found by Qt's fast
// character search, the rest compared there.
qsizetype Find(QStringView text, QStringView word, qsizetype from) {
  const QChar first = word.front();
  const QStringView rest = word.mid(1);
  for (qsizetype at = text.indexOf(first, from); at >= 0; at = text.indexOf(first, at + 1)) {
    if (text.size() - at < word.size()) return -1;
    if (text.mid(at + 1, rest.size()) == rest) return at;
  }
  return -1;
}

QList<QStringView> Words(QStringView text) {
  QList<QStringView> words;
  qsizetype start = -1;
  for (qsizetype i = 0; i <= text.size(); ++i) {
    const bool space = i == text.size() || text[i].isSpace();
    if (space && start >= 0) {
      words << text.mid(start, i - start);
      start = -1;
    } else if (!space && start < 0) {
      start = i;
    }
  }
  return words;
}

}  // namespace

QString FoldForSearch(const QString& text) {
  const std::vector<QString>& table = FoldTable();
  QString folded;
  folded.reserve(text.size());
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if (u < 0x80)
      folded.append(u >= 'A' && u <= 'Z' ? QChar(char16_t(u + ('a' - 'A'))) : c);
    else if (u < kTableEnd)
      folded.append(table[u]);
    else
      return FoldAll(text);
  }
  return folded;
}

void TSongSearch::SetRows(const QStringList& rows) {
  // The same list, or one made of the same strings: nothing to fold.
  if (rows.constData() == rows_.constData() && rows.size() == rows_.size()) return;
  const auto same = [&](qsizetype i) {
    return i < rows_.size() && rows[i].constData() == rows_[i].constData();
  };
  bool unchanged = rows.size() == rows_.size();
  for (qsizetype i = 0; unchanged && i < rows.size(); ++i) unchanged = same(i);
  if (unchanged) {
    rows_ = rows;
    return;
  }
  const QString oldFolded = std::move(folded_);
  const std::vector<int> oldStarts = std::move(starts_);
  const std::vector<int> oldTitles = std::move(titles_);
  folded_.clear();
  starts_.clear();
  titles_.clear();
  starts_.reserve(size_t(rows.size()) + 1);
  titles_.reserve(size_t(rows.size()));
  for (qsizetype i = 0; i < rows.size(); ++i) {
    if (same(i)) {
      // Kept: the row's folding, '\n' included, from the last fill.
      const int from = oldStarts[size_t(i)];
      starts_.push_back(int(folded_.size()));
      titles_.push_back(oldTitles[size_t(i)]);
      folded_.append(QStringView(oldFolded).mid(from, oldStarts[size_t(i) + 1] - from));
    } else {
      AppendFolded(rows[i]);
    }
  }
  starts_.push_back(int(folded_.size()));
  rows_ = rows;
  steps_.clear();
}

void TSongSearch::AppendFolded(const QString& row) {
  const QString folded = FoldForSearch(row);
  starts_.push_back(int(folded_.size()));
  titles_.push_back(TitleStart(folded));
  folded_.append(folded);
  folded_.append('\n');
}

QStringView TSongSearch::FoldedRow(int row) const {
  const int from = starts_[size_t(row)];
  return QStringView(folded_).mid(from, starts_[size_t(row) + 1] - from - 1);
}

int TSongSearch::TitleStart(QStringView folded) {
  qsizetype i = 0;
  while (i < folded.size() && folded[i].isDigit()) ++i;
  if (i == 0 || !folded.mid(i).startsWith(u". ")) return 0;
  return int(i + 2);
}

const std::vector<int>& TSongSearch::Search(const QString& query) {
  // 1.
  const QString folded = FoldForSearch(query);
  const QList<QStringView> words = Words(folded);
  const int count = RowCount();
  // The typing so far: each step's query begins the next one's.
  while (!steps_.empty() && !folded.startsWith(steps_.back().query)) steps_.pop_back();
  if (words.isEmpty()) {
    found_.resize(size_t(count));
    std::iota(found_.begin(), found_.end(), 0);
    matches_ = found_;
    return matches_;
  }
  // 2. The longest word has the fewest places to be. Each candidate goes with where that word
  // first stands in it (-1: not known yet).
  const QStringView scan =
      *std::max_element(words.cbegin(), words.cend(),
                        [](QStringView a, QStringView b) { return a.size() < b.size(); });
  std::vector<std::pair<int, int>> candidates;
  if (!steps_.empty()) {
    const std::vector<int>& before = steps_.back().found;
    candidates.reserve(before.size());
    for (int row : before) candidates.emplace_back(row, -1);
  } else {
    const QStringView all(folded_);
    int row = 0;
    for (qsizetype at = Find(all, scan, 0); at >= 0; at = Find(all, scan, starts_[row + 1])) {
      // Rows are found in order: walk on to the row holding the place.
      while (starts_[size_t(row) + 1] <= at) ++row;
      candidates.emplace_back(row, int(at) - starts_[size_t(row)]);
    }
  }
  // 3.
  found_.clear();
  ranks_.clear();
  int worst = 0;
  for (const auto& [row, scanAt] : candidates) {
    const QStringView text = FoldedRow(row);
    qsizetype first = text.size();
    bool all = true;
    for (QStringView word : words) {
      const qsizetype at = word.data() == scan.data() && scanAt >= 0 ? scanAt : Find(text, word, 0);
      if (at < 0) {
        all = false;
        break;
      }
      first = std::min(first, at);
    }
    if (!all) continue;
    const int rank = int(std::max<qsizetype>(0, first - titles_[size_t(row)]));
    found_.push_back(row);
    ranks_.push_back(rank);
    worst = std::max(worst, rank);
  }
  if (steps_.empty() || steps_.back().query != folded) {
    if (steps_.size() == kMaxSteps) steps_.erase(steps_.begin());
    steps_.push_back({folded, found_});
  }
  // 4. Places are mostly short: a counting sort, stable; a far one (a damaged playlist's
  // huge line) falls back to a general stable sort.
  matches_.resize(found_.size());
  if (worst > kCountingSortLimit) {
    std::vector<int> order(found_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return ranks_[size_t(a)] < ranks_[size_t(b)]; });
    for (size_t i = 0; i < order.size(); ++i) matches_[i] = found_[size_t(order[i])];
    return matches_;
  }
  std::vector<int> firsts(size_t(worst) + 2, 0);
  for (int rank : ranks_) ++firsts[size_t(rank) + 1];
  std::partial_sum(firsts.begin(), firsts.end(), firsts.begin());
  for (size_t i = 0; i < found_.size(); ++i)
    matches_[size_t(firsts[size_t(ranks_[i])]++)] = found_[i];
  return matches_;
}
