#include "player/formmain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <algorithm>

#include "audio/outputvolume.h"
#include "controls/dtlistbox.h"
#include "platform/apptitle.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/fonts.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "platform/screenfit.h"
#include "platform/skinbitmap.h"
#include "platform/timetext.h"
#include "player/snapping.h"
#include "playlist/formplaylist.h"
#include "playlist/playlistfile.h"
#include "playlist/songpaths.h"

bool TimeType = false;
bool PlaylistVisible = false;

namespace {

constexpr int kWidth = 344;
constexpr int kHeight = 116;
// The read-out's display panel in the skin ends here; a longer time text widens the read-out
// up to it.
constexpr int kTimeDisplayRight = 190;

QString ModeName(int mode) {
  return mode >= 0 && mode < 7 ? QString::fromLatin1(ModeNames[mode]) : QString();
}

TImage* MakeImage(QWidget* parent, const QString& name, QRect bounds, bool stretch = false) {
  auto* image = new TImage(parent);
  image->setObjectName(name);
  image->setGeometry(bounds);
  image->SetTransparent(true);
  image->SetStretch(stretch);
  return image;
}

TLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, QRect bounds,
                  const QFont& font) {
  auto* label = new TLabel(text, parent);
  label->setObjectName(name);
  label->setGeometry(bounds);
  label->setFont(font);
  return label;
}

bool IsExistingFile(const QString& path) {
  const QFileInfo info(path);
  return info.exists() && !info.isDir();
}

}  // namespace

