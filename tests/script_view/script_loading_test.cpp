// What the window shows for a given script.inp and the files it names, checked
// in the real window right after construction, before it is shown, or, for a
// big file, once the event loop has loaded it.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCodec>
#include <QTextLayout>
#include <QUrl>
#include <QtEndian>

#include <cstring>
#include <memory>
#include <optional>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <unistd.h>
#endif

#include "mainwindow.h"
#include "script_handoff.h"
#include "script_loading.h"
#include "work_dir.h"

using entry_map = QMap<QString, QByteArray>;
Q_DECLARE_METATYPE(entry_map)

namespace {

QPlainTextEdit* text_box(const MainWindow& window) {
  return window.findChild<QPlainTextEdit*>(QStringLiteral("plainTextEdit"));
}

// Waits while the event loop loads a big file: the box is read-only until then.
bool loaded(const QPlainTextEdit* edit) {
  return QTest::qWaitFor([edit] { return !edit->isReadOnly(); }, 10 * 60 * 1000);
}

// The text of the file script.inp names, as the loader gives it when it reads,
// decodes and checks `bytes` bytes at a time.
script_text load_in_pieces(qint64 bytes) {
  script_loader loader(script_path_spellings());
  while (!loader.load_piece(bytes)) {
  }
  return loader.text();
}

// Every entry under the working directory with its bytes, to see that nothing
// was written, created or removed.
entry_map snapshot() {
  entry_map entries;
  QDirIterator it(QStringLiteral("."), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString name = it.next();
    QFile file(name);
    entries.insert(name, it.fileInfo().isFile() && file.open(QIODevice::ReadOnly)
                             ? file.readAll()
                             : QByteArray("<dir>"));
  }
  return entries;
}

QByteArray bytes(const char* data, int size) {
  return {data, size};
}

// A file of `size` bytes that starts with `head` followed by NULs, made sparse
// so that even gigabytes cost nothing to write.
bool make_sparse(const QString& name, const QByteArray& head, qint64 size) {
  QFile file(name);
  return file.open(QIODevice::WriteOnly) && file.write(head) == head.size() && file.resize(size);
}

// The working directory as a file URL's path; the rows write @DIR@ for it.
QByteArray work_dir_in_url() {
  QByteArray path = QUrl::toPercentEncoding(QDir::currentPath(), "/:");
  return path.startsWith('/') ? path : '/' + path;
}

// The opens of each entry of the working directory and its folders since it
// was made, as the kernel reports them (Linux only: elsewhere none). A file
// looked at by a first open and read by a second would lose a pipe's data.
class open_counter {
public:
  open_counter() {
#ifdef Q_OS_LINUX
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QDirIterator it(QStringLiteral("."), QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    for (QString dir = QStringLiteral("."); !dir.isEmpty(); dir = it.hasNext() ? it.next() : "")
      // Closes are watched only so that two opens in a row are not merged
      // into one event.
      folders_[inotify_add_watch(fd_, QFile::encodeName(dir).constData(), IN_OPEN | IN_CLOSE)] =
          dir.mid(2) + (dir == "." ? "" : "/");
#endif
  }
  ~open_counter() {
#ifdef Q_OS_LINUX
    close(fd_);
#endif
  }
  open_counter(const open_counter&) = delete;
  open_counter& operator=(const open_counter&) = delete;
  open_counter(open_counter&&) = delete;
  open_counter& operator=(open_counter&&) = delete;

  QMap<QString, int> opens() const {
    QMap<QString, int> counts;
#ifdef Q_OS_LINUX
    alignas(inotify_event) char events[4096];
    for (ssize_t got = 0; (got = read(fd_, events, sizeof events)) > 0;) {
      for (const char* at = events; at < events + got;) {
        inotify_event event{};
        std::memcpy(&event, at, sizeof event);
        if (event.len > 0 && (event.mask & IN_OPEN) != 0)
          ++counts[folders_.value(event.wd) + QFile::decodeName(at + sizeof event)];
        at += sizeof event + event.len;
      }
    }
#endif
    return counts;
  }

private:
  int fd_ = -1;
  QMap<int, QString> folders_;
};

}  // namespace

class script_loading_test : public work_dir_test {
  Q_OBJECT

private slots:
  void shows_data();
  void shows();
  void shows_under_ansi_code_page_data();
  void shows_under_ansi_code_page();
  void same_text_wherever_pieces_fall_data();
  void same_text_wherever_pieces_fall();
  void undo_takes_the_load_back();
  void long_lines_data();
  void long_lines();
  void too_large_data();
  void too_large();
  void beyond_text_box_data();
  void beyond_text_box();
  void endless_devices_data();
  void endless_devices();
  void at_once_or_after_showing_data();
  void at_once_or_after_showing();
  void close_while_loading();
};

void script_loading_test::shows_data() {
  QTest::addColumn<QByteArray>("script");  // null: no script.inp at all
  QTest::addColumn<entry_map>("entries");
  QTest::addColumn<QString>("expected");

  const entry_map ab{{"a.txt", "alpha"}, {"b.txt", "beta"}};
  const entry_map spaced{{"my script.txt", "spaced"}};

  // Which file is shown.
  QTest::newRow("first word only") << QByteArray("a.txt b.txt\nb.txt\n") << ab << "alpha";
  QTest::newRow("word after blank lines and indent")
      << QByteArray("\r\n\n \t a.txt\tb.txt\n") << ab << "alpha";
  QTest::newRow("word ending the file") << QByteArray("a.txt") << ab << "alpha";
  QTest::newRow("BOM before the word") << QByteArray(
                                              "\xEF\xBB\xBF"
                                              "a.txt\n")
                                       << ab << "alpha";
  QTest::newRow("non-ASCII name") << QByteArray(
                                         "donn\xC3\xA9"
                                         "es.txt\n")
                                  << entry_map{{QString::fromUtf16(u"données.txt"), "accent"}}
                                  << "accent";
  QTest::newRow("relative path into a folder")
      << QByteArray("sub/a.txt\n") << entry_map{{"sub/", {}}, {"sub/a.txt", "nested"}} << "nested";
  QTest::newRow("path with a space") << QByteArray("my script.txt\n") << spaced << "spaced";
  QTest::newRow("path with a space after blank lines, trimmed")
      << QByteArray("\r\n \t\r\n  my script.txt \t\r\nb.txt\r\n") << spaced << "spaced";
  QTest::newRow("path with a space, lone CR ends the line")
      << QByteArray("my script.txt\rb.txt\r") << spaced << "spaced";
  QTest::newRow("first word that opens wins over the line")
      << QByteArray("a.txt b.txt\n") << entry_map{{"a.txt", "alpha"}, {"a.txt b.txt", "whole"}}
      << "alpha";
  QTest::newRow("first word naming an empty file still wins")
      << QByteArray("e.txt x\n") << entry_map{{"e.txt", {}}, {"e.txt x", "whole"}} << "";
  QTest::newRow("first word naming a folder falls back to the line")
      << QByteArray("sub rest.txt\n") << entry_map{{"sub/", {}}, {"sub rest.txt", "line"}}
      << "line";
  QTest::newRow("line used only as a whole") << QByteArray("my script.txt extra\n") << spaced << "";
  QTest::newRow("quoted path") << QByteArray("copy \"my script.txt\" here\n") << spaced << "spaced";
  QTest::newRow("file URL") << QByteArray("file://@DIR@/my%20script.txt\n") << spaced << "spaced";
  QTest::newRow("quoted file URL, localhost, non-ASCII")
      << QByteArray("\"file://localhost@DIR@/donn%C3%A9es.txt\"")
      << entry_map{{QString::fromUtf16(u"données.txt"), "accent"}} << "accent";
  QTest::newRow("relative file URL")
      << QByteArray("file:sub/a%2Etxt\n") << entry_map{{"sub/", {}}, {"sub/a.txt", "nested"}}
      << "nested";
  // An escaped NUL names no file; a raw one ends the name, as a C library reads it.
  QTest::newRow("file URL with an escaped NUL")
      << QByteArray("file://@DIR@/a.txt%00.bak") << ab << "";
  QTest::newRow("NUL in the name") << QByteArray("a.txt\0.bak\n", 11) << ab << "alpha";
  QTest::newRow("NUL after a name that names a file")
      << QByteArray("a.txt\0b.txt\n", 12) << entry_map{{"a.txt", "alpha"}, {"a.txtb.txt", "x"}}
      << "alpha";
  QTest::newRow("file URL of another host")
      << QByteArray("file://elsewhere@DIR@/a.txt") << ab << "";
#ifndef Q_OS_WIN
  // Names that Windows does not allow.
  QTest::newRow("quotes as written win")
      << QByteArray("\"a.txt\"") << entry_map{{"\"a.txt\"", "quoted"}, {"a.txt", "alpha"}}
      << "quoted";
  QTest::newRow("file URL as written wins")
      << QByteArray("file:a.txt") << entry_map{{"file:a.txt", "url"}, {"a.txt", "alpha"}} << "url";
#else
  // Names as Windows programs write them. <work> stands for the working
  // directory, here with its drive letter. The suite runs under code page
  // 1252 and again under 932, where "ソ" is 83 5C: its second byte a backslash.
  if (GetACP() == 932) {
    const QString folder = QString::fromUtf16(u"ソース");
    const entry_map japanese{{folder + "/", {}}, {folder + "/t.txt", "kana"}};
    QTest::newRow("Shift-JIS folder name")
        << QByteArray("\x83\x5C\x81\x5B\x83\x58\\t.txt\n") << japanese << "kana";
    QTest::newRow("UTF-8 folder name under 932")
        << folder.toUtf8() + "\\t.txt" << japanese << "kana";
  } else {
    QTest::newRow("non-ASCII name in the ANSI code page")
        << QString::fromUtf16(u"données.txt\n").toLocal8Bit()
        << entry_map{{QString::fromUtf16(u"données.txt"), "accent"}} << "accent";
  }
  if (GetOEMCP() != GetACP())
    // As a batch file's echo writes it: "é" is 82 in code page 437 or 850.
    QTest::newRow("OEM code page name")
        << QByteArray("<work>\\Jos\x82\\run 1\\a.txt\r\n")
        << entry_map{{QString::fromUtf16(u"José/run 1/"), {}},
                     {QString::fromUtf16(u"José/run 1/a.txt"), "oem"}}
        << "oem";
  QTest::newRow("backslash path") << QByteArray("sub\\a.txt\n")
                                  << entry_map{{"sub/", {}}, {"sub/a.txt", "nested"}} << "nested";
  QTest::newRow("drive-letter path") << QByteArray("<work>\\a.txt\n") << ab << "alpha";
  QTest::newRow("file URL, the drive where the host goes")
      << QByteArray("file://<work>\\a%2Etxt\n") << ab << "alpha";
#endif

  // How the text is shown.
  const auto target = [](const QByteArray& content) { return entry_map{{"t.txt", content}}; };
  const QByteArray t("t.txt\n");
  // A line of Unicode spaces is as blank as one of ASCII ones.
  QTest::newRow("ideographic spaces before the name")
      << QByteArray("\xE3\x80\x80\nt.txt\n") << target("hello") << "hello";
  QTest::newRow("no-break space before the name")
      << QByteArray("\xC2\xA0\r\nt.txt\n") << target("hello") << "hello";
  QTest::newRow("LF") << t << target("one\ntwo\n") << "one\ntwo\n";
  QTest::newRow("CR LF is one line break") << t << target("one\r\ntwo\r\n") << "one\ntwo\n";
  QTest::newRow("lone CR is one line break") << t << target("one\rtwo") << "one\ntwo";
  QTest::newRow("BOM not shown") << t
                                 << target(
                                        "\xEF\xBB\xBF"
                                        "text")
                                 << "text";
  QTest::newRow("UTF-8 decoded") << t << target("gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80")
                                 << QString::fromUtf16(u"grüß € \U0001F600");
#ifndef Q_OS_WIN
  // Linux's encoding is UTF-8: invalid bytes have no other reading.
  QTest::newRow("invalid UTF-8 as replacement characters")
      << t
      << target(
             "a\xFF"
             "b\xFE"
             "c")
      << QString::fromUtf16(u"a\uFFFDb\uFFFDc");
  QTest::newRow("UTF-8 cut off by the NUL")
      << t << target(bytes("a\xE3\x83\0b", 5)) << QString::fromUtf16(u"a\uFFFD\uFFFD");
#else
  if (GetACP() == 932)
    QTest::newRow("Shift-JIS text")
        << t << target("\x93\xFA\x96\x7B\x8C\xEA \x83\x5C\x81\x5B\x83\x58\r\n")
        << QString::fromUtf16(u"日本語 ソース\n");
  else
    QTest::newRow("code page 1252 text")
        << t << target("\xB5 \xB0 \xE9") << QString::fromUtf16(u"µ ° é");
#endif
  QTest::newRow("text after NUL dropped") << t << target(bytes("abc\0def\0", 8)) << "abc";
  QTest::newRow("NUL first") << t << target(bytes("\0abc", 4)) << "";
  // UTF-16 as Notepad ("Unicode") and PowerShell 5 save it, on any system.
  QTest::newRow("UTF-16 LE") << t << target(bytes("\xFF\xFEH\0i\0\r\0\n\0\xC7\x30", 12))
                             << QString::fromUtf16(u"Hi\nデ");
  QTest::newRow("UTF-16 BE, half a unit at the end")
      << t << target(bytes("\xFE\xFF\0H\0i\0\n\x30\xC7\0", 11))
      << QString::fromUtf16(u"Hi\nデ\uFFFD");
  QTest::newRow("UTF-16 ends at a NUL unit, not a NUL byte")
      << t << target(bytes("\xFF\xFE\x3D\xD8\0\xDE\0\x30\0\0x\0", 12))
      << QString::fromUtf16(u"\U0001F600\u3000");
  QTest::newRow("tabs and trailing blanks kept") << t << target("\tx  \n  y") << "\tx  \n  y";

  // An empty box.
  QTest::newRow("no script.inp") << QByteArray() << ab << "";
  QTest::newRow("empty script.inp") << QByteArray("") << ab << "";
  QTest::newRow("blank script.inp") << QByteArray(" \t\r\n\n") << ab << "";
  QTest::newRow("missing target") << QByteArray("c.txt\n") << ab << "";
  QTest::newRow("empty target") << t << target({}) << "";
  QTest::newRow("target is a folder") << QByteArray("sub\n") << entry_map{{"sub/", {}}} << "";
}

void script_loading_test::shows() {
  QFETCH(QByteArray, script);
  QFETCH(entry_map, entries);
  QFETCH(QString, expected);

  if (!script.isNull()) {
    script.replace("@DIR@", work_dir_in_url());
    script.replace("<work>", QDir::toNativeSeparators(dir_->path()).toLocal8Bit());
    QVERIFY(make_entry(QStringLiteral("script.inp"), script));
  }
  for (auto it = entries.cbegin(); it != entries.cend(); ++it)
    QVERIFY2(make_entry(it.key(), it.value()), qPrintable(it.key()));
  const entry_map before = snapshot();
  const open_counter counter;

  {
    MainWindow window;
    const QPlainTextEdit* edit = text_box(window);
    QVERIFY(edit != nullptr);
    QCOMPARE(edit->toPlainText(), expected);
    QCOMPARE(edit->blockCount(), expected.count(QLatin1Char('\n')) + 1);
    // Nothing but the load itself is on the undo stack.
    QCOMPARE(edit->document()->isUndoAvailable(), !expected.isEmpty());
  }
  const QMap<QString, int> opens = counter.opens();
#ifdef Q_OS_LINUX
  QCOMPARE(opens.value(QStringLiteral("script.inp")), script.isNull() ? 0 : 1);
#endif
  for (auto it = opens.cbegin(); it != opens.cend(); ++it)
    QVERIFY2(it.value() == 1,
             qPrintable(it.key() + " opened " + QString::number(it.value()) + " times"));

  // Read, decoded and checked a few bytes at a time, as a big file is, the text
  // comes out as it does in one go.
  const script_text whole = load_script_text(script_path_spellings());
  for (const qint64 piece : {1, 2, 3, 7}) {
    const script_text pieces = load_in_pieces(piece);
    QCOMPARE(pieces.text, whole.text);
    QCOMPARE(pieces.line_breaks, whole.line_breaks);
  }

  QCOMPARE(snapshot(), before);
}

void script_loading_test::shows_under_ansi_code_page_data() {
  QTest::addColumn<QByteArray>("codec");
  QTest::addColumn<QByteArray>("script");
  QTest::addColumn<entry_map>("entries");
  QTest::addColumn<QString>("expected");

  const QByteArray western("Windows-1252");
  const QString name = QString::fromUtf16(u"données.txt");
  const QByteArray utf8_name(
      "donn\xC3\xA9"
      "es.txt\n");
  QTest::newRow("UTF-8 name") << western << utf8_name << entry_map{{name, "accent"}} << "accent";
  QTest::newRow("the code page's reading wins")
      << western << utf8_name
      << entry_map{{name, "accent"}, {QString::fromUtf16(u"donnÃ©es.txt"), "code page"}}
      << "code page";
  // Whether the name is UTF-8 is decided on its line alone.
  QTest::newRow("UTF-8 name, then 600,000 é")
      << western << utf8_name + QByteArray("\xC3\xA9").repeated(600000)
      << entry_map{{name, "accent"}} << "accent";
  QTest::newRow("2 MB of blank lines, then a UTF-8 name")
      << western << QByteArray(2000000, '\n') + utf8_name << entry_map{{name, "accent"}}
      << "accent";
  QTest::newRow("UTF-8 name, then a stray byte") << western << utf8_name + "x\xFF\n"
                                                 << entry_map{{name, "accent"}} << "accent";
  QTest::newRow("UTF-8 no-break space line, then the name")
      << western << QByteArray("\xC2\xA0\nt.txt\n") << entry_map{{"t.txt", "hello"}} << "hello";
  QTest::newRow("Shift-JIS ideographic space line, then the name")
      << QByteArray("Shift_JIS") << QByteArray("\x81\x40\r\nt.txt\n")
      << entry_map{{"t.txt", "hello"}} << "hello";
  QTest::newRow("code page name") << western
                                  << QByteArray(
                                         "donn\xE9"
                                         "es.txt\n")
                                  << entry_map{{name, "accent"}} << "accent";

  // The text: valid UTF-8 as UTF-8 on every system, anything else in the
  // system's encoding unless that is UTF-8 or a UTF-8 mark says otherwise.
  const QByteArray t("t.txt\n");
  const auto target = [](const QByteArray& content) { return entry_map{{"t.txt", content}}; };
  const QByteArray japanese("Shift_JIS");
  QTest::newRow("code page 1252 text") << western << t << target(bytes("\xB5 \xB0 \xE9t\xE9\0x", 9))
                                       << QString::fromUtf16(u"µ ° été");
  QTest::newRow("UTF-8 under 1252")
      << western << t << target("gr\xC3\xBC\xC3\x9F") << QString::fromUtf16(u"grüß");
  QTest::newRow("UTF-8 mark, invalid bytes")
      << western << t << target("\xEF\xBB\xBF\xB5\xE9") << QString::fromUtf16(u"\uFFFD\uFFFD");
  QTest::newRow("Shift-JIS text") << japanese << t
                                  << target(
                                         "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x52\x83\x81"
                                         "\x83\x93\x83\x67 \x83\x5C\x81\x5B\x83\x58")
                                  << QString::fromUtf16(u"日本語のコメント ソース");
  QTest::newRow("UTF-8 system: replacement characters")
      << QByteArray("UTF-8") << t << target("\xB5\x83\x5C")
      << QString::fromUtf16(u"\uFFFD\uFFFD\\");
}

// Names are made and looked up through the codec, as Windows makes them
// through its code page; the folder goes while the codec still holds, since
// its names do not decode under any other.
void script_loading_test::shows_under_ansi_code_page() {
  QFETCH(QByteArray, codec);
  QVERIFY(QTextCodec::codecForName(codec) != nullptr);
  const locale_codec system(codec.constData());
  shows();
  dir_.reset();
}

void script_loading_test::same_text_wherever_pieces_fall_data() {
  QTest::addColumn<QByteArray>("codec");  // the file's, or a locale's; empty: the system's
  QTest::addColumn<QByteArray>("bytes");  // placed where the window's pieces meet
  QTest::addColumn<QString>("text");      // what they show; null: as the codec reads them

  const QByteArray utf8("UTF-8");
  const QByteArray utf16("UTF-16LE");
  const auto replaced = [](int count) { return QString(count, QChar::ReplacementCharacter); };
  QTest::newRow("UTF-8 cut to 2 of 3 bytes") << utf8 << QByteArray("\xE4\xB8") << replaced(2);
  QTest::newRow("UTF-8 cut to 3 of 4 bytes") << utf8 << QByteArray("\xF0\x9F\x98") << replaced(3);
  QTest::newRow("UTF-8 4 bytes") << utf8 << QByteArray("\xF0\x9F\x98\x80")
                                 << QString::fromUtf16(u"\U0001F600");
  QTest::newRow("UTF-8 lead byte, then a character")
      << utf8 << QByteArray("\xE4\xC3\xA9") << replaced(1) + QString::fromUtf16(u"é");
  QTest::newRow("UTF-8 continuation bytes alone")
      << utf8 << QByteArray("\x80\xBF\x80\x80\x80") << replaced(5);
  QTest::newRow("UTF-8 surrogate") << utf8 << QByteArray("\xED\xA0\x80") << replaced(3);
  QTest::newRow("UTF-8 overlong") << utf8 << QByteArray("\xC0\xAF") << replaced(2);
  QTest::newRow("UTF-8 mark inside the text")
      << utf8 << QByteArray("\xEF\xBB\xBF") << QString(1, QChar(0xFEFF));
  QTest::newRow("UTF-16 pair") << utf16 << bytes("\x3D\xD8\x00\xDE", 4)
                               << QString::fromUtf16(u"\U0001F600");
  QTest::newRow("UTF-16 high surrogate alone") << utf16 << QByteArray("\x3D\xD8") << replaced(1);
  QTest::newRow("UTF-16 low surrogate alone") << utf16 << bytes("\x00\xDE", 2) << replaced(1);
  QTest::newRow("UTF-16 half a unit") << utf16 << QByteArray("\x41") << replaced(1);
  // The locale's codec, as on a Japanese Windows, once the bytes are no UTF-8.
  QTest::newRow("Shift-JIS, cut off")
      << QByteArray("Shift_JIS") << QByteArray("\x83\x5C\x83") << QString();
  QTest::newRow("Shift-JIS") << QByteArray("Shift_JIS") << QByteArray("\x93\xFA\x96\x7B")
                             << QString();
#ifdef Q_OS_WIN
  if (GetACP() == 932)
    QTest::newRow("system code page, cut off")
        << QByteArray() << QByteArray("\x83\x5C\x83") << QString();
#endif
}

// The window reads a file 32 KiB at a time; whether its pieces meet before,
// within or after a character, the text is what one conversion of the whole
// file gives: the same bytes show the same way in the file's midst and at its
// end, wherever they lie.
void script_loading_test::same_text_wherever_pieces_fall() {
  QFETCH(QByteArray, codec);
  QFETCH(QByteArray, bytes);
  QFETCH(QString, text);
  const bool utf16 = codec == "UTF-16LE";
  std::optional<locale_codec> system;
  if (!utf16 && codec != "UTF-8" && !codec.isEmpty()) system.emplace(codec.constData());
  // Where the system's code page is not UTF-8, bytes that are no UTF-8 show
  // in that code page instead.
  const bool in_locale =
      codec == "UTF-8" && text.contains(QChar::ReplacementCharacter) &&
      QTextCodec::codecForLocale()->toUnicode("\xC3\xA9") != QStringLiteral("\u00E9");
  const QByteArray mark = utf16 ? "\xFF\xFE" : "";
  const auto in_file = [utf16](const QString& plain) {
    if (!utf16) return plain.toLatin1();
    QByteArray units(2 * plain.size(), '\0');
    qToLittleEndian<quint16>(plain.utf16(), plain.size(), units.data());
    return units;
  };
  constexpr int piece = 1 << 15;
  for (int at = piece - 5; at <= piece + 1; ++at) {
    if (utf16 && at % 2 != 0) continue;
    for (const bool at_end : {true, false}) {
      // Half a unit can only end a file.
      if (utf16 && bytes.size() % 2 != 0 && !at_end) continue;
      QString before((at - mark.size()) / (utf16 ? 2 : 1), QLatin1Char('a'));
      for (int i = 63; i < before.size(); i += 64) before[i] = QLatin1Char('\n');
      const QString after = at_end ? QString() : QStringLiteral("z");
      const QByteArray content = mark + in_file(before) + bytes + in_file(after);
      QString expected = before + text + after;
      if (codec == "UTF-8") QCOMPARE(QString::fromUtf8(content), expected);
      if (text.isNull() || in_locale) expected = QTextCodec::codecForLocale()->toUnicode(content);
      // The box gives a no-break space (A0 in code page 1252) back as a space.
      expected.replace(QChar::Nbsp, QLatin1Char(' '));
      QVERIFY(make_entry(QStringLiteral("script.inp"), "t.txt"));
      QVERIFY(make_entry(QStringLiteral("t.txt"), content));
      MainWindow window;
      QVERIFY2(text_box(window)->toPlainText() == expected,
               qPrintable(QStringLiteral("at %1%2").arg(at).arg(at_end ? ", at the end" : "")));
    }
  }
}

void script_loading_test::undo_takes_the_load_back() {
  QVERIFY(make_entry(QStringLiteral("script.inp"), "t.txt"));
  QVERIFY(make_entry(QStringLiteral("t.txt"), "line 1\nline 2\r\nline 3\rline 4"));

  MainWindow window;
  QPlainTextEdit* edit = text_box(window);
  QCOMPARE(edit->blockCount(), 4);
  QVERIFY(edit->document()->isUndoAvailable());
  edit->undo();
  QCOMPARE(edit->toPlainText(), QString());
  QVERIFY(!edit->document()->isUndoAvailable());
  edit->redo();
  QCOMPARE(edit->toPlainText(), QStringLiteral("line 1\nline 2\nline 3\nline 4"));
}

void script_loading_test::long_lines_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<int>("long_line");  // the block kept laid out; -1: none, default wrap

