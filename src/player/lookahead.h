#pragma once
// Which row the end of the playing song leads to: the end-of-song handling's own choice (by
// the repeat mode, and a shuffle pick drawn ahead), worked out before the song ends so that
// the next song can follow without a gap.

// shufflePick: the row a shuffled Next will take (used only with shuffle on).
// -1 when the end of the song plays nothing: an empty list, the last row with no repeating,
// or a mode that plays nothing.
int EndOfSongRow(int repeatMode, bool shuffle, int shufflePick, int index, int count);

// What the choice was made from; a change of any of it may change the choice.
struct TLookAheadBasis {
  int repeatMode = 0;
  bool shuffle = false;
  int index = -1;
  int count = 0;
  unsigned listGeneration = 0;  // bumped by every refill of the list
  bool operator==(const TLookAheadBasis&) const = default;
};
