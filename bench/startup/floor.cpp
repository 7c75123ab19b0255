// The floor of the start-up benchmark: a bare Qt program showing two frameless 344 x 116
// windows where the player and its docked playlist stand by default on a 1280 x 1024 screen,
// running until it is ended.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget player(nullptr, Qt::Window | Qt::FramelessWindowHint);
  QWidget playlist(nullptr, Qt::Tool | Qt::FramelessWindowHint);
  player.setGeometry(812, 570, 344, 116);
  playlist.setGeometry(812, 686, 344, 116);
  player.show();
  playlist.show();
  return app.exec();
}
