#include "player/lookahead.h"

// The end of a song: repeat file plays the entry again (the first one when none is
// selected); no repeating and repeat playlist take Next's choice, after which Play runs.
int EndOfSongRow(int repeatMode, bool shuffle, int shufflePick, int index, int count) {
  if (count <= 0) return -1;
  switch (repeatMode) {
    case 1:
      return index < 0 ? 0 : index;
    case 0:
    case 2:
      if (shuffle) return shufflePick;
      if (index == count - 1) return repeatMode == 0 ? -1 : 0;
      return index + 1;
    default:
      return -1;
  }
}
