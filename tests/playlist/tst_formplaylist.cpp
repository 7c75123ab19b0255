// The playlist window through its real controls: creation, refills, the editing commands
// (dialogs answered through the seam), click-to-play and files dropped as real drop events.
#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "controls/dtlistbox.h"
#include "controls/image.h"
#include "platform/errors.h"
#include "platform/fonts.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "platform/skinscale.h"
#include "playlist/browseforfolder.h"
#include "playlist/folderdialog.h"
#include "playlist/formplaylist.h"
#include "playlist/playerlink.h"
#include "playlist/playlistfile.h"
#include "playlist/speedbutton.h"
#include "support/fakedialogs.h"
#include "support/tempprogramdir.h"

namespace {

// The player window as the playlist sees it: a real top-level widget that records calls.
class TFakePlayer : public QWidget, public TPlayerLink {
 public:
  TFakePlayer() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    setGeometry(120, 80, 344, 116);
  }
  bool playing = false;
  bool visibleList = true;
  QStringList calls;
  QString songLabel = "No Song Playing";

  bool IsPlaying() const override { return playing; }
  void PlayClick(QObject* sender) override {
    calls << "Play " + sender->objectName();
    playing = true;
  }
  void StopClick(QObject* sender) override {
    calls << "Stop " + sender->objectName();
    playing = false;
  }
  QRect PlayerGeometry() const override { return geometry(); }
  void FollowPlaylist(QPoint, bool) override {}  // a fake player window stays put
  void SetSongLabel(const QString& text) override { songLabel = text; }
  bool IsPlaylistVisible() const override { return visibleList; }
};

QStringList Rows(const TformPlaylist& form) {
  QStringList rows;
  for (int i = 0; i < form.boxPlaylist->Count(); ++i) rows << form.boxPlaylist->Items().at(i);
  return rows;
}

// A playlist file with songs named by the given titles (paths under /music).
QByteArray PlaylistText(const QStringList& titles, int version = 2) {
  QByteArray text = "[playlist]\n";
  for (int i = 0; i < titles.size(); ++i) {
    text += QString("File%1=/music/%2\nTitle%1=%2\n").arg(i + 1).arg(titles[i]).toUtf8();
  }
  text += QString("NumberOfEntries=%1\nVersion=%2\n").arg(titles.size()).arg(version).toUtf8();
  return text;
}

QString ReadSetting(const QString& key) {
  return TIniFile(SettingsFileName()).ReadString("main", key, "<none>");
}

void Touch(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) qFatal("cannot create %s", qPrintable(path));
}

std::function<int(QDialog&)> ChooseFolder(const QString& path) {
  return [path](QDialog& d) {
    auto& dialog = static_cast<TFolderDialog&>(d);
    dialog.SelectPath(path);
    dialog.PressOk();
    return dialog.result();
  };
}

// Sends a drag and a drop of urls onto target, as a file manager's drop arrives.
bool Drop(QWidget* target, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  const QPointF at(target->width() / 2, target->height() / 2);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

QList<QUrl> Files(const QStringList& paths) {
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  return urls;
}

}  // namespace

class TestFormPlaylist : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();

  void DesignedControls();
  void CreationFillsDocksAndShows_data();
  void CreationFillsDocksAndShows();
  void CreationWithUnusableFile_data();
  void CreationWithUnusableFile();
  void MissingSkinFileSkipsTheRest_data();
  void MissingSkinFileSkipsTheRest();
  void SkinIsDrawn();
  void CaptionsMagnifiedWhenScaled_data();
  void CaptionsMagnifiedWhenScaled();

  void DamagedFileStartsUnchanged_data();
  void DamagedFileStartsUnchanged();

  void RefillKeepsSelection_data();
  void RefillKeepsSelection();
  void RefillOfUnusableFileReportsAndKeepsRows_data();
  void RefillOfUnusableFileReportsAndKeepsRows();
  void RefillShowsEveryChange_data();
  void RefillShowsEveryChange();
  void RefreshRowsKeepsViewAndClicks();
  void MenusOpenUnderTheirButtons();

  void AddFile_data();
  void AddFile();
  void AddFileStartsInLastDir_data();
  void AddFileStartsInLastDir();
  void AddFileWithLineBreakWritesNothing();
  void AddDirectoryAppendsInNameOrder();
  void AddDirectoryEqualsAppendingOneByOne();
  void AddDirectoryStartsInLastDir_data();
  void AddDirectoryStartsInLastDir();
  void AddDirectoryCancelWritesNothing();
  void AddDirectoryWithoutSongsOrPlaylist();
  void AddDirectoryToReadOnlyPlaylist();
  void AddDirectorySkipsUnstorableNamesOnce();
  void AddDirectoryOfManyFiles();

  void DeleteSelected_data();
  void DeleteSelected();
  void DeletePlaylist_data();
  void DeletePlaylist();
  void DeletePlaylistThatCannotBeDeleted();
  void PlaylistShortenedByAnotherProgram();
  void PlaylistDeletedByAnotherProgram();

  void ClickToPlay_data();
  void ClickToPlay();
  void ClicksThroughTheList();
  void TimerResetsTheDetector();

  void Drops_data();
  void Drops();
  void DropOnPlayerWindowIsHandledOnce();
  void DropRefillsOnce();
  void DropEqualsAppendingOneByOne_data();
  void DropEqualsAppendingOneByOne();
  void NonFileDragIsRefused();
  void DropOnReadOnlyPlaylistStopsAtTheFailingFile();

 private:
  std::unique_ptr<TTempProgramDir> dir_;
  std::unique_ptr<TFakeDialogsScope> fake_;
  std::unique_ptr<TFakePlayer> player_;
  std::unique_ptr<QTemporaryDir> music_;
  TformPlaylist* form_ = nullptr;  // owned by the player window

  TformPlaylist& Create() {
    form_ = new TformPlaylist(player_.get());
    form_->FormCreate();
    return *form_;
  }
  QString Playlist() const { return dir_->File("lastplay.dat"); }
};

void TestFormPlaylist::init() {
  dir_ = std::make_unique<TTempProgramDir>();
  fake_ = std::make_unique<TFakeDialogsScope>();
  player_ = std::make_unique<TFakePlayer>();
  music_ = std::make_unique<QTemporaryDir>();
  form_ = nullptr;
}

