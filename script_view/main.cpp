#include <QApplication>
#include <QDir>
#include <QIcon>

#include "mainwindow.h"

int main(int argc, char* argv[]) {
  // Qt 5 draws in physical pixels unless told otherwise, so at 150 % the form
  // stayed 502 x 713 around text the system draws half as large again. Scaled,
  // the form keeps its proportions at any display scale, and 150 % scales by
  // 1.5 rather than rounding up to 2. Both must be set before the application
  // object exists; on a 100 % display nothing changes.
  QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
  QApplication::setHighDpiScaleFactorRoundingPolicy(
      Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
  QApplication app(argc, argv);
  QIcon icon;
  for (const QFileInfo& image : QDir(QStringLiteral(":/icon")).entryInfoList()) {
    icon.addFile(image.filePath());
  }
  QApplication::setWindowIcon(icon);
  MainWindow w;
  w.show();
  // exec() is static; it runs the event loop of the application made above.
  return QApplication::exec();
}
