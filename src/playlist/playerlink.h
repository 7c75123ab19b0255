#pragma once
// What the playlist window needs of the player window. The player implements it; the
// playlist library does not depend on the player's.

#include <QRect>
#include <QString>

class QObject;

class TPlayerLink {
 public:
  virtual ~TPlayerLink() = default;
  virtual bool IsPlaying() const = 0;  // the player's Playing flag
  virtual void PlayClick(QObject* sender) = 0;
  virtual void StopClick(QObject* sender) = 0;
  // The player window's frame (left, top, width, height) for docking.
  virtual QRect PlayerGeometry() const = 0;
  // The playlist window was moved by someone else (a window manager's Alt+drag, a tool): the
  // player window goes to playerTopLeft, above it, snapping as for its own moves (unless snap
  // is false), and the playlist docks under it again.
  virtual void FollowPlaylist(QPoint playerTopLeft, bool snap) = 0;
  // Sets the player's song-title line (lablSongName).
  virtual void SetSongLabel(const QString& text) = 0;
  // Whether the playlist window is to be shown (PlaylistVisible).
  virtual bool IsPlaylistVisible() const = 0;
};
