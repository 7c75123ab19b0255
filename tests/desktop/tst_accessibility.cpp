// What a screen reader is told of both windows, through QAccessible in process (the real
// windows on the scripted engine): every control's role, name, value text, states and actions;
// its actions and values reaching the handlers a click or a drag runs; the changes it hears of;
// and the song search the J key opens.
#include <QAccessible>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QtTest>

#include "app/accessibility.h"
#include "controls/dtlistbox.h"
#include "playlist/searchwindow.h"
#include "windowsrig.h"

namespace {

// What the update handler was given: the events are gone once it returns.
struct THeard {
  QAccessible::Event type;
  QObject* object;
  QAccessibleInterface* iface;
};
QList<THeard> events;

void Listen(QAccessibleEvent* event) {
  events.append({event->type(), event->object(), event->accessibleInterface()});
}

// "Play", "row 2", "Add/Add File": a control by object name, a list row, a menu's item.
QAccessibleInterface* Find(TWindowsRig& rig, const QString& what) {
  if (what.startsWith("row "))
    return QAccessible::queryAccessibleInterface(rig.playlist->boxPlaylist)
        ->child(what.mid(4).toInt());
  if (what.contains('/')) {
    auto* button = rig.playlist->findChild<QWidget*>("butn" + what.section('/', 0, 0));
    QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(button)->child(0);
    for (int i = 0; i < menu->childCount(); ++i)
      if (menu->child(i)->text(QAccessible::Name) == what.section('/', 1)) return menu->child(i);
    return nullptr;
  }
  if (what == "formMain") return QAccessible::queryAccessibleInterface(rig.main.get());
  if (what == "formPlaylist") return QAccessible::queryAccessibleInterface(rig.playlist.get());
  QObject* object = rig.main->findChild<QObject*>(what);
  if (!object) object = rig.playlist->findChild<QObject*>(what);
  return QAccessible::queryAccessibleInterface(object);
}

// The steps before a row's check: "playing" (row 1 at 83 s), "paused", "shuffle", "repeat 1",
// "repeat 2", "hidden" (the playlist), "stopped".
void Prepare(TWindowsRig& rig, const QString& setup) {
  TformMain& main = *rig.main;
  for (const QString& step : setup.split(',', Qt::SkipEmptyParts)) {
    if (step == "playing" || step == "paused") {
      rig.PlayRow(1);
      rig.fake->SetPosition(83000);
      main.timeProgressTimer(nullptr);
      if (step == "paused") main.PauseClick(nullptr);
    } else if (step == "shuffle") {
      main.butnShuffleClick(nullptr);
    } else if (step == "repeat 1") {
      main.itemRepeatFileClick(nullptr);
    } else if (step == "repeat 2") {
      main.itemRepeatPlaylistClick(nullptr);
    } else if (step == "hidden") {
      main.butnPlaylistClick(nullptr);
    }
  }
}

QString States(QAccessible::State state) {
  QStringList on;
  if (state.checkable) on << "checkable";
  if (state.checked) on << "checked";
  if (state.selected) on << "selected";
  if (state.disabled) on << "disabled";
  if (state.hasPopup) on << "popup";
  if (state.readOnly) on << "read-only";
  return on.join(' ');
}

}  // namespace

