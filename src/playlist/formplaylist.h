#pragma once
// The playlist window (formPlaylist): the list of queued songs under the player window and
// the commands that edit the playlist file. Every command works on the file, then refills
// the list from it (UpdatePlaylist); the list is never edited row by row.

#include <QList>
#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <optional>

#include "playlist/dblclickdetector.h"
#include "playlist/opendialog.h"
#include "playlist/playlistfile.h"

class QAction;
class QMenu;
class QTimer;
class TBrowseForFolder;
class TDropHook;
class TImage;
class TPlayerLink;
class TPlaylistReadAhead;
class TSpeedButton;
class TdtListBox;

class TformPlaylist : public QWidget {
  Q_OBJECT
 public:
  // player may be null (no docking, nothing to play). playerWindow defaults to the player
  // itself when it is a widget; the playlist window is a tool window of it, so the
  // application keeps one taskbar entry.
  explicit TformPlaylist(TPlayerLink* player, QWidget* playerWindow = nullptr);
  ~TformPlaylist() override;

  // Controls, in the design's order.
  TSpeedButton* butnAdd;
  TOpenDialog dlgOpen;
  QMenu* menuAdd;
  QAction* AddFile1;
  QAction* AddDirectory1;
  TSpeedButton* butnDelete;
  QMenu* menuDelete;
  QAction* MenuItem1;  // "Delete Selected"
  QAction* MenuItem2;  // "Delete Playlist"
  QAction* DeleteMissing1;
  TBrowseForFolder* dlgBrowse;
  TImage* imgMain;
  TdtListBox* boxPlaylist;
  QTimer* timeDblClick;

  // Start-up: drop hook, skin, docking and visibility, list wallpaper, the list (from
  // readAhead when given, else read here). A skin file that fails throws (EFOpenError /
  // EInvalidGraphic) and the remaining steps are skipped.
  void FormCreate(TPlaylistReadAhead* readAhead = nullptr);
  // Refills the list from the playlist file, keeping the selected row index.
  void UpdatePlaylist();
  // The rows again from the file after lengths were stored in the background: selection,
  // scroll position and click-to-play keep their state, nothing is reported.
  void RefreshRows();
  // The open dialog as Add File and the player's Eject use it: starts in "lastdir" when
  // that folder exists. The chosen file's full path, or nothing when cancelled.
  std::optional<QString> ExecuteOpenDialog();
  // Places the window under the player window, as wide as it.
  void DockUnderPlayer();
  // Routes drops on another top-level window (and its children) here too.
  void AddDropTarget(QWidget* window);

  // Handlers (sender: the control that raised it).
  void butnAddClick(QObject* sender);
  void butnDeleteClick(QObject* sender);
  void AddFile1Click(QObject* sender);
  void AddDirectory1Click(QObject* sender);
  void MenuItem1Click(QObject* sender);
  void MenuItem2Click(QObject* sender);
  void boxPlaylistMouseUp(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift,
                          int x, int y);
  void timeDblClickTimer(QObject* sender);
  // The play step of a double-click on the selected row: a playing song stops, then the
  // selected row plays. Also what opening a row of the list does (assistive technology, the
  // song search).
  void PlaySelected(QObject* sender);
  // Appends the dropped songs in one write, then refills once (the drop hook calls it once
  // per drop).
  void WMDropFiles(const QList<QUrl>& urls);

  // Where a button's menu opens: its bottom-left corner, in screen coordinates.
  QPoint MenuPoint(const QWidget* button) const;
  const TDblClickDetector& DblClickDetector() const { return detector_; }
  // The entries the list's rows show, row by row.
  const QVector<TPlaylistEntry>& ShownEntries() const { return shownEntries_; }

 signals:
  // After every refill (UpdatePlaylist), whether or not the file was usable.
  void playlistUpdated();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void SetRows(const QVector<TPlaylistEntry>& entries);
  void SyncDblClickTimer();
  QString ReadLastDir() const;
  void WriteLastDir(const QString& dir) const;

  TPlayerLink* player_;
  QWidget* playerWindow_;
  TDropHook* dropHook_ = nullptr;
  TDblClickDetector detector_;
  QVector<TPlaylistEntry> shownEntries_;  // the entries the list's rows were made from
  QPoint lastForeignMove_{-1, -1};        // the last outside move that was answered
};
