// The dialog seam during a shutdown that a signal started: messages and errors go to standard
// error, word for word, and no dialog waits for an answer.
#include <unistd.h>

#include <QDialog>
#include <QTemporaryFile>
#include <QtTest>
#include <cstdio>

#include "platform/dialogs.h"
#include "support/fakedialogs.h"

namespace {
// Captures what is written to standard error while it lives.
class TStandardErrorCapture {
 public:
  TStandardErrorCapture() {
    file_.open();
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    ::dup2(file_.handle(), STDERR_FILENO);
  }
  ~TStandardErrorCapture() { Restore(); }
  QByteArray Text() {
    Restore();
    file_.seek(0);
    return file_.readAll();
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
  }
  QTemporaryFile file_;
  int saved_ = -1;
};
}  // namespace

class TestDialogs : public QObject {
  Q_OBJECT
 private slots:
  void cleanup() { SetDialogsToStandardError(false); }
  void messagesGoToStandardError_data();
  void messagesGoToStandardError();
  void dialogsAnswerCancelAtOnce();
};

void TestDialogs::messagesGoToStandardError_data() {
  QTest::addColumn<bool>("toStandardError");
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QByteArray>("written");
  QTest::newRow("refused write at shutdown") << true << "exception"
                                             << "Unable to write to /p/settings.ini"
                                             << QByteArray("Unable to write to /p/settings.ini.\n");
  QTest::newRow("plain message") << true << "message"
                                 << "Error" << QByteArray("Error\n");
  QTest::newRow("error, non-ASCII path")
      << true << "error" << QString::fromUtf8("Cannot open file \"/m/\xc3\xa9t\xc3\xa9.bmp\"")
      << QString::fromUtf8("Cannot open file \"/m/\xc3\xa9t\xc3\xa9.bmp\"\n").toLocal8Bit();
  QTest::newRow("normal running: the box, nothing written")
      << false << "exception"
      << "Unable to write to /p/settings.ini" << QByteArray();
}

void TestDialogs::messagesGoToStandardError() {
  QFETCH(bool, toStandardError);
  QFETCH(QString, kind);
  QFETCH(QString, text);
  TFakeDialogsScope boxes;
  SetDialogsToStandardError(toStandardError);
  TStandardErrorCapture capture;
  if (kind == "exception")
    ShowException(text);
  else if (kind == "message")
    Dialogs().ShowMessage(text);
  else
    Dialogs().ShowError(text);
  QTEST(capture.Text(), "written");
  QCOMPARE(boxes->errors.size() + boxes->messages.size(), toStandardError ? 0 : 1);
}

void TestDialogs::dialogsAnswerCancelAtOnce() {
  TFakeDialogsScope boxes;
  boxes->openFileAnswers.push_back(QString("/m/a.mp3"));
  boxes->dialogAnswers.push_back([](QDialog&) { return int(QDialog::Accepted); });
  SetDialogsToStandardError(true);
  QVERIFY(!Dialogs().AskOpenFile(nullptr, "/m", "*.mp3").has_value());
  QDialog dialog;
  QCOMPARE(Dialogs().ExecDialog(dialog), int(QDialog::Rejected));
  QVERIFY(!dialog.isVisible());
  // Switched off again, the installed dialogs answer as before.
  SetDialogsToStandardError(false);
  QCOMPARE(Dialogs().AskOpenFile(nullptr, "/m", "*.mp3"), std::optional<QString>("/m/a.mp3"));
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
