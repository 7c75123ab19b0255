// The folder dialog component: what Execute returns, what it preselects, when OK is
// enabled, and what its events see. The dialog is answered through the dialog seam.
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "platform/errors.h"
#include "playlist/browseforfolder.h"
#include "playlist/folderdialog.h"
#include "support/fakedialogs.h"

namespace {
TFolderDialog& AsFolderDialog(QDialog& dialog) {
  auto* folder = qobject_cast<TFolderDialog*>(&dialog);
  if (!folder) qFatal("not a folder dialog");
  return *folder;
}

// An answer that selects path (when given) and presses OK.
std::function<int(QDialog&)> ChooseAnswer(const QString& path) {
  return [path](QDialog& d) {
    TFolderDialog& dialog = AsFolderDialog(d);
    if (!path.isEmpty()) dialog.SelectPath(path);
    dialog.PressOk();
    return dialog.result();
  };
}

// A descendant that records the virtual calls.
class TRecordingBrowse : public TBrowseForFolder {
 public:
  QStringList calls;
  bool forceOk = true;

 protected:
  void SelChanged(const QString& path, bool& enableOk) override {
    calls << "SelChanged " + path + (enableOk ? " on" : " off");
    enableOk = enableOk && forceOk;
  }
  void SetDialogPosition(int& left, int& top, int, int) override {
    calls << QString("SetDialogPosition %1,%2").arg(left).arg(top);
    left += 1;
  }
};
}  // namespace

class TestBrowseForFolder : public QObject {
  Q_OBJECT
 private slots:
  void init() { dir_ = std::make_unique<QTemporaryDir>(); }
  void ChoosingAFolderSetsPath_data();
  void ChoosingAFolderSetsPath();
  void CancelKeepsPath_data();
  void CancelKeepsPath();
  void Preselection_data();
  void Preselection();
  void DialogFollowsProperties_data();
  void DialogFollowsProperties();
  void OkFollowsSelectionAndHandlers();
  void EventsSeeTheDialogOnlyWhileRunning();
  void PositionEventsMoveTheDialog();
  void FailingHandlerIsReportedAndDoesNotEscape();
  void EditBoxSelectsTypedFolder();
  void PreselectionIsScrolledIntoView();

 private:
  std::unique_ptr<QTemporaryDir> dir_;
};

void TestBrowseForFolder::ChoosingAFolderSetsPath_data() {
  QTest::addColumn<QString>("select");  // relative to the temp dir, or absolute
  QTest::addColumn<QString>("expected");
  QTest::newRow("a folder") << "music"
                            << "music";
  QTest::newRow("a nested folder") << "music/album"
                                   << "music/album";
  QTest::newRow("the root keeps its separator") << "/"
                                                << "/";
}

void TestBrowseForFolder::ChoosingAFolderSetsPath() {
  QFETCH(QString, select);
  QFETCH(QString, expected);
  QVERIFY(QDir(dir_->path()).mkpath("music/album"));
  auto abs = [this](const QString& p) { return p.startsWith('/') ? p : dir_->path() + "/" + p; };

  TFakeDialogsScope fake;
  fake->dialogAnswers.push_back(ChooseAnswer(abs(select)));
  TBrowseForFolder browse;
  QVERIFY(browse.Execute());
  QCOMPARE(browse.Path(), abs(expected));
}

void TestBrowseForFolder::CancelKeepsPath_data() {
  QTest::addColumn<bool>("selectFirst");
  QTest::newRow("cancel at once") << false;
  QTest::newRow("select, then cancel") << true;
}

void TestBrowseForFolder::CancelKeepsPath() {
  QFETCH(bool, selectFirst);
  const QString other = dir_->path() + "/other";
  QVERIFY(QDir().mkpath(other));
  TFakeDialogsScope fake;
  fake->dialogAnswers.push_back([&](QDialog& d) {
    if (selectFirst) AsFolderDialog(d).SelectPath(other);
    d.reject();
    return d.result();
  });
  TBrowseForFolder browse;
  browse.SetPath(dir_->path());
  QVERIFY(!browse.Execute());
  QCOMPARE(browse.Path(), dir_->path());
}

void TestBrowseForFolder::Preselection_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<QString>("selected");  // "<home>" for the home folder
  QTest::newRow("empty: home folder") << QString() << "<home>";
  QTest::newRow("missing folder: home folder") << "<tmp>/gone"
                                               << "<home>";
  QTest::newRow("a file, not a folder: home folder") << "<tmp>/file.mp3"
                                                     << "<home>";
  QTest::newRow("existing folder") << "<tmp>/music"
                                   << "<tmp>/music";
  QTest::newRow("trailing separator dropped") << "<tmp>/music/"
                                              << "<tmp>/music";
  QTest::newRow("hidden folder") << "<tmp>/.secret"
                                 << "<tmp>/.secret";
  QTest::newRow("root") << "/"
                        << "/";
}

