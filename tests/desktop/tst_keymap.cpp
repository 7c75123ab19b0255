// The key map's rules on modifiers and windows, and the wheel's notch counting: plain
// functions, no window. (What each key does to the windows: tst_desktopinput.)
#include <QtTest>

#include "desktop/keymap.h"
#include "desktop/wheelsteps.h"

Q_DECLARE_METATYPE(TKeyAction)
Q_DECLARE_METATYPE(TKeyWindow)

class TestKeyMap : public QObject {
  Q_OBJECT
 private slots:
  void keys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("mods");
    QTest::addColumn<TKeyWindow>("window");
    QTest::addColumn<TKeyAction>("action");
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const auto player = TKeyWindow::Player, list = TKeyWindow::Playlist;
    using A = TKeyAction;
    QTest::newRow("Shift does not change a letter")
        << int(Qt::Key_Z) << Qt::KeyboardModifiers(Qt::ShiftModifier) << player << A::Previous;
    QTest::newRow("Ctrl+Z is not ours")
        << int(Qt::Key_Z) << Qt::KeyboardModifiers(Qt::ControlModifier) << player << A::None;
    QTest::newRow("Alt+X is not ours")
        << int(Qt::Key_X) << Qt::KeyboardModifiers(Qt::AltModifier) << player << A::None;
    QTest::newRow("Ctrl+Left 30 s")
        << int(Qt::Key_Left) << Qt::KeyboardModifiers(Qt::ControlModifier) << list << A::SeekBack30;
    QTest::newRow("Ctrl+Right 30 s")
        << int(Qt::Key_Right) << Qt::KeyboardModifiers(Qt::ControlModifier) << player
        << A::SeekForward30;
    QTest::newRow("Up: the list's own") << int(Qt::Key_Up) << none << list << A::None;
    QTest::newRow("Down: the list's own") << int(Qt::Key_Down) << none << list << A::None;
    QTest::newRow("PgDn: the list's own") << int(Qt::Key_PageDown) << none << list << A::None;
    QTest::newRow("Home: the list's own") << int(Qt::Key_Home) << none << list << A::None;
    QTest::newRow("+ in the list") << int(Qt::Key_Plus) << none << list << A::VolumeUp;
    QTest::newRow("+ typed with Shift")
        << int(Qt::Key_Plus) << Qt::KeyboardModifiers(Qt::ShiftModifier) << player << A::VolumeUp;
    QTest::newRow("keypad +") << int(Qt::Key_Plus) << Qt::KeyboardModifiers(Qt::KeypadModifier)
                              << player << A::VolumeUp;
    QTest::newRow("= (unshifted +)") << int(Qt::Key_Equal) << none << player << A::VolumeUp;
    QTest::newRow("Shift+L add directory")
        << int(Qt::Key_L) << Qt::KeyboardModifiers(Qt::ShiftModifier) << list << A::AddDirectory;
    QTest::newRow("Ctrl+Q quit") << int(Qt::Key_Q) << Qt::KeyboardModifiers(Qt::ControlModifier)
                                 << player << A::Quit;
    QTest::newRow("Q alone is nothing") << int(Qt::Key_Q) << none << player << A::None;
    QTest::newRow("Ctrl+Shift+Q is nothing")
        << int(Qt::Key_Q) << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier)
        << player << A::None;
    QTest::newRow("keypad Enter plays the row")
        << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier) << list
        << A::PlaySelected;
    QTest::newRow("Enter in the player is nothing")
        << int(Qt::Key_Return) << none << player << A::None;
    QTest::newRow("Delete in the player is nothing")
        << int(Qt::Key_Delete) << none << player << A::None;
    QTest::newRow("an unmapped letter") << int(Qt::Key_A) << none << player << A::None;
  }
  void keys() {
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, mods);
    QFETCH(TKeyWindow, window);
    QFETCH(TKeyAction, action);
    QCOMPARE(KeyAction(key, mods, window), action);
  }

  void wheelNotches_data() {
    QTest::addColumn<QList<int>>("deltas");
    QTest::addColumn<QList<int>>("notches");  // returned after each delta
    QTest::newRow("one mouse notch up") << QList<int>{120} << QList<int>{1};
    QTest::newRow("one mouse notch down") << QList<int>{-120} << QList<int>{-1};
    QTest::newRow("two notches at once") << QList<int>{240} << QList<int>{2};
    QTest::newRow("touchpad halves") << QList<int>{60, 60, 60} << QList<int>{0, 1, 0};
    QTest::newRow("touchpad small steps")
        << QList<int>{40, 40, 40, 40, 40, 40} << QList<int>{0, 0, 1, 0, 0, 1};
    QTest::newRow("odd sizes carry their rest") << QList<int>{100, 100, 100} << QList<int>{0, 1, 1};
    QTest::newRow("a turn back drops the rest")
        << QList<int>{100, -20, -100} << QList<int>{0, 0, -1};
    QTest::newRow("down in small steps")
        << QList<int>{-30, -30, -30, -30} << QList<int>{0, 0, 0, -1};
    QTest::newRow("zero changes nothing") << QList<int>{60, 0, 60} << QList<int>{0, 0, 1};
  }
  void wheelNotches() {
    QFETCH(QList<int>, deltas);
    QFETCH(QList<int>, notches);
    TWheelSteps steps;
    QList<int> got;
    for (int delta : deltas) got << steps.Add(delta);
    QCOMPARE(got, notches);
  }
};

QTEST_APPLESS_MAIN(TestKeyMap)
#include "tst_keymap.moc"
