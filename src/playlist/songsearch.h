#pragma once
// Finding playlist rows by what is typed. A row matches when every word of the query occurs in
// its text, anywhere, ignoring case and accents ("beyonce" finds "Beyoncé", "STRASSE" finds
// "Straße"). Matches come best first: ranked by the earliest place where any word of the query
// starts, counted from the start of the row's title (after the entry number, "12. "); a match
// inside the number counts as the title's first place. Equal places keep the playlist's order.
//
// Search:
//  1. fold the query (decompose, drop the accents, fold the case) and split it into words; no
//     word: every row, in playlist order
//  2. candidates: the matches of the longest query searched lately that begins this one (a
//     row holding the longer words holds the shorter ones), so typing on, or deleting back,
//     only narrows; else every row, found by one pass of the longest word over all folded
//     texts
//  3. a candidate matches when it holds every word; its rank is the earliest start of a word
//  4. the matches sorted by rank, ties in playlist order
//
// The rows are folded once: SetRows keeps the folding of every row that is the very string it
// folded before (a refill shares the unchanged row texts), so a key press only scans.

#include <QString>
#include <QStringList>
#include <vector>

// Case- and accent-insensitive form of text, as the search compares it.
QString FoldForSearch(const QString& text);

class TSongSearch {
 public:
  // The rows to search, in playlist order.
  void SetRows(const QStringList& rows);
  int RowCount() const { return int(rows_.size()); }

  // The rows matching query, best first.
  const std::vector<int>& Search(const QString& query);

 private:
  void AppendFolded(const QString& row);
  QStringView FoldedRow(int row) const;
  // Where the title starts in a folded row: after leading digits and ". ".
  static int TitleStart(QStringView folded);

  QStringList rows_;         // the texts folded, kept to recognise them at the next SetRows
  QString folded_;           // every folded row followed by '\n' (no query word holds one)
  std::vector<int> starts_;  // row i is folded_[starts_[i], starts_[i + 1] - 1)
  std::vector<int> titles_;  // where each folded row's title starts
  // The queries typed so far, each beginning the next, with their matches in playlist order:
  // a query that grows or shrinks again starts from the longest one that begins it.
  struct TStep {
    QString query;  // folded
    std::vector<int> found;
  };
  std::vector<TStep> steps_;
  std::vector<int> found_;    // the last matches in playlist order
  std::vector<int> matches_;  // the same, best first
  std::vector<int> ranks_;    // scratch
};
