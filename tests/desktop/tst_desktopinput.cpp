// Keys and the wheel over the real windows (scripted engine): they reach the handler the
// buttons call, in whichever window has them, and the list keeps its own keys.
#include <QtTest>

#include "controls/dtlistbox.h"
#include "windowsrig.h"

class TestDesktopInput : public QObject {
  Q_OBJECT
 private slots:
  void keysAndWheel_data() {
    QTest::addColumn<int>("setup");         // -1 stopped, else the position of a playing song
    QTest::addColumn<QString>("where");     // player, label, seek bar or list
    QTest::addColumn<int>("key");           // 0: the wheel
    QTest::addColumn<int>("mods");          // the modifiers; for the wheel, its delta
    QTest::addColumn<int>("presses");       // fewer than 0: held, so repeated
    QTest::addColumn<QString>("expected");  // what=value
    const auto row = [](const char* name, int setup, const char* where, int key, int mods,
                        int presses, const char* expected) {
      QTest::newRow(name) << setup << QString(where) << key << mods << presses << QString(expected);
    };
    const int none = Qt::NoModifier, ctrl = Qt::ControlModifier;
    row("X plays the selected row", -1, "player", Qt::Key_X, none, 1, "song=1.mp3");
    row("C twice pauses and goes on", 60000, "list", Qt::Key_C, none, 2, "state=playing");
    row("B plays the next song", 60000, "label", Qt::Key_B, none, 1, "song=3.mp3");
    row("Ctrl+Right twice: 60 s on", 60000, "list", Qt::Key_Right, ctrl, 2, "position=120000");
    row("Right stops at the end", 220000, "player", Qt::Key_Right, ctrl, 1, "position=225000");
    row("Down: never below zero", -1, "player", Qt::Key_Down, none, 11, "volume=0");
    row("Down in the list moves the selection", -1, "list", Qt::Key_Down, none, 2, "row=2");
    row("Delete removes the selected row", -1, "list", Qt::Key_Delete, none, 1, "rows=2");
    row("Ctrl+X is not ours", -1, "player", Qt::Key_X, ctrl, 1, "state=stopped");
    row("held Up keeps stepping", -1, "player", Qt::Key_Up, none, -2, "volume=39321");
    row("held R does not cycle", -1, "player", Qt::Key_R, none, -2, "repeat=1");
    row("wheel: a notch down over a label", -1, "label", 0, -120, 1, "volume=29490");
    row("wheel: touchpad halves", -1, "player", 0, 60, 2, "volume=36044");
    row("wheel over the progress bar seeks", 60000, "seek bar", 0, -120, 2, "position=50000");
    row("wheel over the list: no volume", 60000, "list", 0, 120, 1, "volume=32767");
  }
  void keysAndWheel() {
    QFETCH(int, setup);
    QFETCH(QString, where);
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(int, presses);
    QFETCH(QString, expected);
    TWindowsRig rig(3);
    if (setup >= 0) {  // the second song playing
      rig.PlayRow(1);
      rig.fake->SetPosition(setup);
    }
    TformMain& main = *rig.main;
    QWidget* target = where == "player"     ? &main
                      : where == "label"    ? main.lablSongName
                      : where == "seek bar" ? main.barSongProgress
                                            : static_cast<QWidget*>(rig.playlist->boxPlaylist);
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    for (int i = 0; i < qAbs(presses); ++i) {
      QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, mods), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QKeyEvent held(QEvent::KeyPress, key, Qt::KeyboardModifiers(mods), QString(), i > 0);
      if (key == 0)
        QApplication::sendEvent(target, &wheel);
      else if (presses < 0)
        QApplication::sendEvent(target, &held);
      else
        QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(mods));
    }
    const QMap<QString, QString> seen{
        {"state", !main.Playing ? "stopped"
                  : main.Paused ? "paused"
                                : "playing"},
        {"song", rig.fake->OpenFileName().section('/', -1)},
        {"repeat", QString::number(main.RepeatMode)},
        {"volume", QString::number(main.barVolume->Position())},
        {"position", QString::number(main.Mp3MediaPlayer->Position())},
        {"row", QString::number(rig.playlist->boxPlaylist->ItemIndex())},
        {"rows", QString::number(rig.playlist->boxPlaylist->Count())}};
    const QString what = expected.section('=', 0, 0);
    QCOMPARE(what + '=' + seen.value(what), expected);
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