void TestBrowseForFolder::Preselection() {
  QFETCH(QString, path);
  QFETCH(QString, selected);
  QVERIFY(QDir(dir_->path()).mkpath("music"));
  QVERIFY(QDir(dir_->path()).mkpath(".secret"));
  QFile file(dir_->path() + "/file.mp3");
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.close();
  path.replace("<tmp>", dir_->path());
  selected.replace("<tmp>", dir_->path()).replace("<home>", QDir::homePath());

  TFakeDialogsScope fake;
  QString seen;
  bool okSeen = false;
  fake->dialogAnswers.push_back([&](QDialog& d) {
    seen = AsFolderDialog(d).SelectedPath();
    okSeen = AsFolderDialog(d).OkEnabled();
    return int(QDialog::Rejected);
  });
  TBrowseForFolder browse;
  browse.SetPath(path);
  QVERIFY(!browse.Execute());
  QCOMPARE(seen, selected);
  QVERIFY(okSeen);  // an existing folder is selected
}

void TestBrowseForFolder::DialogFollowsProperties_data() {
  QTest::addColumn<QString>("title");
  QTest::addColumn<QString>("status");
  QTest::addColumn<bool>("newStyle");
  QTest::addColumn<bool>("editBox");
  QTest::addColumn<bool>("statusLine");
  QTest::addColumn<bool>("resizable");
  QTest::newRow("as the playlist uses it") << ""
                                           << "" << true << false << false << true;
  QTest::newRow("old style with status text") << "Pick"
                                              << "Songs" << false << false << true << false;
  QTest::newRow("new style ignores the status line") << ""
                                                     << "Songs" << true << false << false << true;
  QTest::newRow("edit box") << "Where?"
                            << "" << false << true << false << false;
}

void TestBrowseForFolder::DialogFollowsProperties() {
  QFETCH(QString, title);
  QFETCH(QString, status);
  QFETCH(bool, newStyle);
  QFETCH(bool, editBox);
  QFETCH(bool, statusLine);
  QFETCH(bool, resizable);

  TFakeDialogsScope fake;
  bool hasStatus = !statusLine, hasEdit = !editBox, canResize = !resizable;
  QString titleShown, statusShown;
  fake->dialogAnswers.push_back([&](QDialog& d) {
    TFolderDialog& dialog = AsFolderDialog(d);
    hasStatus = dialog.HasStatusLine();
    statusShown = dialog.StatusLineText();
    hasEdit = dialog.EditBox() != nullptr;
    titleShown = dialog.TitleText();
    canResize = dialog.minimumSize() != dialog.maximumSize();
    return int(QDialog::Rejected);
  });
  TBrowseForFolder browse;
  browse.SetTitle(title);
  browse.SetStatusText(status);
  browse.SetNewDialogStyle(newStyle);
  browse.SetEditBox(editBox);
  browse.Execute();
  QCOMPARE(hasStatus, statusLine);
  QCOMPARE(statusShown, statusLine ? status : QString());
  QCOMPARE(hasEdit, editBox);
  QCOMPARE(titleShown, title);
  QCOMPARE(canResize, resizable);
}

void TestBrowseForFolder::OkFollowsSelectionAndHandlers() {
  const QString keep = dir_->path() + "/keep", refuse = dir_->path() + "/refuse";
  QVERIFY(QDir().mkpath(keep));
  QVERIFY(QDir().mkpath(refuse));
  TFakeDialogsScope fake;
  bool okOnKeep = false, okOnRefuse = true, acceptedOnRefuse = true;
  fake->dialogAnswers.push_back([&](QDialog& d) {
    TFolderDialog& dialog = AsFolderDialog(d);
    dialog.SelectPath(keep);
    okOnKeep = dialog.OkEnabled();
    dialog.SelectPath(refuse);
    okOnRefuse = dialog.OkEnabled();
    dialog.PressOk();  // disabled: nothing happens
    acceptedOnRefuse = dialog.result() == QDialog::Accepted;
    dialog.SelectPath(keep);
    dialog.PressOk();
    return dialog.result();
  });
  TBrowseForFolder browse;
  browse.SetOnSelChanged([&](TBrowseForFolder*, const QString& path, bool& enableOk) {
    if (path == refuse) enableOk = false;
  });
  QVERIFY(browse.Execute());
  QVERIFY(okOnKeep);
  QVERIFY(!okOnRefuse);
  QVERIFY(!acceptedOnRefuse);
  QCOMPARE(browse.Path(), keep);
}

void TestBrowseForFolder::EventsSeeTheDialogOnlyWhileRunning() {
  const QString folder = dir_->path() + "/a";
  QVERIFY(QDir().mkpath(folder));
  TFakeDialogsScope fake;
  fake->dialogAnswers.push_back(ChooseAnswer(folder));
  TRecordingBrowse browse;
  browse.forceOk = true;
  QStringList events;
  browse.SetOnSelChanged([&](TBrowseForFolder* sender, const QString& path, bool& enableOk) {
    QCOMPARE(sender, &browse);
    events << QString("OnSelChanged %1 %2 %3")
                  .arg(path, enableOk ? "on" : "off", sender->DialogHandle() ? "dialog" : "none");
  });
  browse.SetPath(dir_->path());
  QVERIFY(browse.Execute());
  QCOMPARE(browse.DialogHandle(), nullptr);
  // Preselection, then the user's choice; each raises the event, then the virtual.
  QCOMPARE(events, (QStringList{"OnSelChanged " + dir_->path() + " on dialog",
                                "OnSelChanged " + folder + " on dialog"}));
  QCOMPARE(browse.calls.filter("SelChanged"),
           (QStringList{"SelChanged " + dir_->path() + " on", "SelChanged " + folder + " on"}));
}

