#include "playlist/formplaylist.h"

#include <QAction>
#include <QCursor>
#include <QFileInfo>
#include <QMenu>
#include <QResizeEvent>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "controls/dtlistbox.h"
#include "controls/image.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/fonts.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "platform/screenfit.h"
#include "platform/skinbitmap.h"
#include "platform/tcolor.h"
#include "playlist/browseforfolder.h"
#include "playlist/drophook.h"
#include "playlist/playerlink.h"
#include "playlist/playlistfile.h"
#include "playlist/playlistreadahead.h"
#include "playlist/songpaths.h"
#include "playlist/speedbutton.h"

namespace {

constexpr int kWidth = 344;
constexpr int kHeight = 116;
constexpr int kButtonBottomGap = kHeight - 94;  // buttons keep their distance to the bottom

bool SameEntry(const TPlaylistEntry& a, const TPlaylistEntry& b) {
  return a.Number == b.Number && a.LengthSeconds == b.LengthSeconds && a.Title == b.Title;
}

TSpeedButton* MakeSpeedButton(QWidget* parent, const QString& name, const QString& caption,
                              int left) {
  auto* button = new TSpeedButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(left, 94, 57, 17);
  button->setFont(PixelFont("MS Sans Serif", 11));
  QPalette white = button->palette();
  white.setColor(QPalette::ButtonText, Qt::white);
  button->setPalette(white);
  return button;
}

QAction* MakeItem(QMenu* menu, const QString& name, const QString& caption) {
  QAction* item = menu->addAction(caption);
  item->setObjectName(name);
  return item;
}

}  // namespace

TformPlaylist::TformPlaylist(TPlayerLink* player, QWidget* playerWindow)
    : QWidget(playerWindow ? playerWindow : dynamic_cast<QWidget*>(player),
              Qt::Tool | Qt::FramelessWindowHint),
      player_(player),
      playerWindow_(parentWidget()) {
  setObjectName("formPlaylist");
  setWindowTitle("Playlist");
  resize(kWidth, kHeight);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(192, 192, 192));
  pal.setColor(QPalette::WindowText, ToQColor(clWindowText));
  setPalette(pal);
  setAutoFillBackground(true);
  setFont(PixelFont("MS Sans Serif", 11));

  // Back to front: imgMain, butnAdd, butnDelete, boxPlaylist.
  imgMain = new TImage(this);
  imgMain->setObjectName("imgMain");
  imgMain->setGeometry(0, 0, kWidth, kHeight);

  butnAdd = MakeSpeedButton(this, "butnAdd", "Add", 4);
  menuAdd = new QMenu(this);
  menuAdd->setObjectName("menuAdd");
  AddDirectory1 = MakeItem(menuAdd, "AddDirectory1", "Add Directory");
  AddFile1 = MakeItem(menuAdd, "AddFile1", "Add File");

  butnDelete = MakeSpeedButton(this, "butnDelete", "Delete", 68);
  menuDelete = new QMenu(this);
  menuDelete->setObjectName("menuDelete");
  DeleteMissing1 = MakeItem(menuDelete, "DeleteMissing1", "Delete Missing");
  DeleteMissing1->setEnabled(false);
  MenuItem2 = MakeItem(menuDelete, "MenuItem2", "Delete Playlist");
  MenuItem1 = MakeItem(menuDelete, "MenuItem1", "Delete Selected");

  dlgOpen.DefaultExt = "mp3";
  dlgOpen.Filter = "Mp3 Files (*.mp3);;All Files (*)";

  dlgBrowse = new TBrowseForFolder(this);
  dlgBrowse->setObjectName("dlgBrowse");
  dlgBrowse->SetNewDialogStyle(true);

  boxPlaylist = new TdtListBox(this);
  boxPlaylist->setObjectName("boxPlaylist");
  boxPlaylist->setGeometry(4, 4, 336, 86);
  boxPlaylist->SetBorderStyle(bsNone);
  boxPlaylist->SetColor(clSilver);
  boxPlaylist->setFont(PixelFont("Tahoma", 11));
  boxPlaylist->SetFontColor(clBlack);
  boxPlaylist->SetItemHeight(12);
  boxPlaylist->SetSelectedFontEnabled(true);
  boxPlaylist->SetSelectedFont(PixelFont("Tahoma", 11, true), clWhite);
  boxPlaylist->SetHintBackColor(clBlack);
  // Black on black would hide the hint's text; white reads on the black panel.
  boxPlaylist->SetHintTextColor(clWhite);
  boxPlaylist->SetOnMouseUp([this](QObject* sender, Qt::MouseButton button,
                                   Qt::KeyboardModifiers shift, int x,
                                   int y) { boxPlaylistMouseUp(sender, button, shift, x, y); });
  boxPlaylist->SetOnItemActivate([this](QObject* sender) { PlaySelected(sender); });
  boxPlaylist->setAccessibleName("Songs");
  boxPlaylist->setAccessibleDescription("Enter plays the selected song, Delete removes it");
  butnAdd->SetMenu(menuAdd);
  butnAdd->setAccessibleDescription("Add File (key L) or Add Directory (Shift+L)");
  menuAdd->setAccessibleName("Add");
  butnDelete->SetMenu(menuDelete);
  butnDelete->setAccessibleDescription("Delete Selected (key Delete) or Delete Playlist");
  menuDelete->setAccessibleName("Delete");

  timeDblClick = new QTimer(this);
  timeDblClick->setObjectName("timeDblClick");
  timeDblClick->setInterval(2000);
  connect(timeDblClick, &QTimer::timeout, this, [this] { timeDblClickTimer(timeDblClick); });

  connect(butnAdd, &QAbstractButton::clicked, this, [this] { butnAddClick(butnAdd); });
  connect(butnDelete, &QAbstractButton::clicked, this, [this] { butnDeleteClick(butnDelete); });
  connect(AddFile1, &QAction::triggered, this, [this] { AddFile1Click(AddFile1); });
  connect(AddDirectory1, &QAction::triggered, this, [this] { AddDirectory1Click(AddDirectory1); });
  connect(MenuItem1, &QAction::triggered, this, [this] { MenuItem1Click(MenuItem1); });
  connect(MenuItem2, &QAction::triggered, this, [this] { MenuItem2Click(MenuItem2); });
}

