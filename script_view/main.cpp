#include <QApplication>

#include "mainwindow.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  MainWindow w;
  w.show();
  // exec() is static; it runs the event loop of the application made above.
  return QApplication::exec();
}
