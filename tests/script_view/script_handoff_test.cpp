// The names that script.inp gives, in the order the viewer tries them.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTest>

#include <optional>

#include "script_handoff.h"
#include "work_dir.h"

class script_handoff_test : public work_dir_test {
  Q_OBJECT

private slots:
  void spellings_data();
  void spellings();
};

void script_handoff_test::spellings_data() {
  QTest::addColumn<QByteArray>("script");
  QTest::addColumn<QByteArray>("locale");  // the locale's codec; empty: as it is
  QTest::addColumn<QStringList>("expected");

  const QByteArray keep;
  QTest::newRow("word, then line")
      << QByteArray("a.txt b.txt\n") << keep << QStringList{"a.txt", "a.txt b.txt"};
  QTest::newRow("then the quoted text") << QByteArray(" \"my file.txt\" x\r\n") << keep
                                        << QStringList{"\"my", "\"my file.txt\" x", "my file.txt"};
  QTest::newRow("quote not closed")
      << QByteArray("\"my file.txt\n") << keep << QStringList{"\"my", "\"my file.txt"};
  QTest::newRow("then each as a file URL")
      << QByteArray("file:///d/a%20b.txt x\n") << keep
      << QStringList{"file:///d/a%20b.txt", "file:///d/a%20b.txt x", "/d/a b.txt", "/d/a b.txt x"};
  QTest::newRow("quoted file URL") << QByteArray("\"file:/d/a.txt\"") << keep
                                   << QStringList{"\"file:/d/a.txt\"", "file:/d/a.txt", "/d/a.txt"};
  QTest::newRow("localhost, escapes as UTF-8")
      << QByteArray("FILE://LocalHost/d/%E3%83%87.txt") << keep
      << QStringList{"FILE://LocalHost/d/%E3%83%87.txt", QString::fromUtf16(u"/d/デ.txt")};
#ifdef Q_OS_WIN
  QTest::newRow("drive") << QByteArray("file:///C:/w%20d/o.dat") << keep
                         << QStringList{"file:///C:/w%20d/o.dat", "C:/w d/o.dat"};
  QTest::newRow("drive as the host")
      << QByteArray("file://c:/o.dat") << keep << QStringList{"file://c:/o.dat", "c:/o.dat"};
  QTest::newRow("server") << QByteArray("file://srv/share/o.dat") << keep
                          << QStringList{"file://srv/share/o.dat", "//srv/share/o.dat"};
  QTest::newRow("server after four slashes")
      << QByteArray("file:////srv/share/o.dat") << keep
      << QStringList{"file:////srv/share/o.dat", "//srv/share/o.dat"};
#else
  QTest::newRow("drive") << QByteArray("file:///C:/w%20d/o.dat") << keep
                         << QStringList{"file:///C:/w%20d/o.dat", "/C:/w d/o.dat"};
  QTest::newRow("server") << QByteArray("file://srv/share/o.dat") << keep
                          << QStringList{"file://srv/share/o.dat"};
  QTest::newRow("server after four slashes")
      << QByteArray("file:////srv/share/o.dat") << keep << QStringList{"file:////srv/share/o.dat"};
#endif
  QTest::newRow("UTF-16 BOM") << QByteArray("\xFF\xFEx\0.\0t\0\n\0", 10) << keep
                              << QStringList{"x.t"};
  QTest::newRow("UTF-8 BOM, no second reading")
      << QByteArray(
             "\xEF\xBB\xBF"
             "d\xC3\xA9.txt")
      << QByteArray("Windows-1252") << QStringList{QString::fromUtf16(u"dé.txt")};
#ifdef Q_OS_WIN
  // Last in the OEM code page, 437 under Wine, in which batch files write.
  const QStringList oem_c3a9{QString::fromUtf16(u"d├⌐"), QString::fromUtf16(u"d├⌐ x")};
  const QStringList oem_e9{QString::fromUtf16(u"dΘ")};
#else
  const QStringList oem_c3a9;
  const QStringList oem_e9;
#endif
  QTest::newRow("ANSI code page, then UTF-8")
      << QByteArray("d\xC3\xA9 x\n") << QByteArray("Windows-1252")
      << QStringList{QString::fromUtf16(u"dÃ©"), QString::fromUtf16(u"dÃ© x"),
                     QString::fromUtf16(u"dé"), QString::fromUtf16(u"dé x")} +
             oem_c3a9;
  QTest::newRow("ANSI code page, not UTF-8") << QByteArray("d\xE9\n") << QByteArray("Windows-1252")
                                             << QStringList{QString::fromUtf16(u"dé")} + oem_e9;
  QTest::newRow("blank") << QByteArray(" \r\n") << keep << QStringList{};
  // Only the first non-blank line counts, however far down, and it must be
  // no longer than a path line may be.
  QTest::newRow("2 MB of blank lines first")
      << QByteArray(2000000, '\n') + " \t\r\na.txt" << keep << QStringList{"a.txt"};
  QTest::newRow("line too long for a path")
      << QByteArray(70000, 'a') + "\nb.txt" << keep << QStringList{};
  QTest::newRow("UTF-8 decided on the first line")
      << QByteArray("d\xC3\xA9 x\nlater \xFF\n") << QByteArray("Windows-1252")
      << QStringList{QString::fromUtf16(u"dÃ©"), QString::fromUtf16(u"dÃ© x"),
                     QString::fromUtf16(u"dé"), QString::fromUtf16(u"dé x")} +
             oem_c3a9;
  QTest::newRow("escaped NUL names nothing")
      << QByteArray("file:///d/a%00b.txt") << keep << QStringList{"file:///d/a%00b.txt"};
  // A caller's whole buffer: after all the line gives, the name up to the NUL.
  QTest::newRow("NUL ends the name")
      << QByteArray("a.txt\0junk x\n", 13) << keep
      << QStringList{QString::fromLatin1("a.txt\0junk", 10),
                     QString::fromLatin1("a.txt\0junk x", 12), "a.txt"};
  QTest::newRow("NUL ends a file URL")
      << QByteArray("file:///d/a.txt\0junk", 20) << keep
      << QStringList{QString::fromLatin1("file:///d/a.txt\0junk", 20), "file:///d/a.txt",
                     "/d/a.txt"};
}

void script_handoff_test::spellings() {
  QFETCH(QByteArray, script);
  QFETCH(QByteArray, locale);
  QFETCH(QStringList, expected);
  std::optional<locale_codec> codec;
  if (!locale.isEmpty()) codec.emplace(locale.constData());
  QVERIFY(make_entry(QStringLiteral("script.inp"), script));
  QCOMPARE(script_path_spellings(), expected);
}

QTEST_MAIN(script_handoff_test)
#include "script_handoff_test.moc"
