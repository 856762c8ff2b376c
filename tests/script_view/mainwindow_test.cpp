// The window as its form describes it: the widgets by their object names, their
// classes, places and sizes. Its title is checked on the running program, in
// the end-to-end test that finds its window by that title.
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>

#include "mainwindow.h"
#include "work_dir.h"

class mainwindow_test : public work_dir_test {
  Q_OBJECT

private slots:
  void widget_tree_data();
  void widget_tree();
  void window_parts();
  void text_box_stays_put_data();
  void text_box_stays_put();
};

void mainwindow_test::widget_tree_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("class_name");
  QTest::addColumn<QString>("parent");
  QTest::addColumn<QRect>("geometry");

  // The menu bar's place is the form's until the window is first laid out.
  QTest::newRow("centralwidget") << "centralwidget"
                                 << "QWidget"
                                 << "MainWindow" << QRect();
  QTest::newRow("plainTextEdit") << "plainTextEdit"
                                 << "QPlainTextEdit"
                                 << "centralwidget" << QRect(10, 10, 481, 671);
  QTest::newRow("menubar") << "menubar"
                           << "QMenuBar"
                           << "MainWindow" << QRect(0, 0, 502, 21);
  QTest::newRow("statusbar") << "statusbar"
                             << "QStatusBar"
                             << "MainWindow" << QRect();
}

void mainwindow_test::widget_tree() {
  QFETCH(QString, name);
  QFETCH(QString, class_name);
  QFETCH(QString, parent);
  QFETCH(QRect, geometry);

  MainWindow window;
  QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
  const QList<QWidget*> found = window.findChildren<QWidget*>(name);
  QCOMPARE(found.size(), 1);
  QWidget* widget = found.first();
  QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), class_name);
  QVERIFY(widget->parentWidget() != nullptr);
  QCOMPARE(widget->parentWidget()->objectName(), parent);
  if (!geometry.isNull()) QCOMPARE(widget->geometry(), geometry);
}

void mainwindow_test::window_parts() {
  MainWindow window;
  QCOMPARE(window.size(), QSize(502, 713));

  auto* central = window.findChild<QWidget*>(QStringLiteral("centralwidget"));
  QVERIFY(central != nullptr);
  QCOMPARE(window.centralWidget(), central);
  // The text box is placed by hand, not by a layout.
  QVERIFY(central->layout() == nullptr);

  QCOMPARE(window.menuBar(), window.findChild<QMenuBar*>(QStringLiteral("menubar")));
  QVERIFY(window.menuBar()->actions().isEmpty());

  QCOMPARE(window.statusBar(), window.findChild<QStatusBar*>(QStringLiteral("statusbar")));
  QVERIFY(window.statusBar()->currentMessage().isEmpty());
}

void mainwindow_test::text_box_stays_put_data() {
  QTest::addColumn<QSize>("size");
  QTest::newRow("as designed") << QSize(502, 713);
  QTest::newRow("larger") << QSize(900, 1000);
  QTest::newRow("smaller") << QSize(300, 200);
}

void mainwindow_test::text_box_stays_put() {
  QFETCH(QSize, size);
  MainWindow window;
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  window.resize(size);
  QTRY_COMPARE(window.size(), size);
  QCoreApplication::processEvents();

  auto* edit = window.findChild<QPlainTextEdit*>(QStringLiteral("plainTextEdit"));
  QVERIFY(edit != nullptr);
  QCOMPARE(edit->geometry(), QRect(10, 10, 481, 671));
  QCOMPARE(window.centralWidget()->width(), size.width());
}

QTEST_MAIN(mainwindow_test)
#include "mainwindow_test.moc"