void TestFormPlaylist::cleanup() {
  player_.reset();  // takes the playlist window with it
  form_ = nullptr;
  fake_.reset();
  dir_.reset();
  music_.reset();
}

void TestFormPlaylist::DesignedControls() {
  TformPlaylist& form = Create();
  QCOMPARE(form.parentWidget(), player_.get());
  QVERIFY(form.windowFlags() & Qt::Tool);
  QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
  QCOMPARE(form.size(), QSize(344, 116));
  QCOMPARE(form.butnAdd->text(), QString("Add"));
  QCOMPARE(form.butnAdd->geometry(), QRect(4, 94, 57, 17));
  QCOMPARE(form.butnDelete->text(), QString("Delete"));
  QCOMPARE(form.butnDelete->geometry(), QRect(68, 94, 57, 17));
  QCOMPARE(form.boxPlaylist->geometry(), QRect(4, 4, 336, 86));
  QCOMPARE(form.imgMain->geometry(), QRect(0, 0, 344, 116));

  QStringList addItems, deleteItems;
  for (QAction* a : form.menuAdd->actions()) addItems << a->text();
  for (QAction* a : form.menuDelete->actions())
    deleteItems << a->text() + (a->isEnabled() ? "" : " (disabled)");
  QCOMPARE(addItems, (QStringList{"Add Directory", "Add File"}));
  QCOMPARE(deleteItems,
           (QStringList{"Delete Missing (disabled)", "Delete Playlist", "Delete Selected"}));

  QCOMPARE(form.dlgOpen.Filter, QString("Mp3 Files (*.mp3);;All Files (*)"));
  QCOMPARE(form.dlgOpen.DefaultExt, QString("mp3"));
  QVERIFY(form.dlgBrowse->NewDialogStyle());
  QVERIFY(!form.dlgBrowse->EditBox());
  QVERIFY(form.dlgBrowse->Title().isEmpty());
  QCOMPARE(form.timeDblClick->interval(), 2000);
  QVERIFY(!form.timeDblClick->isActive());
  // The controls stack as designed, the list in front.
  const QObjectList children = form.children();
  QVERIFY(children.indexOf(form.imgMain) < children.indexOf(form.butnAdd));
  QVERIFY(children.indexOf(form.butnDelete) < children.indexOf(form.boxPlaylist));
}

void TestFormPlaylist::CreationFillsDocksAndShows_data() {
  QTest::addColumn<bool>("visible");
  QTest::newRow("shown") << true;
  QTest::newRow("hidden") << false;
}

void TestFormPlaylist::CreationFillsDocksAndShows() {
  QFETCH(bool, visible);
  dir_->Write("lastplay.dat", PlaylistText({"Blue.mp3", "Red.mp3"}) + "Length1=215\n");
  player_->visibleList = visible;
  player_->setGeometry(200, 150, 360, 116);
  TformPlaylist& form = Create();
  QCOMPARE(Rows(form), (QStringList{"1. Blue.mp3 (3:35)", "2. Red.mp3 (0:00)"}));
  QCOMPARE(form.boxPlaylist->ItemIndex(), 0);
  QCOMPARE(player_->songLabel, QString("1. Blue.mp3 (3:35)"));
  QCOMPARE(form.pos(), QPoint(200, 266));
  QCOMPARE(form.width(), 360);
  QCOMPARE(form.height(), 116);
  QCOMPARE(form.isVisible(), visible);
  QVERIFY((*fake_)->messages.isEmpty());
  // Right after start-up row 0 counts as clicked once.
  QCOMPARE(form.DblClickDetector().RememberedIndex(), 0);
}

void TestFormPlaylist::CreationWithUnusableFile_data() {
  QTest::addColumn<QByteArray>("content");  // "<none>": no file
  QTest::newRow("no file") << QByteArray("<none>");
  QTest::newRow("version 1") << PlaylistText({"a.mp3"}, 1);
  QTest::newRow("no entries") << PlaylistText({});
  QTest::newRow("no entry count") << QByteArray("[playlist]\nVersion=2\nFile1=/a.mp3\n");
  QTest::newRow("garbage") << QByteArray("\x00\xff[[[=\n=\n", 9);
}

void TestFormPlaylist::CreationWithUnusableFile() {
  QFETCH(QByteArray, content);
  if (content != "<none>") dir_->Write("lastplay.dat", content);
  TformPlaylist& form = Create();
  QCOMPARE(form.boxPlaylist->Count(), 0);
  QCOMPARE(player_->songLabel, QString("No Song Playing"));
  QVERIFY((*fake_)->messages.isEmpty());
  QVERIFY(form.isVisible());
}

void TestFormPlaylist::DamagedFileStartsUnchanged_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<int>("rows");
  QTest::addColumn<QString>("first");
  QByteArray garbage(1 << 20, Qt::Uninitialized);
  for (qsizetype i = 0; i < garbage.size(); ++i) garbage[i] = char((i * 2654435761u) >> 13);
  QTest::newRow("two billion entries counted")
      << PlaylistText({"a.mp3", "b.mp3"}).replace("NumberOfEntries=2", "NumberOfEntries=2000000000")
      << 2 << "1. a.mp3 (0:00)";
  QTest::newRow("a title of 20 MB")
      << "[playlist]\nVersion=2\nNumberOfEntries=1\nTitle1=" + QByteArray(20 << 20, 't') + "\n"
      << 1 << "1. " + QString(20 << 20, 't') + " (0:00)";
  QTest::newRow("garbage after a good section")
      << PlaylistText({"a.mp3"}) + garbage << 1 << "1. a.mp3 (0:00)";
}

// A damaged playlist file is shown as far as it makes sense and stays as it is.
void TestFormPlaylist::DamagedFileStartsUnchanged() {
  QFETCH(QByteArray, content);
  QFETCH(int, rows);
  QFETCH(QString, first);
  dir_->Write("lastplay.dat", content);
  TformPlaylist& form = Create();
  form.UpdatePlaylist();
  QCOMPARE(form.boxPlaylist->Count(), rows);
  QCOMPARE(form.boxPlaylist->Items().constFirst(), first);
  QCOMPARE(player_->songLabel, first);
  QVERIFY(dir_->Read("lastplay.dat") == content);
}

