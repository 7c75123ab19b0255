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
  QTest::newRow("remaining") << "-2:15" << false;
  QTest::newRow("ten minutes") << "10:25" << false;
}

void TestLabel::wholeTextShown() {
  QFETCH(QString, text);
  QFETCH(bool, designedWidth);
  TLabel label("0:00");
  QLabel unclipped;
  unclipped.setTextFormat(Qt::PlainText);
  QCOMPARE(Draw(label, text), Draw(unclipped, text));
  QCOMPARE(label.geometry().topLeft(), QPoint(kLeft, kTop));
  QCOMPARE(label.height(), kHeight);
  QVERIFY(label.geometry().right() < kMaxRight);
  QCOMPARE(label.width() == kMinWidth, designedWidth);
  // Right of the designed width: on the wider text's last characters, else outside the label.
  QSignalSpy clicks(&label, &TLabel::OnClick);
  QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(70, kHeight / 2));
  QCOMPARE(clicks.count(), designedWidth ? 0 : 1);
}

QTEST_MAIN(TestLabel)
#include "tst_label.moc"
