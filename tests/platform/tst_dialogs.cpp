// The dialog seam during a shutdown that a signal started: messages and errors go to standard
// error, word for word, and no dialog waits for an answer.
#include <unistd.h>

#include <QDialog>
#include <QTemporaryFile>
#include <QtTest>
#include <cstdio>

#include "platform/dialogs.h"
#include "support/fakedialogs.h"

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
  QTest::addColumn<bool>("exception");  // else an error message
  QTest::addColumn<QString>("text");
  QTest::addColumn<QByteArray>("written");
  const QString nonAscii = QString::fromUtf8("Cannot open file \"/m/\xc3\xa9t\xc3\xa9.bmp\"");
  QTest::newRow("refused write at shutdown") << true << true << "Unable to write to /p/settings.ini"
                                             << QByteArray("Unable to write to /p/settings.ini.\n");
  QTest::newRow("error, non-ASCII path")
      << true << false << nonAscii << (nonAscii + "\n").toLocal8Bit();
  QTest::newRow("normal running: the box, nothing written")
      << false << false << nonAscii << QByteArray();
}

void TestDialogs::messagesGoToStandardError() {
  QFETCH(bool, toStandardError);
  QFETCH(bool, exception);
  QFETCH(QString, text);
  TFakeDialogsScope boxes;
  SetDialogsToStandardError(toStandardError);
  QTemporaryFile file;
  QVERIFY(file.open());
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  ::dup2(file.handle(), STDERR_FILENO);
  if (exception)
    ShowException(text);
  else
    Dialogs().ShowError(text);
  std::fflush(stderr);
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  file.seek(0);
  QTEST(file.readAll(), "written");
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
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