void TestFormPlaylist::MissingSkinFileSkipsTheRest_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<bool>("corrupt");  // present but not a bitmap
  QTest::addColumn<bool>("docked");
  QTest::newRow("main.bmp missing") << "main.bmp" << false << false;
  QTest::newRow("main.bmp not a bitmap") << "main.bmp" << true << false;
  QTest::newRow("playlist.bmp missing") << "playlist.bmp" << false << true;
}

void TestFormPlaylist::MissingSkinFileSkipsTheRest() {
  QFETCH(QString, file);
  QFETCH(bool, corrupt);
  QFETCH(bool, docked);
  dir_->Write("lastplay.dat", PlaylistText({"Blue.mp3"}));
  if (corrupt)
    dir_->Write("skin/" + file, "BM not really");
  else
    QVERIFY(QFile::remove(dir_->File("skin/" + file)));

  form_ = new TformPlaylist(player_.get());
  QString error;
  try {
    form_->FormCreate();
  } catch (const EBrimtoneError& e) {
    error = e.Message();
  }
  if (corrupt)
    QCOMPARE(error, QString("Bitmap image is not valid"));
  else
    QVERIFY2(error.startsWith("Cannot open file \"" + dir_->File("skin/" + file) + "\". "),
             qPrintable(error));
  QCOMPARE(form_->boxPlaylist->Count(), 0);
  QCOMPARE(player_->songLabel, QString("No Song Playing"));
  QCOMPARE(form_->isVisible(), docked);
  QCOMPARE(form_->pos() == QPoint(120, 196), docked);
  // The drop hook came first, so drops still reach the list.
  const QString song = music_->filePath("late.mp3");
  QVERIFY(Drop(form_, Files({song})));
  QCOMPARE(TPlaylistFile().EntryPath(2), song);
}

void TestFormPlaylist::SkinIsDrawn() {
  TformPlaylist& form = Create();
  const QImage shot = form.grab().toImage();
  const QImage skin(dir_->File("skin/main.bmp"));
  QVERIFY(!skin.isNull());
  // Outside the list and the buttons the skin shows through.
  for (const QPoint p : {QPoint(1, 1), QPoint(342, 114), QPoint(200, 100)})
    QCOMPARE(shot.pixelColor(p).rgb(), skin.pixelColor(p).rgb());
  // The captions are drawn in white over the skin.
  bool white = false;
  for (int y = 94; y < 111 && !white; ++y)
    for (int x = 4; x < 61 && !white; ++x) white = shot.pixelColor(x, y) == QColor(Qt::white);
  QVERIFY(white);
}

// The captions' bitmap font has no larger sizes: scaled, they are the 1x pixels as blocks.
void TestFormPlaylist::CaptionsMagnifiedWhenScaled_data() {
  QTest::addColumn<int>("scale");
  QTest::newRow("2x") << 2;
  QTest::newRow("3x") << 3;
}
void TestFormPlaylist::CaptionsMagnifiedWhenScaled() {
  QFETCH(int, scale);
  LoadDesignFonts();
  TformPlaylist& form = Create();
  const QRect buttons = form.butnAdd->geometry().united(form.butnDelete->geometry());
  const QImage single = form.grab(buttons).toImage();
  TSkinScale::Apply(scale);
  QImage scaled = form.grab(buttons).toImage();
  TSkinScale::Apply(1);
  scaled.setDevicePixelRatio(1);
  QCOMPARE(scaled, single.scaled(single.size() * scale));
}

void TestFormPlaylist::RefillKeepsSelection_data() {
  QTest::addColumn<int>("selected");
  QTest::addColumn<int>("newCount");
  QTest::addColumn<int>("expected");
  QTest::newRow("same row") << 1 << 3 << 1;
  QTest::newRow("row gone") << 2 << 2 << -1;
  QTest::newRow("no selection") << -1 << 3 << -1;
  QTest::newRow("list grew") << 2 << 5 << 2;
}

void TestFormPlaylist::RefillKeepsSelection() {
  QFETCH(int, selected);
  QFETCH(int, newCount);
  QFETCH(int, expected);
  dir_->Write("lastplay.dat", PlaylistText({"a.mp3", "b.mp3", "c.mp3"}));
  TformPlaylist& form = Create();
  form.boxPlaylist->SetItemIndex(selected);
  QStringList titles;
  for (int i = 0; i < newCount; ++i) titles << QString("n%1.mp3").arg(i);
  dir_->Write("lastplay.dat", PlaylistText(titles));
  form.UpdatePlaylist();
  QCOMPARE(form.boxPlaylist->Count(), newCount);
  QCOMPARE(Rows(form).last(), QString("%1. n%2.mp3 (0:00)").arg(newCount).arg(newCount - 1));
  QCOMPARE(form.boxPlaylist->ItemIndex(), expected);
}

void TestFormPlaylist::RefillOfUnusableFileReportsAndKeepsRows_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<QString>("message");
  QTest::newRow("deleted") << QByteArray("<none>") << "Playlist does not exists";
  QTest::newRow("version 1") << PlaylistText({"x.mp3"}, 1)
                             << "Playlist version incompatibile\rBrimtone requires version "
                                "2\rSelected file has got version 1";
  QTest::newRow("no version") << QByteArray("[playlist]\nNumberOfEntries=1\n")
                              << "Playlist version incompatibile\rBrimtone requires version "
                                 "2\rSelected file has got version 0";
}

void TestFormPlaylist::RefillOfUnusableFileReportsAndKeepsRows() {
  QFETCH(QByteArray, content);
  QFETCH(QString, message);
  dir_->Write("lastplay.dat", PlaylistText({"a.mp3", "b.mp3"}));
  TformPlaylist& form = Create();
  form.boxPlaylist->SetItemIndex(1);
  QFile::remove(Playlist());
  if (content != "<none>") dir_->Write("lastplay.dat", content);
  form.UpdatePlaylist();
  QCOMPARE((*fake_)->messages, QStringList{message});
  QCOMPARE(Rows(form), (QStringList{"1. a.mp3 (0:00)", "2. b.mp3 (0:00)"}));
  QCOMPARE(form.boxPlaylist->ItemIndex(), 1);
}

