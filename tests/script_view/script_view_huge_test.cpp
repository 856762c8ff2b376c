// The text box's limits met exactly, with files of up to a gigabyte: what is
// just within them is shown whole, what is one unit past them leaves the box
// empty, and neither crashes. Minutes and several GB of memory; opt-in.
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>

#include <memory>

#include "mainwindow.h"
#include "script_loading.h"
#include "work_dir.h"

namespace {

// Writes `count` copies of `line` then `tail`, a MiB at a time.
bool write_repeated(const QString& name, const QByteArray& line, qint64 count,
                    const QByteArray& tail) {
  QFile file(name);
  if (!file.open(QIODevice::WriteOnly)) return false;
  const qint64 per_block = std::max<qint64>(1, (qint64{1} << 20) / line.size());
  const QByteArray block = line.repeated(static_cast<int>(per_block));
  for (qint64 left = count; left > 0; left -= per_block) {
    const QByteArray& part = left >= per_block ? block : line.repeated(static_cast<int>(left));
    if (file.write(part) != part.size()) return false;
  }
  return file.write(tail) == tail.size();
}

}  // namespace

class script_view_huge_test : public work_dir_test {
  Q_OBJECT

private slots:
  void limits_data();
  void limits();
};

void script_view_huge_test::limits_data() {
  QTest::addColumn<QByteArray>("line");
  QTest::addColumn<qint64>("count");
  QTest::addColumn<QByteArray>("tail");
  QTest::addColumn<bool>("shown");

  // 79 characters and LF: each line takes 81 units of the box's string.
  const QByteArray line = QByteArray(79, 'x') + '\n';
  const qint64 lines = max_script_bytes / 81;
  const QByteArray rest(static_cast<int>(max_script_bytes - lines * 81), 'x');
  QTest::newRow("string full") << line << lines << rest << true;
  QTest::newRow("string one unit over") << line << lines << rest + 'x' << false;

  QTest::newRow("longest line") << QByteArray("x") << max_script_line_units << QByteArray() << true;
  QTest::newRow("most lines") << QByteArray("\r\n") << max_script_lines - 1 << QByteArray() << true;
}

void script_view_huge_test::limits() {
  QFETCH(QByteArray, line);
  QFETCH(qint64, count);
  QFETCH(QByteArray, tail);
  QFETCH(bool, shown);

  QVERIFY(make_entry(QStringLiteral("script.inp"), "big.txt"));
  QVERIFY(write_repeated(QStringLiteral("big.txt"), line, count, tail));
  const qint64 breaks = line.endsWith('\n') ? count : 0;
  const qint64 characters = count * line.count('x') + tail.size() + breaks;

  MainWindow window;
  const auto* edit = window.findChild<QPlainTextEdit*>(QStringLiteral("plainTextEdit"));
  // Files this big load from the event loop, the box read-only until they are in.
  QVERIFY(QTest::qWaitFor([edit] { return !edit->isReadOnly(); }, 60 * 60 * 1000));
  if (shown) {
    QCOMPARE(qint64{edit->blockCount()}, breaks + 1);
    QCOMPARE(qint64{edit->document()->characterCount()}, characters + 1);
  } else {
    QCOMPARE(edit->document()->characterCount(), 1);
  }
}

QTEST_MAIN(script_view_huge_test)
#include "script_view_huge_test.moc"
