// Keys and the wheel over the real windows (scripted engine): they reach the handler the
// buttons call, in whichever window has them, and the list keeps its own keys.
#include <QtTest>

#include "controls/dtlistbox.h"
#include "windowsrig.h"

namespace {

constexpr int kWheel = 0;  // in the key column: a turn of the wheel

// One observable quantity, as text.
QString Observe(TWindowsRig& rig, const QString& what) {
  const TformMain& main = *rig.main;
  if (what == "state") return !main.Playing ? "stopped" : main.Paused ? "paused" : "playing";
  if (what == "song") return rig.fake->OpenFileName().section('/', -1);
  if (what == "repeat")
    return QString::number(main.RepeatMode) +
           (main.itemRepeatPlaylist->isChecked() ? " checked" : "");
  if (what == "volume") return QString::number(main.barVolume->Position());
  if (what == "position") return QString::number(main.Mp3MediaPlayer->Position());
  if (what == "row") return QString::number(rig.playlist->boxPlaylist->ItemIndex());
  if (what == "rows") return QString::number(rig.playlist->boxPlaylist->Count());
  if (what == "playlist shown") return ::PlaylistVisible ? "yes" : "no";
  if (what == "open dialogs") return QString::number(rig.dialogs->openFileInitialDirs.size());
  return "?";
}

QWidget* Target(TWindowsRig& rig, const QString& where) {
  if (where == "player") return rig.main.get();
  if (where == "label") return rig.main->lablSongName;
  if (where == "seek bar") return rig.main->barSongProgress;
  if (where == "volume bar") return rig.main->barVolume;
  return rig.playlist->boxPlaylist;
}

}  // namespace

class TestDesktopInput : public QObject {
  Q_OBJECT
 private slots:
  void keysAndWheel_data() {
    QTest::addColumn<int>("setup");      // -1 stopped, else the position of a playing song
    QTest::addColumn<QString>("where");  // the widget that has the key
    QTest::addColumn<int>("key");        // kWheel: the wheel
    QTest::addColumn<int>("mods");       // the modifiers; for the wheel, its delta
    QTest::addColumn<int>("presses");    // fewer than 0: held, so repeated
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, int setup, const char* where, int key, int mods,
                        int presses, const char* what, const char* expected) {
      QTest::newRow(name) << setup << QString(where) << key << mods << presses << QString(what)
                          << QString(expected);
    };
    const int none = Qt::NoModifier, ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
    row("X plays the selected row", -1, "player", Qt::Key_X, none, 1, "song", "1.mp3");
    row("C twice pauses and goes on", 60000, "list", Qt::Key_C, none, 2, "state", "playing");
    row("V stops", 60000, "list", Qt::Key_V, none, 1, "state", "stopped");
    row("B plays the next song", 60000, "label", Qt::Key_B, none, 1, "song", "3.mp3");
    row("Left: 5 s back", 60000, "player", Qt::Key_Left, none, 1, "position", "55000");
    row("Ctrl+Right twice: 60 s on", 60000, "list", Qt::Key_Right, ctrl, 2, "position", "120000");
    row("Right stops at the end", 220000, "player", Qt::Key_Right, ctrl, 1, "position", "225000");
    row("Up: 5 % louder", -1, "player", Qt::Key_Up, none, 1, "volume", "36044");
    row("+ in the list", -1, "list", Qt::Key_Plus, shift, 1, "volume", "36044");
    row("Down: quieter, never below zero", -1, "player", Qt::Key_Down, none, 11, "volume", "0");
    row("Down in the list moves the selection", -1, "list", Qt::Key_Down, none, 2, "row", "2");
    row("R twice: repeat playlist, checked", -1, "list", Qt::Key_R, none, 2, "repeat", "2 checked");
    row("P hides the playlist", -1, "player", Qt::Key_P, none, 1, "playlist shown", "no");
    row("L asks for a file", -1, "list", Qt::Key_L, none, 1, "open dialogs", "1");
    row("Enter plays the selected row", -1, "list", Qt::Key_Return, none, 1, "song", "1.mp3");
    row("Delete removes the selected row", -1, "list", Qt::Key_Delete, none, 1, "rows", "2");
    row("Ctrl+X is not ours", -1, "player", Qt::Key_X, ctrl, 1, "state", "stopped");
    row("= is +", -1, "player", Qt::Key_Equal, none, 1, "volume", "36044");
    row("held Up keeps stepping", -1, "player", Qt::Key_Up, none, -2, "volume", "39321");
    row("held R does not cycle", -1, "player", Qt::Key_R, none, -2, "repeat", "1");
    row("Delete in the player removes nothing", -1, "player", Qt::Key_Delete, none, 1, "rows", "3");
    row("wheel: a notch down over a label", -1, "label", kWheel, -120, 1, "volume", "29490");
    row("wheel over the volume bar", -1, "volume bar", kWheel, 240, 1, "volume", "39321");
    row("wheel: touchpad halves", -1, "player", kWheel, 60, 2, "volume", "36044");
    row("wheel over the progress bar seeks", 60000, "seek bar", kWheel, -120, 2, "position",
        "50000");
    row("wheel over the list: no volume", 60000, "list", kWheel, 120, 1, "volume", "32767");
  }
  void keysAndWheel() {
    QFETCH(int, setup);
    QFETCH(QString, where);
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(int, presses);
    QFETCH(QString, what);
    QFETCH(QString, expected);
    TWindowsRig rig(3);
    if (setup >= 0) {  // the second song playing
      rig.PlayRow(1);
      rig.fake->SetPosition(setup);
    }
    QWidget* target = Target(rig, where);
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    for (int i = 0; i < qAbs(presses); ++i) {
      QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, mods), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QKeyEvent held(QEvent::KeyPress, key, Qt::KeyboardModifiers(mods), QString(), i > 0);
      if (key == kWheel)
        QApplication::sendEvent(target, &wheel);
      else if (presses < 0)
        QApplication::sendEvent(target, &held);
      else
        QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(mods));
    }
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