TformPlaylist::~TformPlaylist() = default;

// Start-up:
// 1. drops on this window and the player window go to WMDropFiles
// 2. the skin's main.bmp behind everything
// 3. docked under the player window; shown or hidden as the player says
// 4. the list's wallpaper
// 5. the list from the playlist file (silently; read ahead when given), row 0 selected and
//    named on the player
void TformPlaylist::FormCreate(TPlaylistReadAhead* readAhead) {
  // 1.
  if (!dropHook_) {
    dropHook_ = new TDropHook([this](const QList<QUrl>& urls) { WMDropFiles(urls); }, this);
    dropHook_->AddTarget(this);
    dropHook_->AddTarget(playerWindow_);
  }
  // 2.
  imgMain->LoadFromSkin("\\skin\\main.bmp");
  // 3.
  DockUnderPlayer();
  if (player_) setVisible(player_->IsPlaylistVisible());
  // 4.
  boxPlaylist->SetBackgroundWallpaper(LoadSkinBitmap("\\skin\\playlist.bmp"));
  // 5.
  std::optional<TPlaylistRows> rows = readAhead ? readAhead->Take() : ReadPlaylistRows();
  if (!rows || rows->entries.isEmpty()) return;
  boxPlaylist->SetItems(rows->texts);
  shownEntries_ = std::move(rows->entries);
  boxPlaylist->SetItemIndex(0);
  if (player_) player_->SetSongLabel(boxPlaylist->Items().constFirst());
}

void TformPlaylist::DockUnderPlayer() {
  if (!player_) return;
  const QRect player = player_->PlayerGeometry();
  move(player.left(), player.top() + player.height());
  resize(player.width(), height());
}

void TformPlaylist::AddDropTarget(QWidget* window) {
  if (dropHook_) dropHook_->AddTarget(window);
}