void TestFormPlaylist::RefillShowsEveryChange_data() {
  QTest::addColumn<QByteArray>("after");
  QTest::addColumn<QStringList>("rows");
  const QByteArray base = PlaylistText({"a.mp3", "b.mp3", "c.mp3"});
  QTest::newRow("unchanged") << base
                             << QStringList{"1. a.mp3 (0:00)", "2. b.mp3 (0:00)",
                                            "3. c.mp3 (0:00)"};
  QTest::newRow("a length recorded")
      << base + "Length2=100\n"
      << QStringList{"1. a.mp3 (0:00)", "2. b.mp3 (1:40)", "3. c.mp3 (0:00)"};
  QTest::newRow("a title changed in place")
      << PlaylistText({"a.mp3", "B.mp3", "c.mp3"})
      << QStringList{"1. a.mp3 (0:00)", "2. B.mp3 (0:00)", "3. c.mp3 (0:00)"};
  QTest::newRow("one more") << PlaylistText({"a.mp3", "b.mp3", "c.mp3", "d.mp3"})
                            << QStringList{"1. a.mp3 (0:00)", "2. b.mp3 (0:00)", "3. c.mp3 (0:00)",
                                           "4. d.mp3 (0:00)"};
  QTest::newRow("shorter") << PlaylistText({"a.mp3"}) << QStringList{"1. a.mp3 (0:00)"};
  QTest::newRow("all different") << PlaylistText({"x.mp3", "y.mp3", "z.mp3"})
                                 << QStringList{"1. x.mp3 (0:00)", "2. y.mp3 (0:00)",
                                                "3. z.mp3 (0:00)"};
}

void TestFormPlaylist::RefillShowsEveryChange() {
  QFETCH(QByteArray, after);
  QFETCH(QStringList, rows);
  dir_->Write("lastplay.dat", PlaylistText({"a.mp3", "b.mp3", "c.mp3"}));
  TformPlaylist& form = Create();
  form.UpdatePlaylist();
  dir_->Write("lastplay.dat", after);
  form.UpdatePlaylist();
  QCOMPARE(Rows(form), rows);
  // After the list was emptied directly, a refill builds every row anew.
  form.MenuItem2Click(form.MenuItem2);
  dir_->Write("lastplay.dat", after);
  form.UpdatePlaylist();
  QCOMPARE(Rows(form), rows);
}

// Lengths stored in the background show without moving the list or losing a click under way;
// with the file gone the rows stay, and nothing is said.
void TestFormPlaylist::RefreshRowsKeepsViewAndClicks() {
  QStringList titles;
  for (int i = 1; i <= 30; ++i) titles << QString("s%1.mp3").arg(i);
  dir_->Write("lastplay.dat", PlaylistText(titles));
  TformPlaylist& form = Create();
  form.boxPlaylist->SetItemIndex(2);
  form.boxPlaylist->SetTopIndex(20);  // the selected row out of view
  const int top = form.boxPlaylist->TopIndex();
  QVERIFY(top > 2);
  form.boxPlaylistMouseUp(form.boxPlaylist, Qt::LeftButton, Qt::NoModifier, 5, 5);
  form.boxPlaylistMouseUp(form.boxPlaylist, Qt::LeftButton, Qt::NoModifier, 5, 5);  // armed
  QStringList expected = Rows(form);
  TIniFile(Playlist()).WriteString("playlist", "Length13", "215");
  expected[12] = "13. s13.mp3 (3:35)";
  form.RefreshRows();
  QCOMPARE(Rows(form), expected);
  QVERIFY(QFile::remove(Playlist()));
  form.RefreshRows();
  QCOMPARE(Rows(form), expected);
  QCOMPARE(form.boxPlaylist->ItemIndex(), 2);
  QCOMPARE(form.boxPlaylist->TopIndex(), top);
  QVERIFY((*fake_)->messages.isEmpty());
  form.boxPlaylistMouseUp(form.boxPlaylist, Qt::LeftButton, Qt::NoModifier, 5, 5);
  QCOMPARE(player_->calls, QStringList{"Play boxPlaylist"});
}

void TestFormPlaylist::MenusOpenUnderTheirButtons() {
  TformPlaylist& form = Create();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  QTest::mouseClick(form.butnAdd, Qt::LeftButton);
  QTRY_VERIFY(form.menuAdd->isVisible());
  QCOMPARE(form.menuAdd->pos(), form.mapToGlobal(QPoint(4, 94 + 17)));
  form.menuAdd->hide();
  QTest::mouseClick(form.butnDelete, Qt::LeftButton);
  QTRY_VERIFY(form.menuDelete->isVisible());
  QCOMPARE(form.menuDelete->pos(), form.mapToGlobal(QPoint(68, 94 + 17)));
  form.menuDelete->hide();
}

void TestFormPlaylist::AddFile_data() {
  QTest::addColumn<QString>("name");
  QTest::newRow("an mp3") << "Blue.mp3";
  QTest::newRow("any file through All Files") << "notes.txt";
  QTest::newRow("signs of the file layout") << "[x]=y.mp3";
}

void TestFormPlaylist::AddFile() {
  QFETCH(QString, name);
  dir_->Write("lastplay.dat", PlaylistText({"a.mp3"}));
  TformPlaylist& form = Create();
  const QString path = music_->filePath(name);
  Touch(path);
  (*fake_)->openFileAnswers.push_back(path);
  form.AddFile1->trigger();
  QCOMPARE(Rows(form), (QStringList{"1. a.mp3 (0:00)", "2. " + name + " (0:00)"}));
  QCOMPARE(TPlaylistFile().EntryPath(2), path);
  QCOMPARE(ReadSetting("lastdir"), music_->path() + "/");
  QCOMPARE(form.boxPlaylist->ItemIndex(), 0);
}

void TestFormPlaylist::AddFileStartsInLastDir_data() {
  QTest::addColumn<QString>("lastDir");  // <music>: the temp music folder
  QTest::addColumn<QString>("initial");  // the dialog's starting folder, twice in a row
  QTest::newRow("no lastdir") << "<none>"
                              << "";
  QTest::newRow("existing folder") << "<music>"
                                   << "<music>";
  QTest::newRow("folder gone") << "<music>/gone"
                               << "";
  QTest::newRow("a file, not a folder") << "<music>/a.mp3"
                                        << "";
}

