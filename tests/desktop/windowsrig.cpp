#include "windowsrig.h"

#include "controls/dtlistbox.h"
#include "platform/apptitle.h"

TWindowsRig::TWindowsRig(int songs) {
  QByteArray text = "[playlist]\n";
  for (int n = 1; n <= songs; ++n) {
    dir.Write("music/" + QString::number(n) + ".mp3", "");
    text += QStringLiteral("File%1=%2\nTitle%1=%1.mp3\n").arg(n).arg(Song(n)).toUtf8();
  }
  dir.Write("lastplay.dat",
            text + "NumberOfEntries=" + QByteArray::number(songs) + "\nVersion=2\n");
  ::TimeType = false;
  ::PlaylistVisible = true;
  auto engine = std::make_unique<TFakeAudioEngine>();
  fake = engine.get();
  main = std::make_unique<TformMain>(std::move(engine));
  SetTitleWindow(main.get());
  main->FormCreate();
  playlist = std::make_unique<TformPlaylist>(main.get(), main.get());
  main->SetPlaylistWindow(playlist.get());
  playlist->FormCreate();
  control = std::make_unique<TWindowsAdapter>(main.get(), playlist.get());
  input =
      std::make_unique<TInputFilter>(*control, main.get(), playlist.get(), main->barSongProgress);
  qApp->installEventFilter(input.get());
}

TWindowsRig::~TWindowsRig() {
  qApp->removeEventFilter(input.get());
  input.reset();
  control.reset();
  SetTitleWindow(nullptr);
  main->SetPlaylistWindow(nullptr);
  playlist.reset();
  main.reset();
}

QString TWindowsRig::Song(int n) const {
  return dir.Path() + "music/" + QString::number(n) + ".mp3";
}

void TWindowsRig::PlayRow(int row) {
  playlist->boxPlaylist->SetItemIndex(row);
  main->PlayClick(nullptr);
}
