// The transparent label: a text far longer than the label looks the same as its visible part.
#include <QImage>
#include <QTest>

#include "controls/label.h"

namespace {

QImage Render(const QString& text, Qt::Alignment alignment) {
  TLabel label(text);
  label.setAlignment(alignment);
  label.setGeometry(0, 0, 200, 16);
  QImage image(label.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  label.render(&image);
  return image;
}

}  // namespace

class TestLabelLongText : public QObject {
  Q_OBJECT
 private slots:
  void longTextShowsItsStart_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("alignment");
    const QString start = "1. A song title that is already wider than the label is.mp3 ";
    QTest::newRow("20,000 characters") << start + QString(20000, 'x') << int(Qt::AlignLeft);
    QTest::newRow("a million characters, centred vertically")
        << start + QString(1000000, 'y') << int(Qt::AlignLeft | Qt::AlignVCenter);
  }
  void longTextShowsItsStart() {
    QFETCH(QString, text);
    QFETCH(int, alignment);
    const QImage whole = Render(text, Qt::Alignment(alignment));
    const QImage start = Render(text.left(400), Qt::Alignment(alignment));
    QCOMPARE(whole, start);
    QVERIFY(whole != Render(QString(), Qt::Alignment(alignment)));  // text was drawn
  }
};

QTEST_MAIN(TestLabelLongText)
#include "tst_labellongtext.moc"