void TestFormPlaylist::AddFileStartsInLastDir() {
  QFETCH(QString, lastDir);
  QFETCH(QString, initial);
  lastDir.replace("<music>", music_->path());
  initial.replace("<music>", music_->path());
  Touch(music_->filePath("a.mp3"));
  if (lastDir != "<none>")
    dir_->Write("settings.ini", "[main]\nlastdir=" + lastDir.toUtf8() + "\n");
  const QByteArray settingsBefore = dir_->Read("settings.ini");
  TformPlaylist& form = Create();
  form.AddFile1->trigger();  // cancelled: nothing written
  form.AddFile1->trigger();
  QCOMPARE((*fake_)->openFileInitialDirs, (QStringList{initial, initial}));
  QCOMPARE(dir_->Read("settings.ini"), settingsBefore);
  QVERIFY(!QFile::exists(Playlist()));
  // The player's Eject goes through the same dialog state: a folder that is gone keeps the
  // dialog where it was.
  dir_->Write("settings.ini", "[main]\nlastdir=" + music_->path().toUtf8() + "\n");
  QVERIFY(!form.ExecuteOpenDialog());
  dir_->Write("settings.ini", "[main]\nlastdir=/no/such/folder\n");
  QVERIFY(!form.ExecuteOpenDialog());
  QCOMPARE((*fake_)->openFileInitialDirs.mid(2), (QStringList{music_->path(), music_->path()}));
}

void TestFormPlaylist::AddFileWithLineBreakWritesNothing() {
  TformPlaylist& form = Create();
  (*fake_)->openFileAnswers.push_back(music_->filePath("two\nlines.mp3"));
  form.AddFile1Click(form.AddFile1);
  QCOMPARE((*fake_)->messages.size(), 1);
  QVERIFY(!QFile::exists(Playlist()));
  QVERIFY(!QFile::exists(dir_->File("settings.ini")));
}

void TestFormPlaylist::AddDirectoryAppendsInNameOrder() {
  dir_->Write("lastplay.dat", PlaylistText({"first.mp3"}) + "Length1=61\n");
  TformPlaylist& form = Create();
  for (const char* name : {"b.mp3", "A.MP3", "c.Mp3", "notes.txt", "a.mp3"})
    Touch(music_->filePath(name));
  QDir(music_->path()).mkpath("sub");
  Touch(music_->filePath("sub/deeper.mp3"));
  (*fake_)->dialogAnswers.push_back(ChooseFolder(music_->path()));
  form.AddDirectory1->trigger();
  QCOMPARE(Rows(form), (QStringList{"1. first.mp3 (1:01)", "2. A.MP3 (0:00)", "3. a.mp3 (0:00)",
                                    "4. b.mp3 (0:00)", "5. c.Mp3 (0:00)"}));
  QCOMPARE(TPlaylistFile().EntryPath(2), music_->filePath("A.MP3"));
  QCOMPARE(ReadSetting("lastdir"), music_->path());
  QCOMPARE(form.boxPlaylist->ItemIndex(), 0);
  QVERIFY((*fake_)->messages.isEmpty());
}

void TestFormPlaylist::AddDirectoryEqualsAppendingOneByOne() {
  dir_->Write("lastplay.dat", PlaylistText({"x.mp3"}, 1) + "File9=/stale.mp3\n");
  QTemporaryDir other;
  QFile::copy(Playlist(), other.filePath("lastplay.dat"));
  TformPlaylist& form = Create();
  QStringList expected;
  for (const char* name : {"one.mp3", "two.mp3", "three.mp3"}) {
    Touch(music_->filePath(name));
  }
  (*fake_)->dialogAnswers.push_back(ChooseFolder(music_->path()));
  form.AddDirectory1Click(form.AddDirectory1);
  const TPlaylistFile byHand(other.filePath("lastplay.dat"));
  for (const char* name : {"one.mp3", "three.mp3", "two.mp3"})
    byHand.AppendEntry(music_->filePath(name), TAppendOrder::FileFirst);
  QFile a(Playlist()), b(other.filePath("lastplay.dat"));
  QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
  QCOMPARE(a.readAll(), b.readAll());
}

void TestFormPlaylist::AddDirectoryStartsInLastDir_data() {
  QTest::addColumn<QString>("lastDir");
  QTest::addColumn<QString>("preselected");
  QTest::newRow("no lastdir: home") << "<none>"
                                    << "<home>";
  QTest::newRow("existing folder") << "<music>"
                                   << "<music>";
  QTest::newRow("gone: home") << "<music>/gone"
                              << "<home>";
}

void TestFormPlaylist::AddDirectoryStartsInLastDir() {
  QFETCH(QString, lastDir);
  QFETCH(QString, preselected);
  lastDir.replace("<music>", music_->path());
  preselected.replace("<music>", music_->path()).replace("<home>", QDir::homePath());
  if (lastDir != "<none>")
    dir_->Write("settings.ini", "[main]\nlastdir=" + lastDir.toUtf8() + "\n");
  TformPlaylist& form = Create();
  QString seen;
  (*fake_)->dialogAnswers.push_back([&](QDialog& d) {
    seen = static_cast<TFolderDialog&>(d).SelectedPath();
    return int(QDialog::Rejected);
  });
  form.AddDirectory1Click(form.AddDirectory1);
  QCOMPARE(seen, preselected);
}

void TestFormPlaylist::AddDirectoryCancelWritesNothing() {
  dir_->Write("lastplay.dat", PlaylistText({"a.mp3"}));
  dir_->Write("settings.ini", "[main]\nlastdir=" + music_->path().toUtf8() + "\n");
  Touch(music_->filePath("b.mp3"));
  const QByteArray playlistBefore = dir_->Read("lastplay.dat");
  const QByteArray settingsBefore = dir_->Read("settings.ini");
  TformPlaylist& form = Create();
  (*fake_)->dialogAnswers.push_back([&](QDialog& d) {
    static_cast<TFolderDialog&>(d).SelectPath(music_->path());
    d.reject();
    return d.result();
  });
  form.AddDirectory1Click(form.AddDirectory1);
  QCOMPARE(dir_->Read("lastplay.dat"), playlistBefore);
  QCOMPARE(dir_->Read("settings.ini"), settingsBefore);
  QCOMPARE(form.boxPlaylist->Count(), 1);
}