  const QByteArray at_limit(static_cast<int>(long_line_units), 'x');
  const QByteArray over = at_limit + 'x';
  const QByteArray paragraph("\xE2\x80\xA9");
  QTest::newRow("ordinary text") << QByteArray("one two\nthree\n") << -1;
  QTest::newRow("at the limit") << at_limit + "\nb" << -1;
  QTest::newRow("one over, after a line") << "a\n" + over << 1;
  QTest::newRow("one over, ended by a lone CR") << "a\r\n" + over + "\rb" << 1;
  QTest::newRow("one over, ended by U+2029") << over + paragraph + "b" << 0;
  QTest::newRow("lone CRs split it") << at_limit.left(6000) + "\r" + at_limit << -1;
  QTest::newRow("U+2029 splits it") << at_limit.left(6000) + paragraph + at_limit << -1;
}

// Lines too long for the box's default wrap mode are broken anywhere, and
// their layout kept; the text and the load as an undoable edit stay as they are.
void script_loading_test::long_lines() {
  QFETCH(QByteArray, content);
  QFETCH(int, long_line);
  QVERIFY(make_entry(QStringLiteral("script.inp"), "t.txt"));
  QVERIFY(make_entry(QStringLiteral("t.txt"), content));

  MainWindow window;
  QPlainTextEdit* edit = text_box(window);
  QCOMPARE(edit->wordWrapMode(),
           long_line < 0 ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::WrapAnywhere);
  for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next())
    QCOMPARE(block.layout()->cacheEnabled(), block.blockNumber() == long_line);
  QString text = QString::fromUtf8(content);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
      .replace(QLatin1Char('\r'), QLatin1Char('\n'))
      .replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  QCOMPARE(edit->toPlainText(), text);
  edit->undo();
  QCOMPARE(edit->toPlainText(), QString());
  for (const qint64 piece : {1, 4096})
    QCOMPARE(load_in_pieces(piece).long_lines, long_line < 0 ? QVector<int>{} : QVector{long_line});
}

