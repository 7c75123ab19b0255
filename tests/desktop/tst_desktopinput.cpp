// Keys and the wheel over the real windows (scripted engine): each key reaches the handler
// its button calls, in whichever window has it, and the list keeps its own keys.
#include <QtTest>

#include "controls/dtlistbox.h"
#include "platform/inifile.h"
#include "playlist/browseforfolder.h"
#include "windowsrig.h"

namespace {

// The setups a case starts from.
void Setup(TWindowsRig& rig, const QString& setup) {
  if (setup == "stopped") return;
  rig.PlayRow(1);  // the second song
  rig.fake->SetPosition(60000);
  if (setup == "paused") rig.main->PauseClick(nullptr);
  if (setup == "near the start") rig.fake->SetPosition(3000);
  if (setup == "near the end") rig.fake->SetPosition(220000);
  if (setup == "loud") rig.main->SetVolume(64000);
  if (setup == "quiet") rig.main->SetVolume(1000);
}

QString StateText(TformMain& main) {
  return !main.Playing ? "stopped" : main.Paused ? "paused" : "playing";
}

// One observable quantity, as text.
QString Observe(TWindowsRig& rig, const QString& what) {
  if (what == "state") return StateText(*rig.main);
  if (what == "repeat") return QString::number(rig.main->RepeatMode);
  if (what == "repeat item")
    return rig.main->itemRepeatFile->isChecked()       ? "file"
           : rig.main->itemRepeatPlaylist->isChecked() ? "playlist"
                                                       : "none";
  if (what == "shuffle") return rig.main->Shuffle ? "on" : "off";
  if (what == "volume") return QString::number(rig.main->barVolume->Position());
  if (what == "position") return QString::number(rig.main->Mp3MediaPlayer->Position());
  if (what == "row") return QString::number(rig.Row());
  if (what == "rows") return QString::number(rig.playlist->boxPlaylist->Count());
  if (what == "playing song")
    return rig.fake->OpenFileName().section('/', -1) + " " + StateText(*rig.main);
  if (what == "time") return rig.main->lablTime->text();
  if (what == "playlist shown") return ::PlaylistVisible ? "yes" : "no";
  if (what == "open dialogs") return QString::number(rig.dialogs->openFileInitialDirs.size());
  return "?";
}

QWidget* Target(TWindowsRig& rig, const QString& where) {
  if (where == "player") return rig.main.get();
  if (where == "player label") return rig.main->lablSongName;
  if (where == "seek bar") return rig.main->barSongProgress;
  if (where == "volume bar") return rig.main->barVolume;
  if (where == "list") return rig.playlist->boxPlaylist;
  return rig.playlist.get();
}

void SendWheel(QWidget* widget, int delta) {
  const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
  QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(widget, &event);
}

}  // namespace