void TestBrowseForFolder::PositionEventsMoveTheDialog() {
  TFakeDialogsScope fake;
  QPoint shownAt;
  QSize shownSize;
  fake->dialogAnswers.push_back([&](QDialog& d) {
    shownAt = d.pos();
    shownSize = d.size();
    return int(QDialog::Rejected);
  });
  TRecordingBrowse browse;
  int seenWidth = 0, seenHeight = 0;
  browse.SetOnSetPosition([&](TBrowseForFolder*, int& left, int& top, int width, int height) {
    seenWidth = width;
    seenHeight = height;
    left = 40;
    top = 30;
  });
  browse.Execute();
  QCOMPARE(browse.calls.filter("SetDialogPosition"), QStringList{"SetDialogPosition 40,30"});
  QCOMPARE(shownAt, QPoint(41, 30));  // the descendant moved it one more pixel
  QCOMPARE(QSize(seenWidth, seenHeight), shownSize);
}

void TestBrowseForFolder::FailingHandlerIsReportedAndDoesNotEscape() {
  const QString folder = dir_->path() + "/a";
  QVERIFY(QDir().mkpath(folder));
  TFakeDialogsScope fake;
  fake->dialogAnswers.push_back([&](QDialog& d) {
    AsFolderDialog(d).SelectPath(folder);
    return int(QDialog::Rejected);
  });
  TBrowseForFolder browse;
  browse.SetOnSelChanged([&](TBrowseForFolder*, const QString& path, bool&) {
    if (path == folder) throw EBrimtoneError("No such thing");
  });
  browse.Execute();
  QCOMPARE(browse.DialogHandle(), nullptr);
  QCOMPARE(fake->errors, QStringList{"No such thing."});
}

void TestBrowseForFolder::EditBoxSelectsTypedFolder() {
  QVERIFY(QDir(dir_->path()).mkpath("one"));
  QVERIFY(QDir(dir_->path()).mkpath("two"));
  TFakeDialogsScope fake;
  QString shown, afterPartial, afterWhole;
  fake->dialogAnswers.push_back([&](QDialog& d) {
    TFolderDialog& dialog = AsFolderDialog(d);
    QLineEdit* edit = dialog.EditBox();
    if (!edit) return int(QDialog::Rejected);
    // The selected folder "one" shows its name; a sibling's name typed over it selects that.
    shown = edit->text();
    edit->selectAll();
    QTest::keyClicks(edit, "tw");  // no such folder: the selection stays
    afterPartial = dialog.SelectedPath();
    QTest::keyClicks(edit, "o");
    afterWhole = dialog.SelectedPath();
    dialog.PressOk();
    return dialog.result();
  });
  TBrowseForFolder browse;
  browse.SetEditBox(true);
  browse.SetPath(dir_->path() + "/one");
  QVERIFY(browse.Execute());
  QCOMPARE(shown, QString("one"));
  QCOMPARE(afterPartial, dir_->path() + "/one");
  QCOMPARE(afterWhole, dir_->path() + "/two");
  QCOMPARE(browse.Path(), dir_->path() + "/two");
}

void TestBrowseForFolder::PreselectionIsScrolledIntoView() {
  for (int i = 0; i < 150; ++i)
    QVERIFY(QDir().mkpath(dir_->path() + QStringLiteral("/f%1").arg(i, 3, 10, QLatin1Char('0'))));
  const QString target = dir_->path() + "/f140/inner/deepest";
  QVERIFY(QDir().mkpath(target));
  TFakeDialogsScope fake;
  bool inView = false;
  QString selected;
  fake->dialogAnswers.push_back([&](QDialog& d) {
    TFolderDialog& dialog = AsFolderDialog(d);
    dialog.show();
    QTreeView* tree = dialog.Tree();
    const auto rowInView = [&] {
      const QRect row = tree->visualRect(tree->currentIndex());
      return row.isValid() && tree->viewport()->rect().contains(row);
    };
    // The folders are read in the background: the view settles on the target and stays there
    // once later rows have come in.
    inView = QTest::qWaitFor(rowInView);
    QTest::qWait(100);
    inView = inView && rowInView();
    selected = dialog.SelectedPath();
    return int(QDialog::Rejected);
  });
  TBrowseForFolder browse;
  browse.SetPath(target);
  browse.Execute();
  QCOMPARE(selected, target);
  QVERIFY(inView);
}

QTEST_MAIN(TestBrowseForFolder)
#include "tst_browseforfolder.moc"