void script_loading_test::too_large_data() {
  QTest::addColumn<qint64>("size");
  QTest::addColumn<QString>("expected");

  // Sparse files that start "abc" then NUL: whatever is read shows as "abc",
  // so an empty box means the size alone refused the file.
  QTest::newRow("at the limit") << max_script_bytes << "abc";
  QTest::newRow("one byte over") << max_script_bytes + 1 << "";
  QTest::newRow("over 2 GiB") << (qint64{1} << 31) + 1 << "";
  QTest::newRow("over 4 GiB") << (qint64{1} << 32) + 3 << "";
}

void script_loading_test::too_large() {
  QFETCH(qint64, size);
  QFETCH(QString, expected);

  QVERIFY(make_entry(QStringLiteral("script.inp"), "big.txt\n"));
  QVERIFY(make_sparse(QStringLiteral("big.txt"), QByteArray("abc\0", 4), size));

  MainWindow window;
  QVERIFY(loaded(text_box(window)));
  QCOMPARE(text_box(window)->toPlainText(), expected);
}

void script_loading_test::beyond_text_box_data() {
  QTest::addColumn<QByteArray>("content");
  const QByteArray long_line(static_cast<int>(max_script_line_units) + 1, 'x');
  QTest::newRow("one line too long") << long_line;
  QTest::newRow("too long line between short ones") << "a\r\n" + long_line + "\rb\n";
  QTest::newRow("one line too many") << QByteArray(static_cast<int>(max_script_lines), '\n');
}

