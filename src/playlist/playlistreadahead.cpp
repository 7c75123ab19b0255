#include "playlist/playlistreadahead.h"

#include "platform/programdir.h"

std::optional<TPlaylistRows> ReadPlaylistRows(const QString& fileName) {
  std::optional<QVector<TPlaylistEntry>> entries = TPlaylistFile(fileName).ReadEntriesSilent();
  if (!entries) return std::nullopt;
  TPlaylistRows rows;
  rows.texts.reserve(entries->size());
  for (const TPlaylistEntry& entry : *entries) rows.texts.append(TPlaylistFile::EntryText(entry));
  rows.entries = std::move(*entries);
  return rows;
}

TPlaylistReadAhead::TPlaylistReadAhead(const QString& fileName)
    // The name is worked out here, on the GUI thread, as the handler would.
    : fileName_(fileName.isEmpty() ? PlaylistFileName() : fileName),
      rows_(std::async(std::launch::async, [name = fileName_] { return ReadPlaylistRows(name); })) {
}

TPlaylistReadAhead::~TPlaylistReadAhead() {
  if (rows_.valid()) rows_.wait();
}

std::optional<TPlaylistRows> TPlaylistReadAhead::Take() {
  if (!rows_.valid()) return ReadPlaylistRows(fileName_);
  return rows_.get();
}