TformMain::TformMain(std::unique_ptr<TAudioEngine> engine, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setObjectName("formMain");
  setFixedSize(kWidth, kHeight);
  MoveTo(QPoint(207, 158));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(192, 192, 192));
  setPalette(pal);
  setAutoFillBackground(true);
  setFont(PixelFont("Tahoma", 11));
  setAcceptDrops(true);

  // Back to front, as designed.
  imgMain = new TImage(this);
  imgMain->setObjectName("imgMain");
  imgMain->setGeometry(0, 0, kWidth, kHeight);
  lablSongName = MakeLabel(this, "lablSongName", "No Song Playing", QRect(8, 2, 305, 17),
                           PixelFont("Tahoma", 11));
  lablSongName->setAlignment(Qt::AlignCenter);
  {
    QPalette white = lablSongName->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    lablSongName->setPalette(white);
  }
  Prev = MakeImage(this, "Prev", QRect(14, 88, 22, 18), true);
  butnExit = MakeImage(this, "butnExit", QRect(330, 4, 10, 10));
  butnMinimize = MakeImage(this, "butnMinimize", QRect(317, 4, 10, 10), true);
  butnMinimize->SetProportional(true);
  Play = MakeImage(this, "Play", QRect(43, 88, 22, 18), true);
  Pause = MakeImage(this, "Pause", QRect(72, 88, 22, 18));
  Stop = MakeImage(this, "Stop", QRect(101, 88, 22, 18));
  Next = MakeImage(this, "Next", QRect(129, 88, 22, 18));
  Eject = MakeImage(this, "Eject", QRect(172, 88, 22, 18));

  barVolume = new TALProgressBar(this);
  barVolume->setObjectName("barVolume");
  barVolume->setGeometry(235, 56, 100, 9);
  barVolume->SetBackgroundColor(clSkyBlue);
  barVolume->SetBorderColor1(clNone);
  barVolume->SetBorderColor2(clNone);
  barVolume->SetMax(65535);
  barVolume->SetPosition(65535);
  barVolume->SetPercentage(true);
  barVolume->SetShowPosText(false);

  barSongProgress = new TALProgressBar(this);
  barSongProgress->setObjectName("barSongProgress");
  barSongProgress->setGeometry(15, 71, 320, 9);
  barSongProgress->SetBackgroundColor(clSkyBlue);
  barSongProgress->SetBarColor1(clRed);
  barSongProgress->SetBarColor3(clLime);
  barSongProgress->SetBorderColor1(clNone);
  barSongProgress->SetBorderColor2(clNone);
  barSongProgress->SetMax(1);
  barSongProgress->SetPosition(1);
  barSongProgress->SetPercentage(true);
  barSongProgress->SetShowPosText(false);

  lablVolume =
      MakeLabel(this, "lablVolume", "Volume", QRect(200, 54, 32, 11), PixelFont("Tahoma", 9));
  lablProgress =
      MakeLabel(this, "lablProgress", "Progress", QRect(15, 60, 35, 11), PixelFont("Tahoma", 9));
  lablTime = MakeLabel(this, "lablTime", "0:00", QRect(15, 24, 64, 31),
                       PixelFont("Courier New", 27, true));
  lablTime->SetFitWidth(64, kTimeDisplayRight);
  butnRepeat = MakeImage(this, "butnRepeat", QRect(320, 38, 15, 15));
  butnRepeat->setProperty("Hint", "Repeat");
  butnShuffle = MakeImage(this, "butnShuffle", QRect(300, 38, 15, 15));
  butnShuffle->setProperty("Hint", "Shuffle");
  butnPlaylist = MakeImage(this, "butnPlaylist", QRect(235, 38, 55, 15));
  // The designed hints are kept but never shown.
  butnPlaylist->setProperty("Hint", "Shuffle");

  Mp3MediaPlayer = new TMediaPlayer(std::move(engine), this);
  Mp3MediaPlayer->setObjectName("Mp3MediaPlayer");
  timeProgress = new QTimer(this);
  timeProgress->setObjectName("timeProgress");
  timeProgress->setInterval(500);

  menuRepeat = new QMenu(this);
  menuRepeat->setObjectName("menuRepeat");
  auto* group = new QActionGroup(menuRepeat);
  group->setExclusive(true);
  itemRepeatFile = menuRepeat->addAction("Repeat File");
  itemRepeatPlaylist = menuRepeat->addAction("Repeat Playlist");
  itemRepeatNone = menuRepeat->addAction("No Repeating");
  for (QAction* item : {itemRepeatFile, itemRepeatPlaylist, itemRepeatNone}) {
    item->setCheckable(true);
    group->addAction(item);
  }
  itemRepeatNone->setChecked(true);

  // Wiring.
  connect(Prev, &TImage::OnClick, this, [this] { PrevClick(Prev); });
  connect(Play, &TImage::OnClick, this, [this] { PlayClick(Play); });
  connect(Pause, &TImage::OnClick, this, [this] { PauseClick(Pause); });
  connect(Stop, &TImage::OnClick, this, [this] { StopClick(Stop); });
  connect(Next, &TImage::OnClick, this, [this] { NextClick(Next); });
  connect(Eject, &TImage::OnClick, this, [this] { EjectClick(Eject); });
  for (TImage* image : {Prev, Play, Stop, Next, Eject}) {
    connect(image, &TImage::OnMouseDown, this, [this, image] { ChangeImageDown(image); });
    connect(image, &TImage::OnMouseUp, this, [this, image] { ChangeImageUp(image); });
  }
  connect(butnExit, &TImage::OnClick, this, [this] { butnExitClick(butnExit); });
  connect(butnMinimize, &TImage::OnClick, this, [this] { butnMinimizeClick(butnMinimize); });
  connect(butnPlaylist, &TImage::OnClick, this, [this] { butnPlaylistClick(butnPlaylist); });
  connect(butnRepeat, &TImage::OnClick, this, [this] { butnRepeatClick(butnRepeat); });
  connect(butnShuffle, &TImage::OnClick, this, [this] { butnShuffleClick(butnShuffle); });
  connect(lablTime, &TLabel::OnClick, this, [this] { lablTimeClick(lablTime); });
  connect(lablSongName, &TLabel::OnMouseDown, this,
          [this](Qt::MouseButton button, QPoint) { imgMainMouseDown(lablSongName, button); });
  connect(menuRepeat, &QMenu::aboutToShow, this, [this] { menuRepeatPopup(menuRepeat); });
  connect(itemRepeatFile, &QAction::triggered, this,
          [this] { itemRepeatFileClick(itemRepeatFile); });
  connect(itemRepeatPlaylist, &QAction::triggered, this,
          [this] { itemRepeatPlaylistClick(itemRepeatPlaylist); });
  connect(itemRepeatNone, &QAction::triggered, this,
          [this] { itemRepeatNoneClick(itemRepeatNone); });
  connect(timeProgress, &QTimer::timeout, this, [this] { timeProgressTimer(timeProgress); });
  connect(Mp3MediaPlayer, &TMediaPlayer::OnNotify, this,
          [this](QObject* sender) { Mp3MediaPlayerNotify(sender); });
  // A short wait lets a burst of changes (keys held down in the list) make one choice.
  lookAheadTimer_ = new QTimer(this);
  lookAheadTimer_->setSingleShot(true);
  lookAheadTimer_->setInterval(50);
  connect(lookAheadTimer_, &QTimer::timeout, this, &TformMain::QueueLookAhead);
  connect(Mp3MediaPlayer, &TMediaPlayer::NextWanted, this, [this] {
    lookAheadWanted_ = true;
    lookAheadTimer_->start();
  });
  connect(this, &TformMain::StateChanged, this, &TformMain::CheckLookAhead);
  DescribeForAssistiveTechnology();

  barSongProgress->SetOnMouseDown([this](QObject* sender, Qt::MouseButton b, Qt::KeyboardModifiers,
                                         int x,
                                         int y) { barSongProgressMouseDown(sender, b, x, y); });
  barSongProgress->SetOnMouseMove([this](QObject* sender, Qt::MouseButtons, Qt::KeyboardModifiers,
                                         int x, int y) { barSongProgressMouseMove(sender, x, y); });
  barSongProgress->SetOnMouseUp([this](QObject* sender, Qt::MouseButton b, Qt::KeyboardModifiers,
                                       int x, int y) { barSongProgressMouseUp(sender, b, x, y); });
  barVolume->SetOnMouseDown([this](QObject* sender, Qt::MouseButton b, Qt::KeyboardModifiers, int x,
                                   int y) { barVolumeMouseDown(sender, b, x, y); });
  barVolume->SetOnMouseMove([this](QObject* sender, Qt::MouseButtons, Qt::KeyboardModifiers, int x,
                                   int y) { barVolumeMouseMove(sender, x, y); });
  barVolume->SetOnMouseUp([this](QObject* sender, Qt::MouseButton b, Qt::KeyboardModifiers, int x,
                                 int y) { barVolumeMouseUp(sender, b, x, y); });
}