// Texts that Qt's text box cannot take whole (it aborts or overruns a buffer)
// leave it empty instead; the texts just within reach are in the huge checks.
void script_loading_test::beyond_text_box() {
  QFETCH(QByteArray, content);
  QVERIFY(make_entry(QStringLiteral("script.inp"), "t.txt"));
  QVERIFY(make_entry(QStringLiteral("t.txt"), content));

  MainWindow window;
  QVERIFY(loaded(text_box(window)));
  QCOMPARE(text_box(window)->toPlainText(), QString());
}

void script_loading_test::endless_devices_data() {
  QTest::addColumn<QString>("link");
  QTest::addColumn<QByteArray>("script");
  QTest::newRow("target without end") << "zero" << QByteArray("zero\n");
  QTest::newRow("script.inp without end") << "script.inp" << QByteArray();
}

// A device reports no size; reading it must still end, and without the box or
// memory filling up.
void script_loading_test::endless_devices() {
#ifdef Q_OS_UNIX
  QFETCH(QString, link);
  QFETCH(QByteArray, script);
  if (!script.isNull()) QVERIFY(make_entry(QStringLiteral("script.inp"), script));
  QVERIFY(QFile::link(QStringLiteral("/dev/zero"), link));

  MainWindow window;
  QCOMPARE(text_box(window)->toPlainText(), QString());
#else
  QSKIP("needs /dev/zero");
#endif
}

