#include "desktop/desktopintegration.h"

#include <QApplication>

#include "desktop/inputfilter.h"
#include "desktop/mprisservice.h"
#include "desktop/windowsadapter.h"
#include "platform/firstpaint.h"
#include "platform/startupmarks.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"

TDesktopIntegration::TDesktopIntegration(TformMain* player, TformPlaylist* playlist,
                                         QObject* parent)
    : QObject(parent),
      adapter_(std::make_unique<TWindowsAdapter>(player, playlist)),
      input_(std::make_unique<TInputFilter>(*adapter_, player, playlist, player->barSongProgress)),
      mpris_(std::make_unique<TMprisService>(*adapter_)),
      playlist_(playlist) {
  qApp->installEventFilter(input_.get());
}

TDesktopIntegration::~TDesktopIntegration() {
  if (qApp) qApp->removeEventFilter(input_.get());
}

void TDesktopIntegration::StartMprisWhenShown() {
  if (paintWatch_) return;
  paintWatch_ = new TFirstPaint(
      {adapter_->Player(), playlist_},
      [this] {
        StartupBegin("MPRIS");
        mpris_->StartOnSessionBus();
        StartupMark("MPRIS");
      },
      this);
}

void TDesktopIntegration::Apply(const TInstanceRequest& request) {
  adapter_->Defer([adapter = adapter_.get(), request] { ApplyRequest(request, *adapter); });
}

void TDesktopIntegration::ApplyBytes(const QByteArray& bytes) {
  TInstanceRequest request;
  if (DecodeRequest(bytes, request)) Apply(request);
}

void TDesktopIntegration::WatchLengths(TLengthScanner& scanner) {
  adapter_->WatchLengths(scanner);
}
