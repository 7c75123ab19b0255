#include "desktop/desktopintegration.h"

#include <QApplication>

#include "desktop/inputfilter.h"
#include "desktop/mprisservice.h"
#include "desktop/windowsadapter.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"

TDesktopIntegration::TDesktopIntegration(TformMain* player, TformPlaylist* playlist,
                                         QObject* parent)
    : QObject(parent),
      adapter_(std::make_unique<TWindowsAdapter>(player, playlist)),
      input_(std::make_unique<TInputFilter>(*adapter_, player, playlist, player->barSongProgress)),
      mpris_(std::make_unique<TMprisService>(*adapter_)) {
  qApp->installEventFilter(input_.get());
}

TDesktopIntegration::~TDesktopIntegration() {
  if (qApp) qApp->removeEventFilter(input_.get());
}

void TDesktopIntegration::Apply(const TInstanceRequest& request) {
  // Not inside an event handler: the handlers' errors are shown here as the catcher would.
  try {
    ApplyRequest(request, *adapter_);
  } catch (const EBrimtoneError& e) {
    ShowException(e.Message());
  }
}

void TDesktopIntegration::ApplyBytes(const QByteArray& bytes) {
  TInstanceRequest request;
  if (DecodeRequest(bytes, request)) Apply(request);
}
