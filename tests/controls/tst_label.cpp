// The label that fits its text: the time read-out shows every character of its text, keeps its
// left edge, height and designed width for short texts, and never grows past its limit.
#include <QtTest>

#include "controls/label.h"
#include "platform/fonts.h"

class TestLabel : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { LoadDesignFonts(); }
  void wholeTextShown_data();
  void wholeTextShown();
  void clickAreaFollowsTheText_data();
  void clickAreaFollowsTheText();
};

namespace {
constexpr int kLeft = 15, kTop = 4, kMinWidth = 64, kHeight = 31, kMaxRight = 190;

// The texts drawn on a white panel, as the player draws its read-out.
QImage Draw(QLabel& label, const QString& text) {
  QWidget panel;
  panel.resize(220, 40);
  QPalette pal = panel.palette();
  pal.setColor(QPalette::Window, Qt::white);
  panel.setPalette(pal);
  panel.setAutoFillBackground(true);
  label.setParent(&panel);
  label.setFont(PixelFont("Courier New", 27, true));
  label.setGeometry(kLeft, kTop, kMinWidth, kHeight);
  if (auto* fitting = qobject_cast<TLabel*>(&label)) {
    fitting->SetFitWidth(kMinWidth, kMaxRight);
    fitting->setText(text);
  } else {
    label.setText(text);
    label.resize(kMaxRight - kLeft, kHeight);  // room for anything the tests show
  }
  const QImage shot = panel.grab().toImage();
  label.setParent(nullptr);
  return shot;
}
}  // namespace

void TestLabel::wholeTextShown_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("designedWidth");  // short enough for the designed 64 pixels
  QTest::newRow("elapsed, idle") << "0:00" << true;
  QTest::newRow("remaining, idle") << "-0:00" << false;
  QTest::newRow("remaining") << "-2:15" << false;
  QTest::newRow("ten minutes") << "10:25" << false;
  QTest::newRow("ten minutes remaining") << "-10:25" << false;
  QTest::newRow("over an hour") << "-125:07" << false;
}

void TestLabel::wholeTextShown() {
  QFETCH(QString, text);
  QFETCH(bool, designedWidth);
  TLabel label("0:00");
  QLabel unclipped;
  unclipped.setTextFormat(Qt::PlainText);
  const QImage shown = Draw(label, text);
  QCOMPARE(shown, Draw(unclipped, text));
  QCOMPARE(label.pos(), QPoint(kLeft, kTop));
  QCOMPARE(label.height(), kHeight);
  QVERIFY(label.geometry().right() < kMaxRight);
  QCOMPARE(label.width() == kMinWidth, designedWidth);
}

void TestLabel::clickAreaFollowsTheText_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("x");  // where the left button is clicked, in the label
  QTest::addColumn<bool>("clicked");
  QTest::newRow("on the fifth character") << "-2:15" << 72 << true;
  QTest::newRow("short text, right of its designed width") << "0:00" << 70 << false;
  QTest::newRow("past the limit") << "-1234567:00" << kMaxRight - kLeft + 2 << false;
}

void TestLabel::clickAreaFollowsTheText() {
  QFETCH(QString, text);
  QFETCH(int, x);
  QWidget panel;
  panel.resize(344, 116);
  TLabel label("0:00", &panel);
  label.setFont(PixelFont("Courier New", 27, true));
  label.setGeometry(kLeft, kTop, kMinWidth, kHeight);
  label.SetFitWidth(kMinWidth, kMaxRight);
  label.setText(text);
  QSignalSpy clicks(&label, &TLabel::OnClick);
  QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(x, kHeight / 2));
  QTEST(clicks.count() == 1, "clicked");
}

QTEST_MAIN(TestLabel)
#include "tst_label.moc"