TformMain::~TformMain() = default;

// Names, keys and states as a screen reader tells them; the keys are the README's.
void TformMain::DescribeForAssistiveTechnology() {
  setAccessibleName("Brimtone");
  const auto describe = [](QWidget* control, const char* name, const char* description) {
    control->setAccessibleName(name);
    control->setAccessibleDescription(description);
  };
  describe(Prev, "Previous", "Key Z");
  describe(Play, "Play", "Key X");
  describe(Pause, "Pause", "Key C, again to go on; Space pauses or plays");
  describe(Stop, "Stop", "Key V");
  describe(Next, "Next", "Key B");
  describe(Eject, "Eject", "Add File; key L");
  describe(butnRepeat, "Repeat", "Chooses the repeat mode; key R steps through them");
  menuRepeat->setAccessibleName("Repeat");
  butnRepeat->SetAccessibleNameSource([this] {
    const QAction* mode = RepeatMode == 1   ? itemRepeatFile
                          : RepeatMode == 2 ? itemRepeatPlaylist
                                            : itemRepeatNone;
    return "Repeat: " + mode->text();
  });
  describe(butnShuffle, "Shuffle", "Key S");
  butnShuffle->SetCheckedSource([this] { return Shuffle; });
  describe(butnPlaylist, "Playlist", "Shows or hides the playlist; key P");
  butnPlaylist->SetCheckedSource([] { return ::PlaylistVisible; });
  describe(butnMinimize, "Minimize", "");
  describe(butnExit, "Exit", "Key Ctrl+Q");
  lablSongName->setAccessibleDescription("Drag to move the windows");
  lablTime->setAccessibleDescription("Click or key T: elapsed or remaining time");
  // The read-out changes every second while a song plays; a screen reader hears of it at most
  // that often.
  lablTime->SetNameChangeInterval(1000);

  describe(barVolume, "Volume", "Keys Up and Down, + and -");
  // Read as the value: "Volume 50 %".
  barVolume->SetPosTextPrefix("Volume ");
  barVolume->SetPosTextSuffix(" %");
  barVolume->SetValueStep(3277);
  barVolume->SetOnValueRequest([this](int value) { SetVolume(value); });
  describe(barSongProgress, "Progress", "Keys Left and Right, with Ctrl 30 s");
  barSongProgress->SetValueTextSource([this] {
    const int length = std::max(0, barSongProgress->Max());
    const int at = std::clamp(barSongProgress->Position(), 0, length);
    return ChangeToTime(at) + " of " + ChangeToTime(length);
  });
  barSongProgress->SetValueStep(5000);
  barSongProgress->SetOnValueRequest([this](int ms) { SeekTo(ms); });
}

void TformMain::SetPlaylistWindow(TformPlaylist* playlist) {
  if (formPlaylist_) {
    disconnect(formPlaylist_, nullptr, this, nullptr);
    formPlaylist_->boxPlaylist->removeEventFilter(this);
    formPlaylist_->boxPlaylist->viewport()->removeEventFilter(this);
  }
  DropLookAhead();
  formPlaylist_ = playlist;
  if (!playlist) return;
  connect(playlist, &TformPlaylist::playlistUpdated, this, [this] {
    ++listGeneration_;
    CheckLookAhead();
  });
  // The user's clicks and keys in the list may move its selection.
  playlist->boxPlaylist->installEventFilter(this);
  playlist->boxPlaylist->viewport()->installEventFilter(this);
}

bool TformMain::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::MouseButtonRelease || type == QEvent::KeyPress || type == QEvent::Wheel)
    QTimer::singleShot(0, this, &TformMain::CheckLookAhead);
  return QWidget::eventFilter(watched, event);
}

QString TformMain::ChangeToTime(int32_t ms) {
  return ::ChangeToTime(ms);
}

