#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

#include <limits>
#include <optional>

// Qt 5 keeps a string's UTF-16 units, a terminator and a 24-byte header in one
// block of at most INT_MAX bytes: 1073741810 units at most.
inline constexpr qint64 max_qstring_units =
    (qint64{std::numeric_limits<int>::max()} - 24) / qint64{sizeof(QChar)} - 1;

// The text box keeps everything inserted into it in one such string, plus one
// separator for each line break and a few of its own. A byte never decodes to
// more than one unit (in UTF-8, UTF-16 or a code page), so a file of more bytes
// than this can never be shown; within it, the line breaks decide (see
// load_script_text).
inline constexpr qint64 max_script_bytes = max_qstring_units - 4096;

// Qt 5 lays a line out in one buffer whose size it computes in int, 21 bytes
// per glyph: past about 102 million glyphs the size wraps and the layout
// writes out of bounds. Half of that leaves room for scripts that shape into
// more glyphs than units. Such a line already takes about ten seconds to lay out.
inline constexpr qint64 max_script_line_units = qint64{1} << 25;

// Each line costs the text box about 140 bytes of its own besides the text, and
// a few microseconds to insert: this many lines need some 2.4 GB and a minute.
inline constexpr qint64 max_script_lines = qint64{1} << 24;

// Under its default wrap mode the text box breaks a line only after it has
// looked ahead to the next break opportunity, so a line with nowhere to break
// but its end takes time that grows with its square: half a minute at 1 MB.
// Lines up to this length cost nothing worth noting under any mode.
inline constexpr qint64 long_line_units = 10000;

// The names that "script.inp" in the working directory gives, in the order
// they are tried; the first that names a file that opens is used. Read from
// its first non-blank line (a lone CR ends a line too), bounded as
// read_path_line bounds it:
//   1. the first word;
//   2. the line, without the whitespace around it (a path with spaces);
//   3. the text between the line's first two double quotes ("Copy as path");
//   4. each of these read as a file URL (file_url_path).
// All of these come first as the line reads in the encoding its byte-order
// mark names, or else in the locale's (the ANSI code page on Windows); then,
// when the line's bytes are UTF-8 that the locale's codec read otherwise,
// all again as UTF-8.
QStringList script_path_spellings();

// A file's text as the window shows it, the numbers of its lines longer than
// long_line_units, and how many line breaks it has, all counted as the text
// box splits lines (at LF, CR, CR LF and the paragraph and frame marks).
struct script_text {
  QString text;
  QVector<int> long_lines;
  int line_breaks = 0;
};

// How the bytes of a file to show are read as text.
enum class script_encoding {
  utf8,      // with or without its byte-order mark
  utf16_le,  // after a byte-order mark, which is not shown
  utf16_be,
  system,  // the locale's codec: the ANSI code page on Windows
};

// The encoding that a byte-order mark at the start of `head` names: UTF-16 in
// either byte order, or else UTF-8, which decode_script may still find to be
// the system's. It also decides where the text ends: at the first NUL unit in
// UTF-16, at the first NUL byte otherwise.
script_encoding script_encoding_by_mark(const QByteArray& head);

struct decoded_script {
  QString text;
  script_encoding encoding = script_encoding::utf8;
};

// The text of a file whose bytes up to its first NUL are `bytes`, and the
// encoding it was read in. Without a UTF-16 mark that is UTF-8, and invalid
// bytes show as replacement characters, unless the bytes are not UTF-8 and
// have no UTF-8 mark either, and the system's encoding is not UTF-8: then
// the system's. So valid UTF-8 always shows as UTF-8, whatever the system, and
// a file saved in the ANSI code page shows as Windows shows it.
decoded_script decode_script(const QByteArray& bytes);

// decode_script's work as script_loader does it, a piece at a time: the text
// of the first `decoded` bytes.
struct script_decoding : decoded_script {
  qint64 decoded = 0;
  bool invalid = false;  // some of the bytes so far are not UTF-8
};

// The line scan of load_script_text as script_loader does it, over a text that
// grows at its end: `scanned` units are counted, and the line not yet ended
// starts at `line_start`. `fits` turns false, for good, once the text is past
// what the box can take.
struct line_scan {
  qint64 scanned = 0;
  qint64 line_start = 0;
  int line_breaks = 0;
  QVector<int> long_lines;
  bool fits = true;
};

// A file up to this size is loaded as the window is built, before it appears,
// unless it has more than script_load_at_once_lines lines: 8 MiB of 80-column
// text takes half a second here from start to window. A bigger one is read and
// shown after the window appears, a piece at a time from the event loop.
inline constexpr qint64 script_load_at_once_bytes = qint64{8} << 20;

// The text box spends a few microseconds on each line whatever its length:
// 8 MiB of two-byte lines took half a minute before the window showed. This
// many lines take about as long as 8 MiB of 80-column text.
inline constexpr int script_load_at_once_lines = 1 << 17;

// The text of the first of `spellings` that opens, as load_script_text gives
// it, read, decoded and checked a piece at a time so that the window can keep
// answering while a big file loads. The file is opened once, when the loader is
// made, and stays open until it has been read.
class script_loader {
public:
  explicit script_loader(const QStringList& spellings);

  // Does about `bytes` bytes' worth of the work; true once the text is ready.
  bool load_piece(qint64 bytes);
  // How much of the work is done, from 0 to 1.
  [[nodiscard]] double progress() const;
  // The bytes read so far; they are kept until the loader goes.
  [[nodiscard]] qint64 bytes_read() const { return bytes_.size(); }
  // The text, once load_piece has returned true.
  script_text take_text();

private:
  enum class stage { reading, decoding, done };

  void read_piece(qint64 bytes);
  void decode_piece(qint64 bytes);
  void refuse();

  stage stage_ = stage::done;
  QFile file_;
  qint64 size_ = 0;  // the file's size, or 0 for a device without one
  QByteArray bytes_;
  std::optional<bool> utf16_;  // known once the mark's two bytes are in
  qint64 searched_ = 0;        // bytes looked through for a NUL
  script_decoding decoding_;
  line_scan scan_;
};

// The text, up to its first NUL, of the first of `spellings` that opens, read
// by decode_script; each is opened once, and the file that opened is the one
// read, so a pipe loses nothing. A name holding a NUL names no file. Empty
// when none opens, or when the text would break the text box: more than
// max_script_bytes bytes (or that many units and line breaks together), a line
// longer than max_script_line_units, or more than max_script_lines lines.
script_text load_script_text(const QStringList& spellings);

// Where the window's next insertion from `from` ends: just past the first line
// break at or after `from + units` (both units of a CR LF), or at the end of
// `text`. Whole lines keep a long line's layout to one pass, and a CR LF cut
// in two would make two breaks.
int script_piece_end(const QString& text, int from, int units);
