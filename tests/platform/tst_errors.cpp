// The general error display's full-stop rule: a stop is added when the text's last
// character sorts after the full stop.
#include <QTest>

#include "platform/errors.h"

class TestErrors : public QObject {
  Q_OBJECT

 private slots:
  void errorDisplayText_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Unable to write to /p/settings.ini"
                            << "Unable to write to /p/settings.ini.";
    QTest::newRow("already a full stop") << "Bitmap image is not valid."
                                         << "Bitmap image is not valid.";
    QTest::newRow("digit") << "error 42"
                           << "error 42.";
    QTest::newRow("slash sorts after") << "/p/"
                                       << "/p/.";
    QTest::newRow("closing quote sorts before") << "Cannot open file \"x\""
                                                << "Cannot open file \"x\"";
    QTest::newRow("exclamation mark") << "Stop!"
                                      << "Stop!";
    QTest::newRow("closing parenthesis") << "(x)"
                                         << "(x)";
    QTest::newRow("hyphen") << "a-"
                            << "a-";
    QTest::newRow("blank") << "a "
                           << "a ";
    QTest::newRow("question mark sorts after") << "why?"
                                               << "why?.";
    QTest::newRow("non-ascii letter")
        << QString::fromUtf8("Fehler ä") << QString::fromUtf8("Fehler ä.");
    QTest::newRow("empty") << ""
                           << "";
  }
  void errorDisplayText() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(ErrorDisplayText(message), shown);
  }

  void exceptionsCarryTheirText() {
    try {
      throw EIniFileException("Unable to write to /p/lastplay.dat");
    } catch (const EBrimtoneError& e) {
      QCOMPARE(e.Message(), "Unable to write to /p/lastplay.dat");
      QCOMPARE(QString::fromStdString(e.what()), e.Message());
    }
  }
};

QTEST_GUILESS_MAIN(TestErrors)
#include "tst_errors.moc"
