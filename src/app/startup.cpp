#include "app/startup.h"

#include <QTimer>

#include "platform/apptitle.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"

namespace {
template <typename F>
void RunShowingErrors(F&& step) {
  try {
    step();
  } catch (const EBrimtoneError& e) {
    ShowException(e.Message());
  }
}
}  // namespace

TWindows::TWindows() = default;
TWindows::~TWindows() = default;

void CreateWindows(TWindows& windows) {
  SetApplicationTitle("Brimtone");
  windows.formMain = std::make_unique<TformMain>();
  SetTitleWindow(windows.formMain.get());
  RunShowingErrors([&] { windows.formMain->FormCreate(); });
  windows.formMain->show();

  windows.formPlaylist = std::make_unique<TformPlaylist>(windows.formMain.get());
  windows.formMain->SetPlaylistWindow(windows.formPlaylist.get());
  RunShowingErrors([&] { windows.formPlaylist->FormCreate(); });

  // Once the windows are up, open the audio output so the first song starts at once.
  TMediaPlayer* device = windows.formMain->Mp3MediaPlayer;
  QTimer::singleShot(50, device, [device] { device->Prepare(); });
}

void DestroyWindows(TWindows& windows) {
  if (windows.formMain) RunShowingErrors([&] { windows.formMain->FormDestroy(); });
  if (windows.formMain) windows.formMain->SetPlaylistWindow(nullptr);
  windows.formPlaylist.reset();
  SetTitleWindow(nullptr);
  windows.formMain.reset();
}
