#pragma once
// Both windows on the scripted engine in a temporary program directory holding `songs`
// (empty files music/<n>.mp3, 225 s each to the engine), with the desktop's adapter and
// input filter over them, as the program puts them together.

#include <QApplication>
#include <memory>

#include "desktop/inputfilter.h"
#include "desktop/windowsadapter.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"
#include "support/fakeaudioengine.h"
#include "support/fakedialogs.h"
#include "support/tempprogramdir.h"

class TWindowsRig {
 public:
  explicit TWindowsRig(int songs);
  ~TWindowsRig();
  QString Song(int n) const;
  void PlayRow(int row);  // selects the row and clicks Play
  TTempProgramDir dir;
  TFakeDialogsScope dialogs;
  TFakeAudioEngine* fake = nullptr;
  std::unique_ptr<TformMain> main;
  std::unique_ptr<TformPlaylist> playlist;
  std::unique_ptr<TWindowsAdapter> control;
  std::unique_ptr<TInputFilter> input;
};
