#include "playlist/songsearch.h"

#include <algorithm>
#include <climits>
#include <numeric>

namespace {

constexpr int kCountingSortLimit = 1 << 16;

bool IsAscii(const QString& text) {
  return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
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
  // Plain ASCII, the usual case, only needs its capitals lowered.
  if (IsAscii(text)) return text.toLower();
  // Compatibility decomposition splits accented letters (and ligatures, full-width forms)
  // into base letters and marks; the marks go, then the case is folded ("ß" becomes "ss").
  const QString decomposed = text.normalized(QString::NormalizationForm_KD);
  QString bare;
  bare.reserve(decomposed.size());
  for (QChar c : decomposed)
    if (!c.isMark()) bare.append(c);
  return bare.toCaseFolded();
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
  lastValid_ = false;
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
  const bool narrow = lastValid_ && folded.startsWith(lastQuery_);
  lastQuery_ = folded;
  lastValid_ = true;
  if (words.isEmpty()) {
    found_.resize(size_t(count));
    std::iota(found_.begin(), found_.end(), 0);
    matches_ = found_;
    return matches_;
  }
  // 2. The longest word has the fewest places to be.
  const QStringView scan =
      *std::max_element(words.cbegin(), words.cend(),
                        [](QStringView a, QStringView b) { return a.size() < b.size(); });
  std::vector<int> candidates;
  if (narrow) {
    candidates.swap(found_);
  } else {
    const QStringView all(folded_);
    int row = 0;
    for (qsizetype at = all.indexOf(scan); at >= 0; at = all.indexOf(scan, starts_[row + 1])) {
      row = int(std::upper_bound(starts_.begin() + row, starts_.end(), int(at)) - starts_.begin()) -
            1;
      candidates.push_back(row);
    }
  }
  // 3.
  found_.clear();
  ranks_.clear();
  int worst = 0;
  for (int row : candidates) {
    const QStringView text = FoldedRow(row);
    int rank = INT_MAX;
    for (QStringView word : words) {
      const qsizetype at = text.indexOf(word);
      if (at < 0) {
        rank = -1;
        break;
      }
      rank = std::min(rank, int(std::max<qsizetype>(0, at - titles_[size_t(row)])));
    }
    if (rank < 0) continue;
    found_.push_back(row);
    ranks_.push_back(rank);
    worst = std::max(worst, rank);
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
