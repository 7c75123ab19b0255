#pragma once
// The small window that finds a song by typing: a line for words and the playlist rows that
// hold them all, best first (TSongSearch). Up and Down (and the page keys) choose among the
// rows while the typing goes on; Enter selects the chosen row in the playlist and plays it the
// way a double-click on a selected row does, then closes; Esc closes.

#include <QDialog>
#include <vector>

#include "playlist/songsearch.h"

class QLabel;
class QLineEdit;
class QListView;
class TformPlaylist;
class TSearchMatches;

class TSearchWindow : public QDialog {
  Q_OBJECT
 public:
  // parent: the window it belongs to (the player), which it stays above.
  TSearchWindow(TformPlaylist* playlist, QWidget* parent);
  ~TSearchWindow() override;

  QLineEdit* editQuery;
  QListView* boxMatches;
  QLabel* lablCount;

  // Shows the window under the playlist (under the player while the playlist is hidden; over
  // the player when there is no room below), typing into the line, whose last words are kept
  // and selected.
  void Open();
  // The playlist row of the chosen match; -1 for none.
  int ChosenRow() const;
  // Enter: the chosen row selected and played; the window closes.
  void PlayChosen();
  // The matches for the words now in the line, again from the playlist's rows.
  void Refilter();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Choose(int match);

  TformPlaylist* playlist_;
  TSongSearch search_;
  TSearchMatches* matches_;
};
