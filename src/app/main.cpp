// Start-up order: application, title "Brimtone", the player window, then the playlist
// window; the message loop; at the end the settings are saved while both windows still stand.
#include <memory>

#include "app/application.h"
#include "platform/apptitle.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"

namespace {
// An error in a creation handler skips the rest of it; the window stands all the same.
template <typename F>
void RunShowingErrors(F&& step) {
  try {
    step();
  } catch (const EBrimtoneError& e) {
    ShowException(e.Message());
  }
}
}  // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  SetApplicationTitle("Brimtone");
  QuitOnTerminationSignals();

  auto formMain = std::make_unique<TformMain>();
  SetTitleWindow(formMain.get());
  RunShowingErrors([&] { formMain->FormCreate(); });
  formMain->show();

  auto formPlaylist = std::make_unique<TformPlaylist>(formMain.get());
  formMain->SetPlaylistWindow(formPlaylist.get());
  RunShowingErrors([&] { formPlaylist->FormCreate(); });

  const int result = app.exec();

  RunShowingErrors([&] { formMain->FormDestroy(); });
  formMain->SetPlaylistWindow(nullptr);
  formPlaylist.reset();
  formMain.reset();
  return result;
}
