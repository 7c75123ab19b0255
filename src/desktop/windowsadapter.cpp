#include "desktop/windowsadapter.h"

#include <QApplication>
#include <QEvent>
#include <algorithm>

#include "audio/lengthscanner.h"
#include "controls/dtlistbox.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"
#include "playlist/playlistfile.h"
#include "playlist/searchwindow.h"
#include "playlist/songpaths.h"

TWindowsAdapter::TWindowsAdapter(TformMain* player, TformPlaylist* playlist, QObject* parent)
    : TPlayerControl(parent), player_(player), playlist_(playlist) {
  connect(player, &TformMain::StateChanged, this, &TPlayerControl::Changed);
  connect(player, &TformMain::Seeked, this, [this](int32_t ms) { emit Seeked(ms); });
  connect(player, &TformMain::SongStarted, this, [this] {
    ++playId_;
    emit Changed();
  });
  if (playlist) {
    connect(playlist, &TformPlaylist::playlistUpdated, this, [this] {
      cachedRow_ = -1;
      emit Changed();
    });
  }
  qApp->installEventFilter(this);
}

bool TWindowsAdapter::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::MouseButtonRelease && type != QEvent::KeyRelease) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || !widget->isWidgetType()) return false;
  QWidget* window = widget->window();
  if (window == player_ || window == playlist_) emit Changed();
  return false;
}

TformMain* TWindowsAdapter::Player() const {
  return player_;
}

void TWindowsAdapter::Play() {
  player_->PlayClick(player_->Play);
}
void TWindowsAdapter::PauseToggle() {
  player_->PauseClick(player_->Pause);
}
void TWindowsAdapter::Stop() {
  player_->StopClick(player_->Stop);
}
void TWindowsAdapter::Next() {
  player_->NextClick(player_->Next);
  emit Changed();  // a stopped Next moves the selection only
}
void TWindowsAdapter::Previous() {
  player_->PrevClick(player_->Prev);
  emit Changed();
}

void TWindowsAdapter::SeekTo(qint64 ms) {
  player_->SeekTo(static_cast<int32_t>(std::clamp<qint64>(ms, 0, INT32_MAX)));
}

int TWindowsAdapter::Volume() const {
  return player_->barVolume->Position();
}
void TWindowsAdapter::SetVolume(int value) {
  player_->SetVolume(value);
}

int TWindowsAdapter::RepeatMode() const {
  return player_->RepeatMode;
}

void TWindowsAdapter::SetRepeatMode(int mode) {
  // Through the menu items, so the menu's check mark follows.
  QAction* item = mode == 1   ? player_->itemRepeatFile
                  : mode == 2 ? player_->itemRepeatPlaylist
                              : player_->itemRepeatNone;
  item->setChecked(true);
  if (mode == 1)
    player_->itemRepeatFileClick(item);
  else if (mode == 2)
    player_->itemRepeatPlaylistClick(item);
  else
    player_->itemRepeatNoneClick(item);
}

bool TWindowsAdapter::Shuffle() const {
  return player_->Shuffle;
}

void TWindowsAdapter::SetShuffle(bool on) {
  if (player_->Shuffle != on) player_->butnShuffleClick(player_->butnShuffle);
}

void TWindowsAdapter::ToggleTimeType() {
  player_->lablTimeClick(player_->lablTime);
}
void TWindowsAdapter::TogglePlaylist() {
  player_->butnPlaylistClick(player_->butnPlaylist);
}

void TWindowsAdapter::AddFile() {
  if (playlist_) playlist_->AddFile1Click(playlist_->AddFile1);
}
void TWindowsAdapter::AddDirectory() {
  if (playlist_) playlist_->AddDirectory1Click(playlist_->AddDirectory1);
}
void TWindowsAdapter::DeleteSelected() {
  if (playlist_) playlist_->MenuItem1Click(playlist_->MenuItem1);
}

void TWindowsAdapter::PlaySelected() {
  // As a double click on the row does.
  if (!playlist_ || playlist_->boxPlaylist->ItemIndex() < 0) return;
  // After a song failed to start nothing plays, and there is nothing to stop.
  if (State() != TPlaybackState::Stopped) player_->StopClick(playlist_->boxPlaylist);
  player_->PlayClick(playlist_->boxPlaylist);
}

void TWindowsAdapter::FindSong() {
  if (!playlist_) return;
  if (!search_) search_ = new TSearchWindow(playlist_, player_);
  search_->Open();
}