class TestAccessibility : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    InstallAccessibility();
    // Active once Qt has reached the accessibility bus; from then on the changes told come
    // here instead.
    QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 15000);
    QAccessible::installUpdateHandler(Listen);
  }
  void init() { events.clear(); }

  void controls_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");  // text(Value), with the numbers for a slider
    QTest::addColumn<QString>("states");
    QTest::addColumn<QString>("actions");
    const auto row = [](const char* tag, const char* control, const char* setup,
                        QAccessible::Role role, const char* name, const char* value,
                        const char* states, const char* actions) {
      QTest::newRow(tag) << QString(control) << QString(setup) << int(role) << QString(name)
                         << QString(value) << QString(states) << QString(actions);
    };
    const auto button = QAccessible::Button;
    row("player window", "formMain", "", QAccessible::Window, "Brimtone", "", "", "");
    row("playlist window", "formPlaylist", "", QAccessible::Window, "Playlist", "", "", "");
    row("the skin behind: no button", "imgMain", "", QAccessible::Whitespace, "", "", "", "");
    row("previous", "Prev", "", button, "Previous", "", "", "Press");
    row("play", "Play", "", button, "Play", "", "", "Press");
    row("pause", "Pause", "", button, "Pause", "", "", "Press");
    row("stop", "Stop", "", button, "Stop", "", "", "Press");
    row("next", "Next", "", button, "Next", "", "", "Press");
    row("eject", "Eject", "", button, "Eject", "", "", "Press");
    row("repeat: none", "butnRepeat", "", button, "Repeat: No Repeating", "", "", "Press");
    row("repeat: file", "butnRepeat", "repeat 1", button, "Repeat: Repeat File", "", "", "Press");
    row("repeat: playlist", "butnRepeat", "repeat 2", button, "Repeat: Repeat Playlist", "", "",
        "Press");
    row("shuffle off", "butnShuffle", "", button, "Shuffle", "", "checkable", "Press");
    row("shuffle on", "butnShuffle", "shuffle", button, "Shuffle", "", "checkable checked",
        "Press");
    row("playlist shown", "butnPlaylist", "", button, "Playlist", "", "checkable checked", "Press");
    row("playlist hidden", "butnPlaylist", "hidden", button, "Playlist", "", "checkable", "Press");
    row("minimize", "butnMinimize", "", button, "Minimize", "", "", "Press");
    row("exit", "butnExit", "", button, "Exit", "", "", "Press");
    row("title: the first row at start", "lablSongName", "", QAccessible::StaticText,
        "1. 1.mp3 (0:00)", "", "", "");
    row("title: the song playing", "lablSongName", "playing", QAccessible::StaticText,
        "2.mp3 (3:45)", "", "", "");
    row("read-out", "lablTime", "playing", QAccessible::StaticText, "1:23", "", "", "");
    row("volume", "barVolume", "", QAccessible::Slider, "Volume", "Volume 50 % 32767 0..65535", "",
        "");
    row("progress: no song", "barSongProgress", "", QAccessible::Slider, "Progress",
        "0:00 of 0:00 0 0..0", "", "");
    row("progress: playing", "barSongProgress", "playing", QAccessible::Slider, "Progress",
        "1:23 of 3:45 83000 0..225000", "", "");
    // Stop empties the bar; what is left of the position is no value.
    row("progress: stopped after playing", "barSongProgress", "playing,stopped",
        QAccessible::Slider, "Progress", "0:00 of 0:00 0 0..0", "", "");
    row("list", "boxPlaylist", "", QAccessible::List, "Songs", "", "", "SetFocus");
    row("row 0: selected at start", "row 0", "", QAccessible::ListItem, "1. 1.mp3 (0:00)", "",
        "selected", "Press");
    row("row 1: selected when played", "row 1", "playing", QAccessible::ListItem, "2. 2.mp3 (3:45)",
        "", "selected", "Press");
    row("row 2", "row 2", "", QAccessible::ListItem, "3. 3.mp3 (0:00)", "", "", "Press");
    row("add: a menu button", "butnAdd", "", QAccessible::ButtonMenu, "Add", "", "popup", "Press");
    row("delete: a menu button", "butnDelete", "", QAccessible::ButtonMenu, "Delete", "", "popup",
        "Press");
    row("add file item", "Add/Add File", "", QAccessible::MenuItem, "Add File", "", "", "Press");
    row("delete missing: disabled", "Delete/Delete Missing", "", QAccessible::MenuItem,
        "Delete Missing", "", "disabled", "");
  }
  void controls() {
    QFETCH(QString, control);
    QFETCH(QString, setup);
    QFETCH(int, role);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QString, states);
    QFETCH(QString, actions);
    TWindowsRig rig(3);
    Prepare(rig, setup);
    if (setup.endsWith("stopped")) rig.main->StopClick(nullptr);
    QAccessibleInterface* iface = Find(rig, control);
    QVERIFY(iface && iface->isValid());
    QCOMPARE(int(iface->role()), role);
    QCOMPARE(iface->text(QAccessible::Name), name);
    if (QAccessibleValueInterface* slider = iface->valueInterface()) {
      QCOMPARE(QStringLiteral("%1 %2 %3..%4")
                   .arg(iface->text(QAccessible::Value))
                   .arg(slider->currentValue().toInt())
                   .arg(slider->minimumValue().toInt())
                   .arg(slider->maximumValue().toInt()),
               value);
    }
    QCOMPARE(States(iface->state()), states);
    QStringList names =
        iface->actionInterface() ? iface->actionInterface()->actionNames() : QStringList();
    QCOMPARE(names.join(','), actions);
  }

  void actions_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("request");  // an action's name, or "value=<n>"
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* tag, const char* setup, const char* control,
                        const char* request, const char* expected) {
      QTest::newRow(tag) << QString(setup) << QString(control) << QString(request)
                         << QString(expected);
    };
    row("play plays the selected row", "", "Play", "Press", "song=1.mp3");
    row("pause pauses", "playing", "Pause", "Press", "state=paused");
    row("pause again goes on", "paused", "Pause", "Press", "state=playing");
    row("stop stops", "playing", "Stop", "Press", "state=stopped");
    row("next plays the next row", "playing", "Next", "Press", "song=3.mp3");
    row("previous plays the row before", "playing", "Prev", "Press", "song=1.mp3");
    row("shuffle toggles", "", "butnShuffle", "Press", "shuffle=1");
    row("playlist hides the playlist", "", "butnPlaylist", "Press", "shown=0");
    row("repeat opens its menu", "", "butnRepeat", "Press", "menu=1");
    row("add opens its menu", "", "butnAdd", "Press", "menu=1");
    row("eject asks for a file", "", "Eject", "Press", "asked=1");
    row("add file asks for a file", "", "Add/Add File", "Press", "asked=1");
    row("delete selected deletes", "", "Delete/Delete Selected", "Press", "rows=2");
    row("a row plays", "", "row 2", "Press", "song=3.mp3");
    row("a row while another plays", "playing", "row 0", "Press", "stops=1");
    row("volume: the value set", "", "barVolume", "value=13107", "volume=13107");
    row("volume: above the top is the top", "", "barVolume", "value=70000", "volume=65535");
    row("volume: saved at exit", "", "barVolume", "value=13107", "saved=13107");
    row("progress: a seek", "playing", "barSongProgress", "value=120000", "position=120000");
    row("progress: nothing without a song", "", "barSongProgress", "value=120000", "position=0");
  }
  void actions() {
    QFETCH(QString, setup);
    QFETCH(QString, control);
    QFETCH(QString, request);
    QFETCH(QString, expected);
    TWindowsRig rig(3);
    Prepare(rig, setup);
    const int stopsBefore = rig.fake->stopCount;
    QAccessibleInterface* iface = Find(rig, control);
    QVERIFY(iface);
    if (request.startsWith("value="))
      iface->valueInterface()->setCurrentValue(request.mid(6).toInt());
    else
      iface->actionInterface()->doAction(request);
    // Requests run once the caller was answered, from the event loop.
    QCoreApplication::processEvents();
    TformMain& main = *rig.main;
    auto* menu =
        qobject_cast<QMenu*>(control == "butnAdd" ? rig.playlist->menuAdd : main.menuRepeat);
    const bool menuShown = menu->isVisible();
    menu->hide();
    QString saved;
    if (expected.startsWith("saved")) {
      main.FormDestroy();
      saved = QString::fromLatin1(rig.dir.Read("settings.ini"))
                  .section("volume=", 1)
                  .section('\n', 0, 0)
                  .trimmed();
    }
    const QMap<QString, QString> seen{
        {"state", !main.Playing ? "stopped"
                  : main.Paused ? "paused"
                                : "playing"},
        {"song", rig.fake->OpenFileName().section('/', -1)},
        {"shuffle", QString::number(main.Shuffle)},
        {"shown", QString::number(rig.playlist->isVisible())},
        {"menu", QString::number(menuShown)},
        {"asked", QString::number(rig.dialogs->openFileInitialDirs.size())},
        {"rows", QString::number(rig.playlist->boxPlaylist->Count())},
        {"stops", QString::number(rig.fake->stopCount - stopsBefore)},
        {"volume", QString::number(main.barVolume->Position())},
        {"saved", saved},
        {"position", QString::number(main.Mp3MediaPlayer->Position())}};
    const QString what = expected.section('=', 0, 0);
    QCOMPARE(what + '=' + seen.value(what), expected);
  }

  // Changes a screen reader hears of, at the control that changed.
  void changes_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("event");
    QTest::newRow("shuffle: its state") << "shuffle"
                                        << "butnShuffle" << int(QAccessible::StateChanged);
    QTest::newRow("repeat: its name") << "repeat 1"
                                      << "butnRepeat" << int(QAccessible::NameChanged);
    QTest::newRow("volume: its value") << "volume"
                                       << "barVolume" << int(QAccessible::ValueChanged);
    QTest::newRow("a song: the title") << "playing"
                                       << "lablSongName" << int(QAccessible::NameChanged);
    QTest::newRow("a song: the read-out") << "playing"
                                          << "lablTime" << int(QAccessible::NameChanged);
    QTest::newRow("Down in the list: the row") << "down"
                                               << "row 1" << int(QAccessible::Selection);
  }
  void changes() {
    QFETCH(QString, change);
    QFETCH(QString, control);
    QFETCH(int, event);
    TWindowsRig rig(3);
    rig.playlist->show();
    rig.playlist->boxPlaylist->setFocus();
    QAccessibleInterface* target = Find(rig, control);
    events.clear();
    if (change == "volume")
      rig.control->SetVolume(1000);
    else if (change == "down")
      QTest::keyClick(rig.playlist->boxPlaylist, Qt::Key_Down);
    else
      Prepare(rig, change);
    const bool told = std::any_of(events.cbegin(), events.cend(), [&](const THeard& e) {
      return e.type == event && e.iface == target;
    });
    QVERIFY(told);
  }

  // The read-out changes every second while playing; it is told at most once an interval,
  // its last text always.
  void readOutToldAtIntervals() {
    TWindowsRig rig(1);
    TLabel* readOut = rig.main->lablTime;
    readOut->SetNameChangeInterval(200);
    events.clear();
    for (const char* time : {"0:01", "0:02", "0:03"}) readOut->setText(time);
    const auto told = [&] {
      QStringList names;
      for (const THeard& e : events)
        if (e.type == QAccessible::NameChanged && e.object == readOut)
          names << readOut->accessibleName();
      return names.size();
    };
    QCOMPARE(told(), 1);
    QCOMPARE(readOut->accessibleName(), QString("0:01"));
    QTRY_COMPARE(told(), 2);
    QCOMPARE(readOut->accessibleName(), QString("0:03"));
    QCOMPARE(QAccessible::queryAccessibleInterface(readOut)->text(QAccessible::Name),
             QString("0:03"));
  }

  // J opens the search; typing narrows, the keys choose, Enter plays as a double-click on the
  // selected row does and closes; Esc closes.
  void search_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("keys");  // U(p), D(own), E(nter), X (Esc)
    QTest::addColumn<QString>("expected");
    QTest::newRow("one match, Enter") << "2.mp3"
                                      << "E"
                                      << "song=2.mp3 open=0";
    QTest::newRow("all rows, Down twice") << ""
                                          << "DDE"
                                          << "song=3.mp3 open=0";
    QTest::newRow("Up stops at the first") << "mp3"
                                           << "UUE"
                                           << "song=1.mp3 open=0";
    QTest::newRow("no match: Enter does nothing") << "zzz"
                                                  << "E"
                                                  << "song= open=1";
    QTest::newRow("Esc closes") << "3"
                                << "X"
                                << "song= open=0";
  }
  void search() {
    QFETCH(QString, typed);
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    TWindowsRig rig(3);
    rig.main->show();
    QTest::keyClick(rig.main.get(), Qt::Key_J);
    auto* window = rig.main->findChild<TSearchWindow*>();
    QVERIFY(window && window->isVisible());
    QTest::keyClicks(window->editQuery, typed);
    for (QChar key : keys) {
      const Qt::Key which = key == 'U'   ? Qt::Key_Up
                            : key == 'D' ? Qt::Key_Down
                            : key == 'E' ? Qt::Key_Return
                                         : Qt::Key_Escape;
      QTest::keyClick(window->editQuery, which);
    }
    const QString song = rig.main->Playing ? rig.fake->OpenFileName().section('/', -1) : "";
    QCOMPARE(QStringLiteral("song=%1 open=%2").arg(song).arg(window->isVisible()), expected);
  }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
