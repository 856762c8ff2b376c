// The window as its form describes it: the widgets by their object names, their
// classes, places and sizes, the title, and the record uic makes of the form.
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QTranslator>

#include <cstddef>
#include <type_traits>

#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "work_dir.h"

namespace {

// Answers only the window title's entry, so that the test sees whether the
// title goes through translation, in the form's context.
class title_translator : public QTranslator {
public:
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char* /*disambiguation*/,
                    int /*n*/) const override {
    if (qstrcmp(context, "MainWindow") == 0 && qstrcmp(source, "Tamber Script View") == 0)
      return QStringLiteral("Skriptansicht");
    return {};
  }
};

}  // namespace

class mainwindow_test : public QObject {
  Q_OBJECT

private slots:
  void init() { dir_ = std::make_unique<work_dir>(); }
  void cleanup() { dir_.reset(); }

  void widget_tree_data();
  void widget_tree();
  void window_parts();
  void text_box_stays_put_data();
  void text_box_stays_put();
  void title();
  void title_is_translated();
  void form_record();

private:
  std::unique_ptr<work_dir> dir_;
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

void mainwindow_test::title() {
  MainWindow window;
  QCOMPARE(window.windowTitle(), QStringLiteral("Tamber Script View"));
}

void mainwindow_test::title_is_translated() {
  title_translator translator;
  QVERIFY(QCoreApplication::installTranslator(&translator));
  MainWindow window;
  QCoreApplication::removeTranslator(&translator);
  QCOMPARE(window.windowTitle(), QStringLiteral("Skriptansicht"));
}

// Other code may build on the generated record, so its members and their order
// are part of the form.
void mainwindow_test::form_record() {
  static_assert(std::is_standard_layout_v<Ui::MainWindow>);
  static_assert(sizeof(Ui::MainWindow) == 4 * sizeof(void*));
  static_assert(offsetof(Ui::MainWindow, centralwidget) == 0);
  static_assert(offsetof(Ui::MainWindow, plainTextEdit) == 1 * sizeof(void*));
  static_assert(offsetof(Ui::MainWindow, menubar) == 2 * sizeof(void*));
  static_assert(offsetof(Ui::MainWindow, statusbar) == 3 * sizeof(void*));
  static_assert(std::is_same_v<decltype(Ui::MainWindow::plainTextEdit), QPlainTextEdit*>);

  QMainWindow host;
  Ui::MainWindow form{};
  form.setupUi(&host);
  QCOMPARE(form.centralwidget->objectName(), QStringLiteral("centralwidget"));
  QCOMPARE(form.plainTextEdit->objectName(), QStringLiteral("plainTextEdit"));
  QCOMPARE(form.menubar->objectName(), QStringLiteral("menubar"));
  QCOMPARE(form.statusbar->objectName(), QStringLiteral("statusbar"));
  QCOMPARE(host.menuBar(), form.menubar);
  QCOMPARE(host.statusBar(), form.statusbar);
}

QTEST_MAIN(mainwindow_test)
#include "mainwindow_test.moc"