void TformMain::LoadImage(TImage* image, const QString& relativeName) {
  image->LoadFromSkin(relativeName);
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown
//
// FormCreate:
//  1. load the skin bitmaps   2. open settings.ini   3-4. place the window
//  5. volume   6. repeat mode   7. shuffle   8. time type   9. playlist visibility
//  10. release the settings   11. empty progress bar   12. application title
// A skin file that cannot be loaded ends the sequence there (the caller shows the error).

void TformMain::FormCreate() {
  // 1.
  LoadImage(imgMain, "\\skin\\main.bmp");
  LoadImage(Next, "\\skin\\next.bmp");
  LoadImage(Prev, "\\skin\\prev.bmp");
  LoadImage(Stop, "\\skin\\stop.bmp");
  LoadImage(Pause, "\\skin\\pause.bmp");
  LoadImage(Play, "\\skin\\play.bmp");
  LoadImage(Eject, "\\skin\\eject.bmp");
  // Straight into the bar's bitmap: no repaint until the bar's next paint.
  barSongProgress->BarBitmapObject() = LoadSkinBitmap("\\skin\\bar.bmp");
  LoadImage(butnExit, "\\skin\\exit.bmp");
  LoadImage(butnMinimize, "\\skin\\minimize.bmp");

  // 2.
  TIniFile settings(SettingsFileName());
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  // 3-4. The sum of the halves, not their difference: the window starts right of and below
  // the centre.
  QPoint pos(settings.ReadInteger("main", "left", screen.width() / 2 + kWidth / 2),
             settings.ReadInteger("main", "top", screen.height() / 2 + kHeight / 2));
  pos = PullIntoWorkArea(pos, QGuiApplication::primaryScreen()->availableGeometry(), size());
  MoveTo(pos);
  Know(ksPosition);
  // 5.
  barVolume->SetPosition(settings.ReadInteger("main", "volume", 32767));
  ApplyVolume();
  Know(ksVolume);
  // 6.
  RepeatMode = settings.ReadInteger("main", "repeat", 0);
  Know(ksRepeat);
  if (RepeatMode == 1)
    itemRepeatFile->setChecked(true);
  else if (RepeatMode == 2)
    itemRepeatPlaylist->setChecked(true);
  else
    itemRepeatNone->setChecked(true);
  LoadImage(butnRepeat, QStringLiteral("\\skin\\repeat%1.bmp").arg(RepeatMode));
  // 7.
  Shuffle = settings.ReadBool("main", "shuffle", false);
  Know(ksShuffle);
  LoadImage(butnShuffle, Shuffle ? "\\skin\\shuffle1.bmp" : "\\skin\\shuffle0.bmp");
  // 8. Stored negated, then the click handler flips it back and shows the empty read-out.
  TimeType = !settings.ReadBool("main", "timetype", false);
  lablTimeClick(this);
  Know(ksTimeType);
  // 9.
  ::PlaylistVisible = settings.ReadBool("playlist", "visible", true);
  Know(ksVisible);
  LoadImage(butnPlaylist, ::PlaylistVisible ? "\\skin\\playlist1.bmp" : "\\skin\\playlist0.bmp");
  // 10. (settings released at the end of the scope)
  // 11.
  barSongProgress->SetMax(0);
  // 12.
  SetApplicationTitle(lablSongName->text());
}

// Writes the settings this run knows (see known_); the others keep what the file holds. The
// playlist window's frame goes with the player's position: both are the designed ones when
// start-up never placed the windows.
void TformMain::FormDestroy() {
  // The playlist window's frame as it is now, before anything is destroyed.
  const QRect playlist = formPlaylist_ ? formPlaylist_->geometry() : QRect();
  TIniFile settings(SettingsFileName());
  // One commit: a refused write leaves the old file whole.
  settings.BeginUpdate();
  try {
    if (known_[ksPosition]) {
      settings.WriteInteger("main", "left", x());
      settings.WriteInteger("main", "top", y());
    }
    if (known_[ksRepeat]) settings.WriteInteger("main", "repeat", RepeatMode);
    if (known_[ksShuffle]) settings.WriteBool("main", "shuffle", Shuffle);
    if (known_[ksTimeType]) settings.WriteBool("main", "timetype", TimeType);
    if (known_[ksVolume]) settings.WriteInteger("main", "volume", barVolume->Position());
    if (formPlaylist_ && known_[ksPosition]) {
      settings.WriteInteger("playlist", "left", playlist.x());
      settings.WriteInteger("playlist", "top", playlist.y());
      settings.WriteInteger("playlist", "width", playlist.width());
      settings.WriteInteger("playlist", "height", playlist.height());
    }
    if (known_[ksVisible]) settings.WriteBool("playlist", "visible", ::PlaylistVisible);
  } catch (...) {
    settings.EndUpdate();
    throw;
  }
  settings.EndUpdate();
}

// ---------------------------------------------------------------------------------------------
// Transport

int TformMain::ListCount() const {
  return formPlaylist_ ? formPlaylist_->boxPlaylist->Count() : 0;
}

int TformMain::ListIndex() const {
  return formPlaylist_ ? formPlaylist_->boxPlaylist->ItemIndex() : -1;
}

void TformMain::SetListIndex(int index) {
  if (formPlaylist_) formPlaylist_->boxPlaylist->SetItemIndex(index);
}

void TformMain::SetTitle() {
  SetApplicationTitle(lablSongName->text() + " (" + ModeName(Mp3MediaPlayer->Mode()) + ")");
  emit StateChanged();
}

// PlayClick:
//  1. open the playlist file   2. empty list: nothing   3. no selection: select row 0, again
//  4. the selected entry's path; missing file: 5. skip forward (not on the last entry, not in
//     repeat-file mode), again   6. open, show, record the length, play   7. "Error" on failure
// Steps 3 and 5 loop here instead of calling PlayClick again, so a long run of missing files
// does not grow the stack.
void TformMain::PlayClick(QObject*) {
  const TPlaylistFile playlist;
  int skips = 0;
  int lastIndex = -2;
  for (;;) {
    // 2.
    const int count = ListCount();
    if (count == 0) return;
    // 3.
    const int index = ListIndex();
    if (index < 0) {
      SetListIndex(0);
      if (ListIndex() < 0) return;
      continue;
    }
    // 4.
    const int n = index + 1;
    if (IsExistingFile(playlist.EntryPath(n))) break;
    // 5.
    if (!(index < count - 1 && RepeatMode != 1)) return;
    // A repeat mode that selects nothing would loop for ever; shuffle may revisit entries, so
    // it gets a generous bound instead.
    const bool moved = index != lastIndex || Shuffle;
    if (!moved || ++skips > 64 * count + 64) return;
    lastIndex = index;
    ResumePosition = 0;
    Seeking = false;
    SelectNext();
    if (!Shuffle && ListIndex() == index) return;
  }

  const int n = ListIndex() + 1;
  // 6. Any error in here ends in the "Error" box; the steps after the failing one are skipped.
  // The device opens the song without holding up the windows; the steps after the open run
  // once it is open, as if this had waited (a click meanwhile may run, as it always could
  // while the list was refilled in step 6.10).
  DropLookAhead();
  lookAheadWanted_ = false;
  try {
    Mp3MediaPlayer->SetDeviceType(dtAutoSelect);
    Mp3MediaPlayer->SetFileName(playlist.EntryPath(n));
    Mp3MediaPlayer->Open([this, n](const QString& error) { PlayOpened(n, error); });
  } catch (const EBrimtoneError&) {
    // 7.
    Dialogs().ShowMessage("Error");
  }
}

void TformMain::PlayOpened(int n, const QString& error) {
  // 7.
  if (!error.isEmpty()) {
    Dialogs().ShowMessage("Error");
    return;
  }
  try {
    timeProgress->start();
    const int32_t length = Mp3MediaPlayer->Length();
    lablSongName->setText(TPlaylistFile::FileNamePart(Mp3MediaPlayer->FileName()) + " (" +
                          ChangeToTime(length) + ")");
    lablTime->setText(ChangeToTime(Mp3MediaPlayer->Position()));
    Paused = false;
    Mp3MediaPlayer->SetStartPosition(ResumePosition);
    barSongProgress->SetMax(length);
    bool recorded = false;
    try {
      recorded = TPlaylistFile().RecordLength(n, length);
    } catch (const EIniFileException&) {
      // A read-only playlist only loses the length; the song still plays.
    }
    if (recorded) {
      // Lets pending events run, as the list refill always did; a click or a notice handled
      // here may change the selection or the song, which the steps below take as they find.
      QCoreApplication::processEvents();
      if (formPlaylist_) formPlaylist_->UpdatePlaylist();
    }
    Mp3MediaPlayer->Play();
    Playing = true;
    emit SongStarted();
    SetTitle();
  } catch (const EBrimtoneError&) {
    Dialogs().ShowMessage("Error");
  }
}

void TformMain::StopClick(QObject*) {
  // A song still opening is called off: Stop wins over a Play not yet heard.
  Mp3MediaPlayer->CancelOpen();
  DropLookAhead();
  lookAheadWanted_ = false;
  if (Playing) {
    Mp3MediaPlayer->Stop();
    barSongProgress->SetMax(0);
    Playing = false;
    ResumePosition = 0;
    lablTime->setText(ChangeToTime(0));
  }
  SetTitle();
}

void TformMain::PauseClick(QObject*) {
  if (Playing && !Paused) {
    Mp3MediaPlayer->Pause();
    ResumePosition = static_cast<uint32_t>(std::max(0, Mp3MediaPlayer->Position()));
    Paused = true;
    LoadImage(Pause, "\\skin\\apause.bmp");
  } else if (Playing && Paused) {
    Mp3MediaPlayer->SetStartPosition(ResumePosition);
    Mp3MediaPlayer->Play();
    Paused = false;
    LoadImage(Pause, "\\skin\\pause.bmp");
  }
  SetTitle();
}

// NextClick's steps 2-3: which entry comes next.
void TformMain::SelectNext() {
  if (Shuffle) {
    // The pick drawn ahead for the look-ahead is the one that plays.
    const int count = ListCount();
    if (shufflePick_ && shufflePick_->count == count) {
      SetListIndex(std::exchange(shufflePick_, std::nullopt)->index);
      return;
    }
    shufflePick_.reset();
    shuffle_.ReseedFromClock();
    SetListIndex(shuffle_.Pick(count));
    return;
  }
  const int i = ListIndex(), c = ListCount();
  switch (RepeatMode) {
    case 0:
      if (i == c - 1)
        StopClick(this);
      else
        SetListIndex(i + 1);
      break;
    case 1:
      PlayClick(this);
      break;
    case 2:
      SetListIndex(i == c - 1 ? 0 : i + 1);
      break;
    default:
      break;
  }
}

void TformMain::NextClick(QObject* sender) {
  // 1.
  ResumePosition = 0;
  Seeking = false;
  // 2-3.
  SelectNext();
  // 4. A song still opening counts as playing: the newly chosen one replaces it.
  if (Playing || Mp3MediaPlayer->Opening()) PlayClick(sender);
}

void TformMain::PrevClick(QObject* sender) {
  ResumePosition = 0;
  if (Shuffle) {
    shuffle_.ReseedFromClock();
    SetListIndex(shuffle_.Pick(ListCount()));
  } else {
    const int i = ListIndex(), c = ListCount();
    switch (RepeatMode) {
      case 0:
        if (i != 0) SetListIndex(i - 1);
        break;
      case 1:
        PlayClick(sender);
        break;
      case 2:
        SetListIndex(i != 0 ? i - 1 : c - 1);
        break;
      default:
        break;
    }
  }
  if (Playing || Mp3MediaPlayer->Opening()) PlayClick(sender);
}

void TformMain::Mp3MediaPlayerNotify(QObject* sender) {
  Seeking = false;
  ResumePosition = 0;
  switch (Mp3MediaPlayer->NotifyResult()) {
    case nvSuccessful:
      Mp3MediaPlayer->SetPosition(0);
      lablTime->setText(ChangeToTime(Mp3MediaPlayer->Position()));
      if (RepeatMode == 0 || RepeatMode == 2)
        NextClick(sender);
      else if (RepeatMode == 1)
        PlayClick(sender);
      break;
    case nvFailure:
      Playing = false;
      emit StateChanged();
      break;
    default:
      break;
  }
}

void TformMain::butnRepeatClick(QObject*) {
  // Right-aligned: the menu's right edge at the button's top-left corner.
  const QPoint corner = mapToGlobal(butnRepeat->pos());
  const QSize menuSize = menuRepeat->sizeHint();
  PopupOnScreen(menuRepeat, QPoint(corner.x() - menuSize.width(), corner.y()));
}

void TformMain::menuRepeatPopup(QObject*) {
  LoadImage(butnRepeat, "\\skin\\repeat0.bmp");
}

void TformMain::itemRepeatFileClick(QObject*) {
  RepeatMode = 1;
  Know(ksRepeat);
  LoadImage(butnRepeat, "\\skin\\repeat1.bmp");
  emit StateChanged();
}

void TformMain::itemRepeatPlaylistClick(QObject*) {
  RepeatMode = 2;
  Know(ksRepeat);
  LoadImage(butnRepeat, "\\skin\\repeat2.bmp");
  emit StateChanged();
}

void TformMain::itemRepeatNoneClick(QObject*) {
  RepeatMode = 0;
  Know(ksRepeat);
  LoadImage(butnRepeat, "\\skin\\repeat0.bmp");
  emit StateChanged();
}

void TformMain::butnShuffleClick(QObject*) {
  Shuffle = !Shuffle;
  Know(ksShuffle);
  LoadImage(butnShuffle, Shuffle ? "\\skin\\shuffle1.bmp" : "\\skin\\shuffle0.bmp");
  emit StateChanged();
}

void TformMain::EjectClick(QObject*) {
  if (!formPlaylist_) return;
  const std::optional<QString> chosen = formPlaylist_->ExecuteOpenDialog();
  if (!chosen) return;
  if (!CanStoreInPlaylist(*chosen)) {  // as Add File: the file holds one line per key
    Dialogs().ShowMessage(UnstorableNamesMessage({*chosen}));
    return;
  }
  TPlaylistFile().AppendEntry(*chosen, TAppendOrder::FileFirst);
  formPlaylist_->UpdatePlaylist();
}

// ---------------------------------------------------------------------------------------------
// Gapless look-ahead

TLookAheadBasis TformMain::LookAheadBasis() const {
  return {RepeatMode, Shuffle, ListIndex(), ListCount(), listGeneration_};
}

// The end-of-song handling's choice, made now: Next by the repeat mode (a shuffle pick drawn
// now and kept for it), or the same entry in repeat-file mode, then Play's own checks. An
// entry whose file is missing would be skipped, which is not foreseen: nothing is queued then.
void TformMain::QueueLookAhead() {
  lookAheadTimer_->stop();
  if (!lookAheadWanted_ || !Playing || !Mp3MediaPlayer->IsOpen() || Mp3MediaPlayer->Opening())
    return;
  const TLookAheadBasis basis = LookAheadBasis();
  int pick = -1;
  if (basis.shuffle && (basis.repeatMode == 0 || basis.repeatMode == 2)) {
    if (!shufflePick_ || shufflePick_->count != basis.count) {
      shuffle_.ReseedFromClock();
      shufflePick_ = TShufflePick{shuffle_.Pick(basis.count), basis.count};
    }
    pick = shufflePick_->index;
  }
  lookAhead_ = basis;
  const int row = EndOfSongRow(basis.repeatMode, basis.shuffle, pick, basis.index, basis.count);
  if (row < 0) return;
  const QString path = TPlaylistFile().EntryPath(row + 1);
  if (IsExistingFile(path)) Mp3MediaPlayer->QueueNext(path);
}

void TformMain::DropLookAhead() {
  lookAheadTimer_->stop();
  lookAhead_.reset();
  shufflePick_.reset();
  Mp3MediaPlayer->DropNext();
}

void TformMain::CheckLookAhead() {
  if (!lookAhead_ || *lookAhead_ == LookAheadBasis()) return;
  DropLookAhead();
  if (lookAheadWanted_) lookAheadTimer_->start();
}

// ---------------------------------------------------------------------------------------------
// Time read-out and seeking

void TformMain::timeProgressTimer(QObject*) {
  CheckLookAhead();
  // Nothing to show while dragging, or with no song open (after a failed open).
  if (Seeking || !Mp3MediaPlayer->IsOpen()) return;
  barSongProgress->SetPosition(Mp3MediaPlayer->Position());
  if (!TimeType) {
    lablTime->setText(ChangeToTime(Mp3MediaPlayer->Position()));
  } else {
    const int32_t length = Mp3MediaPlayer->Length();
    const int32_t remaining = std::max(0, length - Mp3MediaPlayer->Position());
    lablTime->setText("-" + ChangeToTime(remaining));
  }
}

void TformMain::lablTimeClick(QObject* sender) {
  TimeType = !TimeType;
  Know(ksTimeType);
  if (Playing)
    timeProgressTimer(sender);
  else
    lablTime->setText(TimeType ? "-0:00" : "0:00");
}

void TformMain::SetSeekBarFromX(int x) {
  const int width = barSongProgress->width();
  if (width <= 0) return;
  const int64_t value = static_cast<int64_t>(barSongProgress->Max()) * x / width;
  if (value < barSongProgress->Min() || value > barSongProgress->Max()) return;
  barSongProgress->SetPosition(static_cast<int32_t>(value));
}

void TformMain::barSongProgressMouseDown(QObject*, Qt::MouseButton button, int x, int) {
  if (!Playing || Seeking) return;
  Mp3MediaPlayer->Pause();
  Seeking = true;
  seekButton_ = button;
  SetSeekBarFromX(x);
}

void TformMain::barSongProgressMouseMove(QObject*, int x, int) {
  if (Seeking) SetSeekBarFromX(x);
}

void TformMain::barSongProgressMouseUp(QObject*, Qt::MouseButton button, int x, int) {
  // The seek ends with the release of the button that started it, wherever the pointer is.
  if (!Seeking || button != seekButton_) return;
  Seeking = false;
  seekButton_ = Qt::NoButton;
  SetSeekBarFromX(x);
  CommitSeek(barSongProgress->Position());
}

void TformMain::CommitSeek(int32_t target) {
  DropLookAhead();
  Mp3MediaPlayer->SetPosition(target);
  Mp3MediaPlayer->SetStartPosition(target);
  Mp3MediaPlayer->Play();
  emit Seeked(target);
}

void TformMain::SeekTo(int32_t ms) {
  // A drag in progress owns the bar.
  if (!Playing || Seeking) return;
  const int32_t target = std::clamp(ms, 0, std::max(0, barSongProgress->Max()));
  barSongProgress->SetPosition(target);
  if (!Paused) {
    CommitSeek(target);
    return;
  }
  DropLookAhead();
  Mp3MediaPlayer->SetPosition(target);
  ResumePosition = static_cast<uint32_t>(target);
  emit Seeked(target);
}

// ---------------------------------------------------------------------------------------------
// Volume: value = x * Max / 100 (the bar's designed width); the bar ignores values out of range;
// whatever it then holds goes to both channels.

void TformMain::ApplyVolumeX(int x) {
  const int64_t value = static_cast<int64_t>(x) * barVolume->Max() / 100;
  if (value >= barVolume->Min() && value <= barVolume->Max())
    barVolume->SetPosition(static_cast<int32_t>(value));
  ApplyVolume();
  Know(ksVolume);
}

void TformMain::ApplyVolume() {
  const uint32_t p = static_cast<uint32_t>(barVolume->Position()) & 0xFFFFu;
  SetOutputVolume(p + p * 65536u);
  emit StateChanged();
}

void TformMain::SetVolume(int32_t value) {
  barVolume->SetPosition(std::clamp(value, barVolume->Min(), barVolume->Max()));
  ApplyVolume();
  Know(ksVolume);
}

void TformMain::barVolumeMouseDown(QObject*, Qt::MouseButton, int x, int) {
  VolumeDragging = true;
  ApplyVolumeX(x);
}

void TformMain::barVolumeMouseMove(QObject*, int x, int) {
  if (VolumeDragging) ApplyVolumeX(x);
}

void TformMain::barVolumeMouseUp(QObject*, Qt::MouseButton, int x, int) {
  VolumeDragging = false;
  ApplyVolumeX(x);
}

// ---------------------------------------------------------------------------------------------
// Chrome

void TformMain::ChangeImageDown(TImage* sender) {
  LoadImage(sender, "\\skin\\a" + sender->objectName() + ".bmp");
}

void TformMain::ChangeImageUp(TImage* sender) {
  LoadImage(sender, "\\skin\\" + sender->objectName() + ".bmp");
}

void TformMain::imgMainMouseDown(QObject*, Qt::MouseButton button) {
  if (button != Qt::LeftButton) return;
  // Our own move loop: every step goes through SetPlayerPosition, so snapping and docking see
  // the position before the window gets there.
  dragging_ = true;
  dragOffset_ = QCursor::pos() - pos();
  lablSongName->releaseMouse();
  grabMouse();
}

void TformMain::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) {
    SetPlayerPosition(event->globalPosition().toPoint() - dragOffset_);
    return;
  }
  QWidget::mouseMoveEvent(event);
}