void script_loading_test::at_once_or_after_showing_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<QString>("expected");
  QTest::addColumn<bool>("at_once");
  QTest::addColumn<int>("long_line");  // the block kept laid out; -1: none

  // 80-column lines to 8 MiB exactly, and a byte more.
  const QByteArray line = QByteArray(79, 'x') + '\n';
  const QByteArray lines = line.repeated(static_cast<int>(script_load_at_once_bytes / line.size()));
  const QByteArray tail(static_cast<int>(script_load_at_once_bytes % line.size()), 'x');
  QTest::newRow("8 MiB") << lines + tail << QString(lines + tail) << true << -1;
  QTest::newRow("8 MiB and a byte")
      << lines + tail + 'x' << QString(lines + tail + 'x') << false << -1;
  const QByteArray breaks(script_load_at_once_lines - 1, '\n');
  QTest::newRow("as many lines as at once") << breaks << QString(breaks) << true << -1;
  QTest::newRow("a line more") << breaks + '\n' << QString(breaks + '\n') << false << -1;

  // Bigger files whose pieces meet CR LF, a long line, or UTF-16.
  const QByteArray crlf = (QByteArray(998, 'c') + "\r\n").repeated(8400);
  const QByteArray long_line(static_cast<int>(long_line_units) + 1, 'y');
  QString crlf_text = QString(crlf).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QTest::newRow("CR LF and a long line")
      << crlf + long_line + "\r\nend" << crlf_text + QString(long_line) + "\nend" << false << 8400;
  const QString utf16_line = QString(98, QChar(0x30C7)) + "\r\n";
  const QString utf16_text = utf16_line.repeated(42000);
  QByteArray utf16("\xFF\xFE");
  utf16.resize(2 + 2 * utf16_text.size());
  qToLittleEndian<quint16>(utf16_text.utf16(), utf16_text.size(), utf16.data() + 2);
  QTest::newRow("UTF-16") << utf16 << QString(utf16_text).replace(QStringLiteral("\r\n"), "\n")
                          << false << -1;
}