void TestFormPlaylist::AddDirectoryWithoutSongsOrPlaylist() {
  TformPlaylist& form = Create();
  Touch(music_->filePath("readme.txt"));
  (*fake_)->dialogAnswers.push_back(ChooseFolder(music_->path()));
  form.AddDirectory1Click(form.AddDirectory1);
  QCOMPARE((*fake_)->messages, QStringList{"Playlist does not exists"});
  QVERIFY(!QFile::exists(Playlist()));
  QCOMPARE(ReadSetting("lastdir"), music_->path());
}

void TestFormPlaylist::AddDirectoryToReadOnlyPlaylist() {
  dir_->Write("lastplay.dat", PlaylistText({"a.mp3", "b.mp3"}));
  dir_->MakeReadOnly("lastplay.dat");
  const QByteArray before = dir_->Read("lastplay.dat");
  TformPlaylist& form = Create();
  for (const char* name : {"x.mp3", "y.mp3"}) Touch(music_->filePath(name));
  (*fake_)->dialogAnswers.push_back(ChooseFolder(music_->path()));
  QString error;
  try {
    form.AddDirectory1Click(form.AddDirectory1);
  } catch (const EIniFileException& e) {
    error = e.Message();
  }
  QCOMPARE(error, "Unable to write to " + Playlist());
  QCOMPARE(dir_->Read("lastplay.dat"), before);
  QCOMPARE(form.boxPlaylist->Count(), 2);
  QCOMPARE(ReadSetting("lastdir"), QString("<none>"));
}

void TestFormPlaylist::AddDirectorySkipsUnstorableNamesOnce() {
  TformPlaylist& form = Create();
  Touch(music_->filePath("good.mp3"));
  Touch(music_->filePath("bad\none.mp3"));
  Touch(music_->filePath("bad\rtwo.mp3"));
  (*fake_)->dialogAnswers.push_back(ChooseFolder(music_->path()));
  form.AddDirectory1Click(form.AddDirectory1);
  QCOMPARE(Rows(form), QStringList{"1. good.mp3 (0:00)"});
  QCOMPARE((*fake_)->messages.size(), 1);
  QVERIFY((*fake_)->messages.first().startsWith("2 files were not added"));
  // The file holds only whole entries.
  QVERIFY(!dir_->Read("lastplay.dat").contains("bad"));
}

void TestFormPlaylist::AddDirectoryOfManyFiles() {
  TformPlaylist& form = Create();
  constexpr int kFiles = 20000;
  for (int i = 0; i < kFiles; ++i)
    Touch(music_->filePath(QString("song%1.mp3").arg(i, 5, 10, QChar('0'))));
  Touch(music_->filePath("cover.jpg"));
  (*fake_)->dialogAnswers.push_back(ChooseFolder(music_->path()));
  form.AddDirectory1Click(form.AddDirectory1);
  QCOMPARE(form.boxPlaylist->Count(), kFiles);
  QCOMPARE(Rows(form).last(), QString("20000. song19999.mp3 (0:00)"));
  QCOMPARE(TPlaylistFile().EntryPath(kFiles), music_->filePath("song19999.mp3"));
}

void TestFormPlaylist::DeleteSelected_data() {
  QTest::addColumn<int>("count");
  QTest::addColumn<int>("selected");
  QTest::addColumn<QStringList>("rows");
  QTest::addColumn<int>("selectedAfter");
  QTest::newRow("first of three") << 3 << 0 << QStringList{"1. s1.mp3 (0:00)", "2. s2.mp3 (3:20)"}
                                  << 0;
  QTest::newRow("middle of three")
      << 3 << 1 << QStringList{"1. s0.mp3 (0:00)", "2. s2.mp3 (3:20)"} << 1;
  QTest::newRow("last of three: no selection")
      << 3 << 2 << QStringList{"1. s0.mp3 (0:00)", "2. s1.mp3 (0:00)"} << -1;
  QTest::newRow("the only one") << 1 << 0 << QStringList{} << -1;
  QTest::newRow("no selection: nothing")
      << 3 << -1 << QStringList{"1. s0.mp3 (0:00)", "2. s1.mp3 (0:00)", "3. s2.mp3 (3:20)"} << -1;
}

void TestFormPlaylist::DeleteSelected() {
  QFETCH(int, count);
  QFETCH(int, selected);
  QFETCH(QStringList, rows);
  QFETCH(int, selectedAfter);
  QStringList titles;
  for (int i = 0; i < count; ++i) titles << QString("s%1.mp3").arg(i);
  dir_->Write("lastplay.dat", PlaylistText(titles) + (count == 3 ? "Length3=200\n" : ""));
  TformPlaylist& form = Create();
  player_->playing = true;
  form.boxPlaylist->SetItemIndex(selected);
  form.MenuItem1->trigger();
  QCOMPARE(Rows(form), rows);
  QCOMPARE(form.boxPlaylist->ItemIndex(), selectedAfter);
  QVERIFY(player_->calls.isEmpty());  // a playing song plays on
  if (count == 1) {
    const TIniFile file(Playlist());
    QCOMPARE(file.ReadString("playlist", "NumberOfEntries", "?"), QString("0"));
    QCOMPARE(file.ReadString("playlist", "Version", "?"), QString("2"));
  }
}

void TestFormPlaylist::DeletePlaylist_data() {
  QTest::addColumn<bool>("fileThere");
  QTest::newRow("with a file") << true;
  QTest::newRow("file already gone") << false;
}

void TestFormPlaylist::DeletePlaylist() {
  QFETCH(bool, fileThere);
  dir_->Write("lastplay.dat", PlaylistText({"a.mp3", "b.mp3"}));
  TformPlaylist& form = Create();
  if (!fileThere) QFile::remove(Playlist());
  form.MenuItem2->trigger();
  QCOMPARE(form.boxPlaylist->Count(), 0);
  QVERIFY(!QFile::exists(Playlist()));
  QVERIFY((*fake_)->messages.isEmpty());
}