void TformMain::mouseReleaseEvent(QMouseEvent* event) {
  if (dragging_ && event->button() == Qt::LeftButton) {
    dragging_ = false;
    releaseMouse();
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

void TformMain::SetPlayerPosition(QPoint proposed) {
  if (positioning_) return;
  positioning_ = true;
  const QRect workArea = QGuiApplication::primaryScreen()->availableGeometry();
  MoveTo(SnapPosition(proposed, workArea, size()));
  DockPlaylist();
  Know(ksPosition);
  positioning_ = false;
}

void TformMain::MoveTo(QPoint position) {
  placedAt_ = position;
  move(position);
}

// Moves made by the window manager or any other tool go through SetPlayerPosition too, so the
// playlist window stays docked. Our own moves are known by where they put the window; an
// outside move that snapping answers is not answered twice, so a window manager that insists
// on its place cannot start a tug of war.
void TformMain::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  const QPoint now = pos();
  if (positioning_ || now == placedAt_) return;
  if (now == lastForeignMove_) {
    placedAt_ = now;
    DockPlaylist();
    return;
  }
  lastForeignMove_ = now;
  // A window manager placing the window is no choice of the user's: after a start that never
  // read the saved position, such a move does not make it one to save.
  const bool positionKnown = known_[ksPosition];
  SetPlayerPosition(now);
  known_[ksPosition] = positionKnown;
}

void TformMain::DockPlaylist() {
  if (formPlaylist_) formPlaylist_->move(x(), y() + height());
}

QRect TformMain::PlayerGeometry() const {
  return QRect(pos(), size());
}

void TformMain::FollowPlaylist(QPoint playerTopLeft, bool snap) {
  if (snap) {
    SetPlayerPosition(playerTopLeft);
    return;
  }
  MoveTo(playerTopLeft);
  DockPlaylist();
  Know(ksPosition);
}

void TformMain::SetSongLabel(const QString& text) {
  lablSongName->setText(text);
}

void TformMain::butnPlaylistClick(QObject*) {
  Know(ksVisible);
  if (::PlaylistVisible) {
    ::PlaylistVisible = false;
    if (formPlaylist_) formPlaylist_->hide();
    LoadImage(butnPlaylist, "\\skin\\playlist0.bmp");
  } else {
    ::PlaylistVisible = true;
    if (formPlaylist_) {
      DockPlaylist();
      formPlaylist_->show();
      formPlaylist_->raise();
    }
    LoadImage(butnPlaylist, "\\skin\\playlist1.bmp");
  }
}

void TformMain::butnMinimizeClick(QObject*) {
  showMinimized();
}

void TformMain::butnExitClick(QObject*) {
  QApplication::quit();
}

void TformMain::closeEvent(QCloseEvent* event) {
  // Closing the player window from the desktop ends the program like the exit button.
  event->ignore();
  QApplication::quit();
}

void TformMain::changeEvent(QEvent* event) {
  // The playlist window leaves the screen and comes back with the player.
  if (event->type() == QEvent::WindowStateChange && formPlaylist_) {
    if (isMinimized())
      formPlaylist_->hide();
    else if (::PlaylistVisible)
      formPlaylist_->show();
  }
  QWidget::changeEvent(event);
}