// Refill:
// 1. the click-to-play detector starts over (its timer keeps running)
// 2. note the selected row
// 3. the rows from the file; an unusable file is reported and the old rows stay
// 4. the same row index selected again, or none when it is gone
void TformPlaylist::UpdatePlaylist() {
  // 1.
  detector_.Reset();
  // 2.
  const int selected = boxPlaylist->ItemIndex();
  // 3.
  if (const auto entries = TPlaylistFile().ReadEntriesReporting()) SetRows(*entries);
  // 4.
  boxPlaylist->SetItemIndex(selected < boxPlaylist->Count() ? selected : -1);
  emit playlistUpdated();
}

void TformPlaylist::RefreshRows() {
  const std::optional<QVector<TPlaylistEntry>> entries = TPlaylistFile().ReadEntriesSilent();
  if (!entries) return;
  const int selected = boxPlaylist->ItemIndex();
  const int top = boxPlaylist->TopIndex();
  SetRows(*entries);
  boxPlaylist->SetItemIndex(selected < boxPlaylist->Count() ? selected : -1);
  boxPlaylist->SetTopIndex(top);
  // The new rows closed the hint of a long row under the mouse; it opens again where it was.
  if (boxPlaylist->MouseInside()) {
    const QPoint at = boxPlaylist->viewport()->mapFromGlobal(QCursor::pos());
    boxPlaylist->UpdateHint(at.x(), at.y());
  }
}

void TformPlaylist::SetRows(const QVector<TPlaylistEntry>& entries) {
  // A refill mostly finds the entries it showed before (a drop refills once per song): the
  // list's own row texts are shared, and only new or changed entries are formatted again.
  const bool mirrored = boxPlaylist->Items().size() == shownEntries_.size();
  QStringList rows = mirrored ? boxPlaylist->Items() : QStringList();
  const qsizetype reused = std::min(rows.size(), entries.size());
  if (rows.size() != entries.size()) rows.resize(entries.size());
  for (qsizetype i = 0; i < entries.size(); ++i) {
    if (i < reused && SameEntry(shownEntries_[i], entries[i])) continue;
    rows[i] = TPlaylistFile::EntryText(entries[i]);
  }
  boxPlaylist->SetItems(rows);
  shownEntries_ = entries;
}

QPoint TformPlaylist::MenuPoint(const QWidget* button) const {
  // The window has no frame: its client origin is its top-left corner.
  return QPoint(x() + button->x(), y() + button->y() + button->height());
}

void TformPlaylist::butnAddClick(QObject*) {
  PopupOnScreen(menuAdd, MenuPoint(butnAdd));
}

void TformPlaylist::butnDeleteClick(QObject*) {
  PopupOnScreen(menuDelete, MenuPoint(butnDelete));
}

QString TformPlaylist::ReadLastDir() const {
  const TIniFile settings(SettingsFileName());
  return settings.ReadString("main", "lastdir", QString());
}

void TformPlaylist::WriteLastDir(const QString& dir) const {
  TIniFile settings(SettingsFileName());
  settings.WriteString("main", "lastdir", dir);
}

std::optional<QString> TformPlaylist::ExecuteOpenDialog() {
  const QString lastDir = ReadLastDir();
  if (!lastDir.isEmpty() && QFileInfo(lastDir).isDir()) dlgOpen.InitialDir = lastDir;
  if (!dlgOpen.Execute(this)) return std::nullopt;
  return dlgOpen.FileName;
}

// Add File: the open dialog (from "lastdir"), one append, a refill, then "lastdir" = the
// file's folder with its separator.
void TformPlaylist::AddFile1Click(QObject*) {
  const std::optional<QString> chosen = ExecuteOpenDialog();
  if (!chosen) return;
  if (!CanStoreInPlaylist(*chosen)) {
    Dialogs().ShowMessage(UnstorableNamesMessage({*chosen}));
    return;
  }
  TPlaylistFile().AppendEntry(*chosen, TAppendOrder::FileFirst);
  UpdatePlaylist();
  WriteLastDir(chosen->left(chosen->lastIndexOf('/') + 1));
}

