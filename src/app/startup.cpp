#include "app/startup.h"

#include <QTimer>

#include "platform/apptitle.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"
#include "playlist/lengthrecorder.h"

namespace {
template <typename F>
void RunShowingErrors(F&& step) {
  try {
    step();
  } catch (const EBrimtoneError& e) {
    ShowException(e.Message());
  }
}

// Entries without a length are measured in the background after start-up and each refill.
void StartLengthScan(TWindows& windows) {
  TMediaPlayer* device = windows.formMain->Mp3MediaPlayer;
  TformPlaylist* playlist = windows.formPlaylist.get();
  windows.lengthRecorder = std::make_unique<TLengthRecorder>();
  TLengthRecorder* recorder = windows.lengthRecorder.get();
  recorder->SetBusyFile([device] { return device->IsOpen() ? device->FileName() : QString(); });
  recorder->SetRefresh([playlist] { playlist->RefreshRows(); });
  QObject::connect(playlist, &TformPlaylist::playlistUpdated, recorder, &TLengthRecorder::Rescan);
  recorder->Rescan();
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
  StartLengthScan(windows);
}

void DestroyWindows(TWindows& windows) {
  windows.lengthRecorder.reset();
  if (windows.formMain) RunShowingErrors([&] { windows.formMain->FormDestroy(); });
  if (windows.formMain) windows.formMain->SetPlaylistWindow(nullptr);
  windows.formPlaylist.reset();
  SetTitleWindow(nullptr);
  windows.formMain.reset();
}