void TestFormPlaylist::DeletePlaylistThatCannotBeDeleted() {
  dir_->Write("lastplay.dat", PlaylistText({"a.mp3", "b.mp3"}));
  dir_->MakeReadOnly("lastplay.dat");
  const QByteArray before = dir_->Read("lastplay.dat");
  TformPlaylist& form = Create();
  QVERIFY_THROWS_EXCEPTION(EIniFileException, form.MenuItem2Click(form.MenuItem2));
  // The list still shows what the file holds.
  QCOMPARE(form.boxPlaylist->Count(), 2);
  QCOMPARE(dir_->Read("lastplay.dat"), before);
}

void TestFormPlaylist::PlaylistShortenedByAnotherProgram() {
  dir_->Write("lastplay.dat", PlaylistText({"a.mp3", "b.mp3", "c.mp3"}));
  TformPlaylist& form = Create();
  dir_->Write("lastplay.dat", PlaylistText({"a.mp3"}));
  form.boxPlaylist->SetItemIndex(2);
  form.MenuItem1Click(form.MenuItem1);
  // The list shows what the file says now, and the next song goes after it.
  const auto entries = TPlaylistFile().ReadEntriesSilent();
  QCOMPARE(form.boxPlaylist->Count(), entries ? int(entries->size()) : 0);
  QVERIFY(Drop(&form, Files({music_->filePath("new.mp3")})));
  QVERIFY(Rows(form).last().endsWith(". new.mp3 (0:00)"));
  QVERIFY((*fake_)->messages.isEmpty());
}

void TestFormPlaylist::PlaylistDeletedByAnotherProgram() {
  dir_->Write("lastplay.dat", PlaylistText({"a.mp3", "b.mp3"}));
  TformPlaylist& form = Create();
  QFile::remove(Playlist());
  form.boxPlaylist->SetItemIndex(0);
  form.MenuItem1Click(form.MenuItem1);
  // What the delete left is no playlist: said once, the rows stay.
  QCOMPARE((*fake_)->messages.size(), 1);
  QCOMPARE(form.boxPlaylist->Count(), 2);
  // A song dropped now makes a usable playlist again.
  QVERIFY(Drop(&form, Files({music_->filePath("new.mp3")})));
  QCOMPARE(TPlaylistFile().EntryPath(TPlaylistFile().ReadEntriesSilent().value().size()),
           music_->filePath("new.mp3"));
}

void TestFormPlaylist::ClickToPlay_data() {
  QTest::addColumn<QList<int>>("clicks");  // selected row at each left release
  QTest::addColumn<bool>("playing");
  QTest::addColumn<QStringList>("calls");
  QTest::newRow("double-click on row 0 after start-up")
      << QList<int>{0, 0} << false << QStringList{"Play boxPlaylist"};
  QTest::newRow("double-click on row 1 only arms") << QList<int>{1, 1} << false << QStringList{};
  QTest::newRow("third click on row 1 plays")
      << QList<int>{1, 1, 1} << false << QStringList{"Play boxPlaylist"};
  QTest::newRow("a playing song is stopped first")
      << QList<int>{2, 2, 2} << true << QStringList{"Stop boxPlaylist", "Play boxPlaylist"};
  QTest::newRow("A then three on B")
      << QList<int>{1, 2, 2, 2} << false << QStringList{"Play boxPlaylist"};
}

void TestFormPlaylist::ClickToPlay() {
  QFETCH(QList<int>, clicks);
  QFETCH(bool, playing);
  QFETCH(QStringList, calls);
  dir_->Write("lastplay.dat", PlaylistText({"a.mp3", "b.mp3", "c.mp3"}));
  TformPlaylist& form = Create();
  player_->playing = playing;
  for (int row : clicks) {
    form.boxPlaylist->SetItemIndex(row);
    form.boxPlaylistMouseUp(form.boxPlaylist, Qt::LeftButton, Qt::NoModifier, 5, 5);
  }
  QCOMPARE(player_->calls, calls);
  // The triggering release stops the timer; otherwise it runs.
  QCOMPARE(form.timeDblClick->isActive(), calls.isEmpty());
}

void TestFormPlaylist::ClicksThroughTheList() {
  dir_->Write("lastplay.dat", PlaylistText({"a.mp3", "b.mp3", "c.mp3"}));
  TformPlaylist& form = Create();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  QWidget* surface = form.boxPlaylist->viewport();
  const QPoint row1(20, 12 + 6);
  // Right-button releases do not count; left ones on the same row do.
  QTest::mouseClick(surface, Qt::RightButton, {}, row1);
  QTest::mouseClick(surface, Qt::LeftButton, {}, row1);
  QCOMPARE(form.boxPlaylist->ItemIndex(), 1);
  QTest::mouseClick(surface, Qt::RightButton, {}, row1);
  QTest::mouseClick(surface, Qt::LeftButton, {}, row1);
  QVERIFY(player_->calls.isEmpty());
  // A refill in between (the player's Play refills) starts the count over.
  form.UpdatePlaylist();
  QTest::mouseClick(surface, Qt::LeftButton, {}, row1);
  QTest::mouseClick(surface, Qt::LeftButton, {}, row1);
  QVERIFY(player_->calls.isEmpty());
  QTest::mouseClick(surface, Qt::LeftButton, {}, row1);
  QCOMPARE(player_->calls, QStringList{"Play boxPlaylist"});
}

void TestFormPlaylist::TimerResetsTheDetector() {
  dir_->Write("lastplay.dat", PlaylistText({"a.mp3", "b.mp3"}));
  TformPlaylist& form = Create();
  form.boxPlaylist->SetItemIndex(1);
  form.boxPlaylistMouseUp(form.boxPlaylist, Qt::LeftButton, Qt::NoModifier, 0, 0);
  form.boxPlaylistMouseUp(form.boxPlaylist, Qt::LeftButton, Qt::NoModifier, 0, 0);
  QVERIFY(form.timeDblClick->isActive());
  form.timeDblClickTimer(form.timeDblClick);
  QVERIFY(!form.timeDblClick->isActive());
  form.boxPlaylistMouseUp(form.boxPlaylist, Qt::LeftButton, Qt::NoModifier, 0, 0);
  QVERIFY(player_->calls.isEmpty());
  QCOMPARE(form.DblClickDetector().RememberedIndex(), 1);
}