// Add Directory: the folder dialog (from "lastdir"), the folder's songs in one commit, one
// refill (also when nothing matched), then "lastdir" = the folder as the dialog gave it.
void TformPlaylist::AddDirectory1Click(QObject*) {
  const QString lastDir = ReadLastDir();
  if (!lastDir.isEmpty() && QFileInfo(lastDir).isDir()) dlgBrowse->SetPath(lastDir);
  if (!dlgBrowse->Execute()) return;
  const QString folder = dlgBrowse->Path();
  const TFolderScan scan = ScanFolderForSongs(folder);
  if (!scan.songs.isEmpty()) TPlaylistFile().AppendEntries(scan.songs, TAppendOrder::FileFirst);
  UpdatePlaylist();
  if (!scan.unstorable.isEmpty()) Dialogs().ShowMessage(UnstorableNamesMessage(scan.unstorable));
  WriteLastDir(folder);
}

// Delete Selected: only with a selected row; the row index stays, now on the next entry.
void TformPlaylist::MenuItem1Click(QObject*) {
  const int count = boxPlaylist->Count();
  const int selected = boxPlaylist->ItemIndex();
  if (count < 1 || selected < 0) return;
  TPlaylistFile().DeleteEntry(selected, count);
  UpdatePlaylist();
}

// Delete Playlist: the file goes, the list empties; a playing song plays on. A file that
// cannot be deleted is reported like any refused write, and the list keeps showing it.
void TformPlaylist::MenuItem2Click(QObject*) {
  const TPlaylistFile playlist;
  if (!playlist.ErasePlaylist())
    throw EIniFileException(QStringLiteral("Unable to write to %1").arg(playlist.FileName()));
  boxPlaylist->Clear();
  shownEntries_.clear();
}

void TformPlaylist::boxPlaylistMouseUp(QObject*, Qt::MouseButton button, Qt::KeyboardModifiers, int,
                                       int) {
  if (button != Qt::LeftButton) return;
  const bool play = detector_.Release(boxPlaylist->ItemIndex());
  SyncDblClickTimer();
  if (play) PlaySelected(boxPlaylist);
}

void TformPlaylist::PlaySelected(QObject* sender) {
  if (!player_) return;
  if (player_->IsPlaying()) player_->StopClick(sender);
  player_->PlayClick(sender);
}

void TformPlaylist::timeDblClickTimer(QObject*) {
  detector_.TimerFired();
  SyncDblClickTimer();
}

void TformPlaylist::SyncDblClickTimer() {
  // A running timer is not restarted: its period counts from the release that started it.
  if (detector_.TimerRunning() && !timeDblClick->isActive())
    timeDblClick->start();
  else if (!detector_.TimerRunning() && timeDblClick->isActive())
    timeDblClick->stop();
}

// Dropped files: the songs up to the first name that is not one, appended in one write (the
// same lines, in drop write order, as one append per song) and followed by one refill.
void TformPlaylist::WMDropFiles(const QList<QUrl>& urls) {
  const TDropWalk walk = WalkDroppedUrls(urls);
  if (!walk.songs.isEmpty()) {
    TPlaylistFile().AppendEntries(walk.songs, TAppendOrder::VersionFirst);
    UpdatePlaylist();
  }
  if (!walk.unstorable.isEmpty()) Dialogs().ShowMessage(UnstorableNamesMessage(walk.unstorable));
}

void TformPlaylist::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  imgMain->setGeometry(rect());
  // Anchored to the left and bottom edges.
  butnAdd->move(butnAdd->x(), height() - kButtonBottomGap);
  butnDelete->move(butnDelete->x(), height() - kButtonBottomGap);
}

// Moves made by a window manager (Alt+drag) or a tool keep the pair docked: the player goes
// above the playlist, snapping as its own moves do, and the playlist docks under it. The
// same outside move twice (a window manager that insists on its place) is followed exactly,
// so there is no tug of war.
void TformPlaylist::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (!player_ || !isVisible()) return;
  const QRect player = player_->PlayerGeometry();
  const QPoint now = pos();
  if (now == QPoint(player.left(), player.top() + player.height())) return;
  const bool insisted = now == lastForeignMove_;
  lastForeignMove_ = now;
  player_->FollowPlaylist(QPoint(now.x(), now.y() - player.height()), !insisted);
}

void TformPlaylist::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A tool window shown before its player window had a native window gets no transient
  // parent from Qt; without one it would have a taskbar entry of its own.
  if (playerWindow_ && windowHandle() && !windowHandle()->transientParent())
    windowHandle()->setTransientParent(playerWindow_->windowHandle());
}