class TestDesktopInput : public QObject {
  Q_OBJECT
 private slots:
  void keys_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("where");  // the widget that has the key
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    QTest::addColumn<int>("presses");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("expected");
    const int none = Qt::NoModifier, ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
    QTest::newRow("X plays the selected row")
        << "stopped"
        << "player" << int(Qt::Key_X) << none << 1 << "playing song"
        << "1.mp3 playing";
    QTest::newRow("C pauses") << "playing"
                              << "player" << int(Qt::Key_C) << none << 1 << "state"
                              << "paused";
    QTest::newRow("C twice goes on") << "playing"
                                     << "list" << int(Qt::Key_C) << none << 2 << "state"
                                     << "playing";
    QTest::newRow("V stops") << "playing"
                             << "list" << int(Qt::Key_V) << none << 1 << "state"
                             << "stopped";
    QTest::newRow("B plays the next song")
        << "playing"
        << "player label" << int(Qt::Key_B) << none << 1 << "playing song"
        << "3.mp3 playing";
    QTest::newRow("Z plays the previous song")
        << "playing"
        << "player" << int(Qt::Key_Z) << none << 1 << "playing song"
        << "1.mp3 playing";
    QTest::newRow("B when stopped only selects") << "stopped"
                                                 << "player" << int(Qt::Key_B) << none << 1 << "row"
                                                 << "1";
    QTest::newRow("Space plays when stopped")
        << "stopped"
        << "list" << int(Qt::Key_Space) << none << 1 << "state"
        << "playing";
    QTest::newRow("Space pauses a playing song")
        << "playing"
        << "player" << int(Qt::Key_Space) << none << 1 << "state"
        << "paused";
    QTest::newRow("Space goes on from a pause")
        << "paused"
        << "player" << int(Qt::Key_Space) << none << 1 << "state"
        << "playing";
    QTest::newRow("Left: 5 s back") << "playing"
                                    << "player" << int(Qt::Key_Left) << none << 1 << "position"
                                    << "55000";
    QTest::newRow("Right: 5 s on") << "playing"
                                   << "list" << int(Qt::Key_Right) << none << 1 << "position"
                                   << "65000";
    QTest::newRow("Ctrl+Left: 30 s back")
        << "playing"
        << "player" << int(Qt::Key_Left) << ctrl << 1 << "position"
        << "30000";
    QTest::newRow("Ctrl+Right twice: 60 s on")
        << "playing"
        << "player" << int(Qt::Key_Right) << ctrl << 2 << "position"
        << "120000";
    QTest::newRow("Left stops at the start")
        << "near the start"
        << "player" << int(Qt::Key_Left) << none << 1 << "position"
        << "0";
    QTest::newRow("Right stops at the end")
        << "near the end"
        << "player" << int(Qt::Key_Right) << ctrl << 1 << "position"
        << "225000";
    QTest::newRow("Left when stopped seeks nothing")
        << "stopped"
        << "player" << int(Qt::Key_Left) << none << 1 << "position"
        << "0";
    QTest::newRow("a seek keeps a pause") << "paused"
                                          << "player" << int(Qt::Key_Right) << none << 1 << "state"
                                          << "paused";
    QTest::newRow("Up: 5 % louder") << "stopped"
                                    << "player" << int(Qt::Key_Up) << none << 1 << "volume"
                                    << "36044";
    QTest::newRow("Down: 5 % quieter") << "stopped"
                                       << "player" << int(Qt::Key_Down) << none << 2 << "volume"
                                       << "26213";
    QTest::newRow("+ in the list") << "stopped"
                                   << "list" << int(Qt::Key_Plus) << shift << 1 << "volume"
                                   << "36044";
    QTest::newRow("- in the list") << "stopped"
                                   << "list" << int(Qt::Key_Minus) << none << 1 << "volume"
                                   << "29490";
    QTest::newRow("louder stops at the top") << "loud"
                                             << "player" << int(Qt::Key_Up) << none << 3 << "volume"
                                             << "65535";
    QTest::newRow("quieter stops at zero") << "quiet"
                                           << "player" << int(Qt::Key_Down) << none << 1 << "volume"
                                           << "0";
    QTest::newRow("Down in the list moves the selection")
        << "stopped"
        << "list" << int(Qt::Key_Down) << none << 2 << "row"
        << "2";
    QTest::newRow("Down in the list leaves the volume")
        << "stopped"
        << "list" << int(Qt::Key_Down) << none << 1 << "volume"
        << "32767";
    QTest::newRow("R: repeat file") << "stopped"
                                    << "player" << int(Qt::Key_R) << none << 1 << "repeat"
                                    << "1";
    QTest::newRow("R twice: repeat playlist") << "stopped"
                                              << "list" << int(Qt::Key_R) << none << 2 << "repeat"
                                              << "2";
    QTest::newRow("R three times: none again")
        << "stopped"
        << "player" << int(Qt::Key_R) << none << 3 << "repeat"
        << "0";
    QTest::newRow("R checks the menu item")
        << "stopped"
        << "player" << int(Qt::Key_R) << none << 2 << "repeat item"
        << "playlist";
    QTest::newRow("S: shuffle on") << "stopped"
                                   << "player" << int(Qt::Key_S) << none << 1 << "shuffle"
                                   << "on";
    QTest::newRow("S twice: off") << "stopped"
                                  << "list" << int(Qt::Key_S) << none << 2 << "shuffle"
                                  << "off";
    QTest::newRow("T: remaining time") << "stopped"
                                       << "player" << int(Qt::Key_T) << none << 1 << "time"
                                       << "-0:00";
    QTest::newRow("P hides the playlist")
        << "stopped"
        << "player" << int(Qt::Key_P) << none << 1 << "playlist shown"
        << "no";
    QTest::newRow("P twice shows it") << "stopped"
                                      << "list" << int(Qt::Key_P) << none << 2 << "playlist shown"
                                      << "yes";
    QTest::newRow("L asks for a file") << "stopped"
                                       << "player" << int(Qt::Key_L) << none << 1 << "open dialogs"
                                       << "1";
    QTest::newRow("Enter plays the selected row")
        << "stopped"
        << "list" << int(Qt::Key_Return) << none << 1 << "playing song"
        << "1.mp3 playing";
    QTest::newRow("Home in the list is the list's own")
        << "playing"
        << "list" << int(Qt::Key_Home) << none << 1 << "row"
        << "0";
    QTest::newRow("Delete removes the selected row")
        << "stopped"
        << "list" << int(Qt::Key_Delete) << none << 1 << "rows"
        << "2";
    QTest::newRow("Delete in the player removes nothing")
        << "stopped"
        << "player" << int(Qt::Key_Delete) << none << 1 << "rows"
        << "3";
  }
  void keys() {
    QFETCH(QString, setup);
    QFETCH(QString, where);
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(int, presses);
    QFETCH(QString, what);
    QFETCH(QString, expected);
    TWindowsRig rig(3);
    Setup(rig, setup);
    QWidget* target = Target(rig, where);
    for (int i = 0; i < presses; ++i)
      QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(mods));
    QCOMPARE(Observe(rig, what), expected);
  }

  void enterPlaysTheRowAfterHomeKey() {
    TWindowsRig rig(3);
    Setup(rig, "playing");
    QTest::keyClick(rig.playlist->boxPlaylist, Qt::Key_Home);
    QTest::keyClick(rig.playlist->boxPlaylist, Qt::Key_Return);
    QCOMPARE(Observe(rig, "playing song"), QStringLiteral("1.mp3 playing"));
  }

  void shiftLAsksForAFolder() {
    TWindowsRig rig(1);
    int asked = 0;
    rig.dialogs->dialogAnswers.push_back([&](QDialog&) {
      ++asked;
      return int(QDialog::Rejected);
    });
    QTest::keyClick(rig.main.get(), Qt::Key_L, Qt::ShiftModifier);
    QCOMPARE(asked, 1);
    QCOMPARE(rig.dialogs->openFileInitialDirs.size(), 0);
  }

  void autoRepeat_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("expected");
    QTest::newRow("held Up keeps stepping") << int(Qt::Key_Up) << "volume"
                                            << "39321";
    QTest::newRow("held R does not cycle") << int(Qt::Key_R) << "repeat"
                                           << "1";
    QTest::newRow("held P does not flicker") << int(Qt::Key_P) << "playlist shown"
                                             << "no";
  }
  void autoRepeat() {
    QFETCH(int, key);
    QFETCH(QString, what);
    QFETCH(QString, expected);
    TWindowsRig rig(3);
    QKeyEvent first(QEvent::KeyPress, key, Qt::NoModifier, QString(), false);
    QApplication::sendEvent(rig.main.get(), &first);
    QKeyEvent repeated(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(rig.main.get(), &repeated);
    QCOMPARE(Observe(rig, what), expected);
  }

  void volumeKeysAreSavedAtExit() {
    TWindowsRig rig(1);
    QTest::keyClick(rig.main.get(), Qt::Key_Up);
    rig.main->FormDestroy();
    QCOMPARE(TIniFile(rig.dir.File("settings.ini")).ReadInteger("main", "volume", -1), 36044);
  }

  void wheel_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<QList<int>>("deltas");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one notch up over the player") << "player" << QList<int>{120} << "volume"
                                                  << "36044";
    QTest::newRow("one notch down over a label") << "player label" << QList<int>{-120} << "volume"
                                                 << "29490";
    QTest::newRow("over the volume bar") << "volume bar" << QList<int>{240} << "volume"
                                         << "39321";
    QTest::newRow("touchpad: half a notch does nothing") << "player" << QList<int>{60} << "volume"
                                                         << "32767";
    QTest::newRow("touchpad: two halves make a notch") << "player" << QList<int>{60, 60} << "volume"
                                                       << "36044";
    QTest::newRow("over the progress bar it seeks") << "seek bar" << QList<int>{120} << "position"
                                                    << "65000";
    QTest::newRow("seeking back two notches") << "seek bar" << QList<int>{-120, -120} << "position"
                                              << "50000";
    QTest::newRow("over the progress bar the volume stays")
        << "seek bar" << QList<int>{120} << "volume"
        << "32767";
    QTest::newRow("over the list the volume stays") << "list" << QList<int>{120, 120} << "volume"
                                                    << "32767";
  }
  void wheel() {
    QFETCH(QString, where);
    QFETCH(QList<int>, deltas);
    QFETCH(QString, what);
    QFETCH(QString, expected);
    TWindowsRig rig(3);
    Setup(rig, "playing");
    for (int delta : deltas) SendWheel(Target(rig, where), delta);
    QCOMPARE(Observe(rig, what), expected);
  }

  void keysOfOtherWindowsAreLeftAlone() {
    TWindowsRig rig(3);
    QWidget other;
    other.show();
    QTest::keyClick(&other, Qt::Key_R);
    QTest::keyClick(&other, Qt::Key_Up);
    QCOMPARE(rig.main->RepeatMode, 0);
    QCOMPARE(rig.main->barVolume->Position(), 32767);
  }
};

QTEST_MAIN(TestDesktopInput)
#include "tst_desktopinput.moc"