void TestFormPlaylist::Drops_data() {
  QTest::addColumn<QStringList>("dropped");  // names in the music folder, or full URLs
  QTest::addColumn<QStringList>("added");
  QTest::newRow("stops at the first non-song")
      << QStringList{"a.mp3", "b.txt", "c.mp3"} << QStringList{"a.mp3"};
  QTest::newRow("upper-case extension") << QStringList{"B.MP3"} << QStringList{};
  QTest::newRow("four songs in drop order") << QStringList{"d.mp3", "b.mp3", "c.mp3", "a.mp3"}
                                            << QStringList{"d.mp3", "b.mp3", "c.mp3", "a.mp3"};
  QTest::newRow("a web address ends the walk")
      << QStringList{"a.mp3", "http://example.com/x.mp3", "c.mp3"} << QStringList{"a.mp3"};
  QTest::newRow("long path taken whole")
      << QStringList{QString(120, 'l') + ".mp3"} << QStringList{QString(120, 'l') + ".mp3"};
}

void TestFormPlaylist::Drops() {
  QFETCH(QStringList, dropped);
  QFETCH(QStringList, added);
  dir_->Write("lastplay.dat", PlaylistText({"first.mp3"}));
  TformPlaylist& form = Create();
  QList<QUrl> urls;
  for (const QString& name : dropped)
    urls << (name.contains("://") ? QUrl(name) : QUrl::fromLocalFile(music_->filePath(name)));
  QVERIFY(Drop(&form, urls));
  QStringList expected{"1. first.mp3 (0:00)"};
  for (int i = 0; i < added.size(); ++i) {
    expected << QString("%1. %2 (0:00)").arg(i + 2).arg(added[i]);
    QCOMPARE(TPlaylistFile().EntryPath(i + 2), music_->filePath(added[i]));
  }
  QCOMPARE(Rows(form), expected);
  QVERIFY((*fake_)->messages.isEmpty());
}

void TestFormPlaylist::DropOnPlayerWindowIsHandledOnce() {
  TformPlaylist& form = Create();
  QVERIFY(Drop(player_.get(), Files({music_->filePath("one.mp3")})));
  QCOMPARE(Rows(form), QStringList{"1. one.mp3 (0:00)"});
  // And on a child of the playlist window: still one entry per file.
  QVERIFY(Drop(form.boxPlaylist, Files({music_->filePath("two.mp3")})));
  QCOMPARE(Rows(form), (QStringList{"1. one.mp3 (0:00)", "2. two.mp3 (0:00)"}));
  // The drop write order: Version first.
  QVERIFY(dir_->Read("lastplay.dat").startsWith("[playlist]\nVersion=2\nNumberOfEntries="));
}

void TestFormPlaylist::DropRefillsOnce() {
  dir_->Write("lastplay.dat", PlaylistText({"x.mp3"}));
  TformPlaylist& form = Create();
  // The refill after the drop already sees every dropped song.
  QStringList seen;
  connect(&form, &TformPlaylist::playlistUpdated,
          [&] { seen << QString::number(form.boxPlaylist->Count()); });
  QVERIFY(Drop(&form, Files({music_->filePath("1.mp3"), music_->filePath("2.mp3"),
                             music_->filePath("3.mp3"), music_->filePath("4.mp3")})));
  QCOMPARE(seen, QStringList{"5"});
}

void TestFormPlaylist::DropEqualsAppendingOneByOne_data() {
  QTest::addColumn<QByteArray>("before");  // "<none>": no playlist file
  QTest::addColumn<int>("songs");
  QTest::newRow("no file, many songs") << QByteArray("<none>") << 40;
  QTest::newRow("count missing, stale entry keys")
      << QByteArray("[playlist]\nFile1=/old.mp3\nTitle1=old.mp3\nLength2=9\nVersion=2\n") << 3;
  QTest::newRow("windows line endings, other sections")
      << QByteArray(
             "[main]\r\nx=1\r\n[PLAYLIST]\r\nnumberofentries=1\r\nFile1=/a.mp3\r\n[more]\r\ny=2")
      << 4;
}

void TestFormPlaylist::DropEqualsAppendingOneByOne() {
  QFETCH(QByteArray, before);
  QFETCH(int, songs);
  if (before != "<none>") dir_->Write("lastplay.dat", before);
  QTemporaryDir other;
  const QString byHandPath = other.filePath("lastplay.dat");
  if (before != "<none>") QVERIFY(QFile::copy(Playlist(), byHandPath));
  QStringList paths;
  for (int i = 0; i < songs; ++i) paths << music_->filePath(QString("song %1.mp3").arg(i));
  TformPlaylist& form = Create();
  QVERIFY(Drop(&form, Files(paths)));
  const TPlaylistFile byHand(byHandPath);
  for (const QString& path : paths) byHand.AppendEntry(path, TAppendOrder::VersionFirst);
  QFile a(Playlist()), b(byHandPath);
  QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
  QCOMPARE(a.readAll(), b.readAll());
}

void TestFormPlaylist::NonFileDragIsRefused() {
  TformPlaylist& form = Create();
  QMimeData text;
  text.setText("/music/a.mp3");
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&form, &enter);
  QVERIFY(!enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&form, &drop);
  QVERIFY(!QFile::exists(Playlist()));
  // A window that did not register gets nothing either.
  QWidget stranger;
  QVERIFY(!Drop(&stranger, Files({music_->filePath("a.mp3")})));
  QVERIFY(!QFile::exists(Playlist()));
}

void TestFormPlaylist::DropOnReadOnlyPlaylistStopsAtTheFailingFile() {
  dir_->Write("lastplay.dat", PlaylistText({"a.mp3"}));
  dir_->MakeReadOnly("lastplay.dat");
  const QByteArray before = dir_->Read("lastplay.dat");
  TformPlaylist& form = Create();
  QVERIFY_THROWS_EXCEPTION(EIniFileException, form.WMDropFiles(Files({music_->filePath("b.mp3")})));
  QCOMPARE(dir_->Read("lastplay.dat"), before);
  QCOMPARE(Rows(form), QStringList{"1. a.mp3 (0:00)"});
}

QTEST_MAIN(TestFormPlaylist)
#include "tst_formplaylist.moc"
