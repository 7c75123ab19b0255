#pragma once
// The program's start-up order and shutdown, shared by the entry point and the start-up
// benchmark.

#include <memory>

class TLengthRecorder;
class TformMain;
class TformPlaylist;

struct TWindows {
  TWindows();
  ~TWindows();
  std::unique_ptr<TformMain> formMain;
  std::unique_ptr<TformPlaylist> formPlaylist;
  // Measures the entries without a length in the background, after start-up and each refill.
  std::unique_ptr<TLengthRecorder> lengthRecorder;
};

// Title "Brimtone", the player window (created, set up, shown), then the playlist window.
// Errors of a creation handler are shown and skip the rest of that handler only. Once both
// windows have been painted: the length scan of the entries the file holds, then the audio
// output (kAudioAfterPaintMs later) and the removal of leftover temporary files
// (kLeftoversAfterPaintMs later, off the GUI thread).
void CreateWindows(TWindows& windows);
constexpr int kAudioAfterPaintMs = 50;
constexpr int kLeftoversAfterPaintMs = 3000;
// Stops the background length scan and saves the settings while both windows still stand,
// then destroys the playlist window and the player window, in that order.
void DestroyWindows(TWindows& windows);
