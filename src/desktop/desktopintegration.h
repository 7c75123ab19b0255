#pragma once
// Everything a Linux desktop expects around the two windows, put together once they stand:
// keys and wheel, the MPRIS service, and the requests of later starts.

#include <QObject>
#include <QWidget>
#include <memory>

#include "desktop/commandline.h"

class TformMain;
class TformPlaylist;
class TInputFilter;
class TLengthScanner;
class TMprisService;
class TWindowsAdapter;

class TDesktopIntegration : public QObject {
  Q_OBJECT
 public:
  TDesktopIntegration(TformMain* player, TformPlaylist* playlist, QObject* parent = nullptr);
  ~TDesktopIntegration() override;

  TWindowsAdapter& Control() { return *adapter_; }
  TMprisService& Mpris() { return *mpris_; }
  // Registers on the session bus once the windows have first been painted: connecting
  // to the bus costs a noticeable part of the start, and nothing needs it before.
  void StartMprisWhenShown();
  // A request of this start or a later one (undecodable bytes are ignored), carried out from
  // the event loop after what came before it.
  void Apply(const TInstanceRequest& request);
  void ApplyBytes(const QByteArray& bytes);
  // MPRIS announces the lengths the background scan finds.
  void WatchLengths(TLengthScanner& scanner);

 private:
  std::unique_ptr<TWindowsAdapter> adapter_;
  std::unique_ptr<TInputFilter> input_;
  std::unique_ptr<TMprisService> mpris_;
  QWidget* playlist_;
  QObject* paintWatch_ = nullptr;
};