void TWindowsAdapter::AddSongs(const QStringList& paths, bool play,
                               const QStringList& unstorableNames) {
  if (!playlist_) return;
  QStringList songs, unstorable;
  for (const QString& path : paths) (CanStoreInPlaylist(path) ? songs : unstorable) << path;
  unstorable << unstorableNames;
  const int first = playlist_->boxPlaylist->Count();
  if (!songs.isEmpty()) {
    TPlaylistFile().AppendEntries(songs, TAppendOrder::VersionFirst);
    playlist_->UpdatePlaylist();
  }
  // The message last: its box runs the event loop, and the rows must be as this call left
  // them when the song starts.
  if (play && !songs.isEmpty() && first < playlist_->boxPlaylist->Count()) {
    playlist_->boxPlaylist->SetItemIndex(first);
    PlaySelected();
  }
  if (!unstorable.isEmpty()) Dialogs().ShowMessage(UnstorableNamesMessage(unstorable));
}

void TWindowsAdapter::Raise() {
  if (player_->isMinimized()) player_->showNormal();
  player_->show();
  player_->raise();
  player_->activateWindow();
  if (playlist_ && ::PlaylistVisible) playlist_->raise();
}

void TWindowsAdapter::Quit() {
  player_->butnExitClick(player_->butnExit);
}

void TWindowsAdapter::WatchLengths(TLengthScanner& scanner) {
  connect(&scanner, &TLengthScanner::Measured, this, [this](const TLengthResult& result) {
    measuredMs_.insert(qHash(result.Path), result.LengthMs);
    if (result.Path == Track().Path) emit Changed();
  });
}

// After a song failed to start, Playing stays true with no song open: nothing plays then. A
// song on its way (the next one opening) plays as soon as it is open.
TPlaybackState TWindowsAdapter::State() const {
  const TMediaPlayer* device = player_->Mp3MediaPlayer;
  if (!player_->Playing || !(device->IsOpen() || device->Opening())) return TPlaybackState::Stopped;
  return player_->Paused ? TPlaybackState::Paused : TPlaybackState::Playing;
}

qint64 TWindowsAdapter::PositionMs() const {
  if (State() == TPlaybackState::Stopped) return 0;
  return std::max(0, player_->Mp3MediaPlayer->Position());
}

int TWindowsAdapter::Count() const {
  return playlist_ ? playlist_->boxPlaylist->Count() : 0;
}

int TWindowsAdapter::Selected() const {
  return playlist_ ? playlist_->boxPlaylist->ItemIndex() : -1;
}

// The playing song, else the selected row. What the open song says of itself (the device's
// length, its tags) wins; else the scan's length, else the one the playlist stores.
TTrackInfo TWindowsAdapter::Track() const {
  TTrackInfo track;
  const TMediaPlayer* device = player_->Mp3MediaPlayer;
  const bool open = device->IsOpen();
  const int row = playlist_ ? playlist_->boxPlaylist->ItemIndex() : -1;
  const QVector<TPlaylistEntry> none;
  const QVector<TPlaylistEntry>& entries = playlist_ ? playlist_->ShownEntries() : none;
  const TPlaylistEntry* entry = row >= 0 && row < entries.size() ? &entries[row] : nullptr;
  if (entry && cachedRow_ != row) {
    cachedPath_ = TPlaylistFile().EntryPath(entry->Number);
    cachedRow_ = row;
  }
  if (player_->Playing && open) {
    // The selected row names the playing song when it is that song.
    track.Path = device->FileName();
    const bool selectedIsPlaying = entry && cachedPath_ == track.Path;
    track.Row = selectedIsPlaying ? row : -1;
    track.Title = selectedIsPlaying && !entry->Title.isEmpty()
                      ? entry->Title
                      : TPlaylistFile::FileNamePart(track.Path);
  } else if (entry) {
    track.Row = row;
    track.Path = cachedPath_;
    track.Title = entry->Title;
  } else {
    return track;
  }
  if (open && device->FileName() == track.Path) {
    try {
      track.LengthMs = std::max(0, device->Length());
    } catch (const EBrimtoneError&) {
      // Closed after all: no length then.
    }
    track.Tags = device->Tags();
    track.PlayId = playId_;
  }
  if (track.LengthMs <= 0) track.LengthMs = measuredMs_.value(qHash(track.Path), 0);
  if (track.LengthMs <= 0 && entry && track.Row == row)
    track.LengthMs = qint64(entry->LengthSeconds) * 1000;
  return track;
}
