// The transparent label: a text far longer than the label looks the same as its visible part.
#include <QImage>
#include <QTest>

#include "controls/label.h"

namespace {

QImage Render(const QString& text) {
  TLabel label(text);
  label.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
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
  void longTextShowsItsStart() {
    const QString text =
        "1. A song title that is already wider than the label is.mp3 " + QString(1000000, 'y');
    const QImage whole = Render(text);
    QCOMPARE(whole, Render(text.left(400)));
    QVERIFY(whole != Render(QString()));  // text was drawn
  }
};

QTEST_MAIN(TestLabelLongText)
#include "tst_labellongtext.moc"
