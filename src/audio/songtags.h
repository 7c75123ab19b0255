#pragma once
// What a song says about itself in its ID3 tags (ID3v2, else ID3v1): shown to desktop shells.
// Empty fields are not in the tags; callers fall back to the file name.

#include <QByteArray>
#include <QString>
#include <QStringList>

struct TSongTags {
  QString Title;
  QStringList Artists;
  QString Album;
  int TrackNumber = 0;  // 0 when not given
  // The embedded front cover (or the first picture when none is marked as the front), as
  // stored: image bytes and their MIME type. Empty when the song carries none.
  QByteArray Cover;
  QString CoverMime;

  bool IsEmpty() const {
    return Title.isEmpty() && Artists.isEmpty() && Album.isEmpty() && TrackNumber == 0 &&
           Cover.isEmpty();
  }
};
