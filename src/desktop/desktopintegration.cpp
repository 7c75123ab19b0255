#include "desktop/desktopintegration.h"

#include <QApplication>
#include <QTimer>
#include <functional>
#include <utility>

#include "desktop/inputfilter.h"
#include "desktop/mprisservice.h"
#include "desktop/windowsadapter.h"
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

namespace {
// Calls a function once, after each of the widgets shown has been painted.
class TFirstPaint : public QObject {
 public:
  TFirstPaint(const QList<QWidget*>& widgets, std::function<void()> then, QObject* parent)
      : QObject(parent), then_(std::move(then)) {
    for (QWidget* widget : widgets) {
      if (!widget || !widget->isVisible()) continue;
      widget->installEventFilter(this);
      waiting_ << widget;
    }
    // A window that never paints (already painted, or kept off screen) must not keep it off.
    QTimer::singleShot(waiting_.isEmpty() ? 0 : 2000, this, &TFirstPaint::Fire);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && waiting_.removeOne(watched)) {
      watched->removeEventFilter(this);
      if (waiting_.isEmpty()) QTimer::singleShot(0, this, &TFirstPaint::Fire);
    }
    return false;
  }
  void Fire() {
    if (then_) std::exchange(then_, nullptr)();
  }

 private:
  QList<QObject*> waiting_;
  std::function<void()> then_;
};
}  // namespace

void TDesktopIntegration::StartMprisWhenShown() {
  if (paintWatch_) return;
  paintWatch_ = new TFirstPaint(
      {adapter_->Player(), playlist_}, [this] { mpris_->StartOnSessionBus(); }, this);
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