// A file too big to load before the window shows is loaded after it, from the
// event loop, to the same end: the same text, the cursor after it, the same
// wrap and kept layouts, and one Undo that takes it all back.
void script_loading_test::at_once_or_after_showing() {
  QFETCH(QByteArray, content);
  QFETCH(QString, expected);
  QFETCH(bool, at_once);
  QFETCH(int, long_line);
  QVERIFY(make_entry(QStringLiteral("script.inp"), "t.txt"));
  QVERIFY(make_entry(QStringLiteral("t.txt"), content));

  MainWindow window;
  QPlainTextEdit* edit = text_box(window);
  // Until it has loaded, the box is read-only and the status bar shows progress.
  QCOMPARE(edit->isReadOnly(), !at_once);
  QCOMPARE(window.statusBar()->findChild<QProgressBar*>() == nullptr, at_once);
  QVERIFY(loaded(edit));
  QVERIFY(window.statusBar()->findChild<QProgressBar*>() == nullptr);

  QCOMPARE(edit->toPlainText(), expected);
  QCOMPARE(edit->textCursor().position(), edit->document()->characterCount() - 1);
  QCOMPARE(edit->wordWrapMode(),
           long_line < 0 ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::WrapAnywhere);
  if (long_line >= 0)
    QVERIFY(edit->document()->findBlockByNumber(long_line).layout()->cacheEnabled());
  edit->undo();
  QCOMPARE(edit->document()->characterCount(), 1);
  QVERIFY(!edit->document()->isUndoAvailable());
  edit->redo();
  QCOMPARE(edit->toPlainText(), expected);
}

// A close request while a big file loads ends the event loop with status 0
// before the rest of the file is in.
void script_loading_test::close_while_loading() {
  const QByteArray line = QByteArray(79, 'x') + '\n';
  const int lines = static_cast<int>(4 * script_load_at_once_bytes / line.size());
  QVERIFY(make_entry(QStringLiteral("script.inp"), "t.txt"));
  QVERIFY(make_entry(QStringLiteral("t.txt"), line.repeated(lines)));

  MainWindow window;
  QPlainTextEdit* edit = text_box(window);
  // Asked to close as soon as the first lines are in.
  QObject::connect(edit, &QPlainTextEdit::blockCountChanged, &window, &QWidget::close,
                   Qt::QueuedConnection);
  window.show();
  QCOMPARE(QApplication::exec(), 0);
  QVERIFY(edit->isReadOnly());
  QVERIFY(edit->blockCount() < lines);
}

QTEST_MAIN(script_loading_test)
#include "script_loading_test.moc"
