#include <QtTest>

#include "controls/image.h"
#include "platform/errors.h"
#include "support/tempprogramdir.h"

class TestImage : public QObject {
  Q_OBJECT
 private slots:
  void transparentColourIsTheBottomLeftPixel();
  void drawing_data();
  void drawing();
  void clickComesBeforeRelease_data();
  void clickComesBeforeRelease();
  void failedLoadKeepsThePicture();
};

namespace {
// 4 x 2: bottom-left (key) magenta; red and green elsewhere, one more magenta at (3, 0).
QImage Sample() {
  QImage image(4, 2, QImage::Format_RGB32);
  image.fill(Qt::red);
  image.setPixelColor(0, 1, Qt::magenta);
  image.setPixelColor(3, 0, Qt::magenta);
  image.setPixelColor(1, 1, Qt::green);
  return image;
}

QImage Render(TImage& image, QSize parentSize = QSize(20, 20)) {
  QWidget parent;
  parent.resize(parentSize);
  QPalette pal = parent.palette();
  pal.setColor(QPalette::Window, Qt::blue);
  parent.setPalette(pal);
  parent.setAutoFillBackground(true);
  image.setParent(&parent);
  const QImage shot = parent.grab().toImage();
  image.setParent(nullptr);
  return shot;
}
}  // namespace

void TestImage::transparentColourIsTheBottomLeftPixel() {
  TImage image;
  image.setGeometry(0, 0, 4, 2);
  image.SetPicture(Sample());
  image.SetTransparent(true);
  QImage shot = Render(image);
  QCOMPARE(shot.pixelColor(0, 1), QColor(Qt::blue));
  QCOMPARE(shot.pixelColor(3, 0), QColor(Qt::blue));
  QCOMPARE(shot.pixelColor(0, 0), QColor(Qt::red));
  QCOMPARE(shot.pixelColor(1, 1), QColor(Qt::green));
  image.SetTransparent(false);
  shot = Render(image);
  QCOMPARE(shot.pixelColor(0, 1), QColor(Qt::magenta));
}

void TestImage::drawing_data() {
  QTest::addColumn<bool>("stretch");
  QTest::addColumn<bool>("proportional");
  QTest::addColumn<QPoint>("probe");
  QTest::addColumn<QColor>("colour");
  // Control 8 x 8, picture 4 x 2.
  QTest::newRow("natural size, clipped") << false << false << QPoint(5, 1) << QColor(Qt::blue);
  QTest::newRow("natural size, picture") << false << false << QPoint(1, 0) << QColor(Qt::red);
  QTest::newRow("stretched fills") << true << false << QPoint(7, 7) << QColor(Qt::red);
  QTest::newRow("stretched, green scaled") << true << false << QPoint(2, 5) << QColor(Qt::green);
  QTest::newRow("proportional keeps shape") << true << true << QPoint(7, 6) << QColor(Qt::blue);
  QTest::newRow("proportional, top") << true << true << QPoint(0, 0) << QColor(Qt::red);
}

void TestImage::drawing() {
  QFETCH(bool, stretch);
  QFETCH(bool, proportional);
  QFETCH(QPoint, probe);
  TImage image;
  image.setGeometry(0, 0, 8, 8);
  image.SetPicture(Sample());
  image.SetStretch(stretch);
  image.SetProportional(proportional);
  QTEST(Render(image).pixelColor(probe), "colour");
}

void TestImage::clickComesBeforeRelease_data() {
  QTest::addColumn<Qt::MouseButton>("button");
  QTest::addColumn<QPoint>("release");
  QTest::addColumn<QStringList>("events");
  QTest::newRow("left inside") << Qt::LeftButton << QPoint(5, 5)
                               << QStringList{"down", "click", "up"};
  QTest::newRow("right inside") << Qt::RightButton << QPoint(5, 5) << QStringList{"down", "up"};
  QTest::newRow("left released outside")
      << Qt::LeftButton << QPoint(50, 5) << QStringList{"down", "up"};
}

void TestImage::clickComesBeforeRelease() {
  QFETCH(Qt::MouseButton, button);
  QFETCH(QPoint, release);
  TImage image;
  image.resize(10, 10);
  QStringList events;
  connect(&image, &TImage::OnMouseDown, [&] { events << "down"; });
  connect(&image, &TImage::OnClick, [&] { events << "click"; });
  connect(&image, &TImage::OnMouseUp, [&] { events << "up"; });
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), button, button,
                    Qt::NoModifier);
  QApplication::sendEvent(&image, &press);
  QMouseEvent up(QEvent::MouseButtonRelease, QPointF(release), QPointF(release), button,
                 Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&image, &up);
  QTEST(events, "events");
}

void TestImage::failedLoadKeepsThePicture() {
  TTempProgramDir dir;
  TImage image;
  image.SetPicture(Sample());
  QVERIFY_THROWS_EXCEPTION(EFOpenError, image.LoadFromSkin("\\skin\\nothere.bmp"));
  QCOMPARE(image.Picture(), Sample());
  image.LoadFromSkin("\\skin\\PLAY.BMP");  // names match without regard to case
  QCOMPARE(image.Picture().size(), QSize(22, 18));
  QCOMPARE(image.PictureName(), QStringLiteral("\\skin\\PLAY.BMP"));
}

QTEST_MAIN(TestImage)
#include "tst_image.moc"
