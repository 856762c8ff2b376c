#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTextCodec>
#include <QVector>

#include <limits>
#include <memory>

// Qt 5 keeps a string's UTF-16 units, a terminator and a 24-byte header in one
// block of at most INT_MAX bytes, and the text box keeps all its text in one
// such string, plus one separator for each line break and a few of its own. No
// byte decodes to more than one unit, so a file of more bytes than this can
// never be shown; within it, the line breaks decide.
inline constexpr qint64 max_script_bytes =
    (qint64{std::numeric_limits<int>::max()} - 24) / qint64{sizeof(QChar)} - 1 - 4096;

// Qt 5 lays a line out in one buffer whose size it computes in int, 21 bytes
// per glyph: past about 102 million glyphs the size wraps and the layout
// writes out of bounds. Half of that leaves room for scripts that shape into
// more glyphs than units.
inline constexpr qint64 max_script_line_units = qint64{1} << 25;

// Each line costs the text box about 140 bytes of its own besides the text, and
// two microseconds to insert (Qt 5.15.8 on x86-64, measured in December 2026):
// this many lines need some 2.4 GB.
inline constexpr qint64 max_script_lines = qint64{1} << 24;

// Under its default wrap mode the text box breaks a line only after it has
// looked ahead to the next break opportunity, so a line with nowhere to break
// but its end takes time that grows with its square. Lines up to this length
// cost nothing worth noting under any mode; longer ones are broken anywhere.
inline constexpr qint64 long_line_units = 10000;

// A file up to this size, and of fewer lines than the next, is loaded as the
// window is built, before it appears; a bigger one after the window appears,
// a step at a time from the event loop. The box spends a few microseconds on
// each line whatever its length, so lines bound the wait as much as bytes.
inline constexpr qint64 script_load_at_once_bytes = qint64{8} << 20;
inline constexpr int script_load_at_once_lines = 1 << 17;

// A file's text as the window shows it, split as the box splits lines (at LF,
// CR, CR LF and the paragraph and frame marks).
struct script_text {
  QString text;
  int line_breaks = 0;
  QVector<int> long_lines;  // the lines longer than long_line_units
  // Where one insertion of a few thousand units may end and the next start:
  // past a line break, never within a CR LF or a line, which the box would
  // take for two lines, or lay out once for each part.
  QVector<int> piece_ends;
};

// Loads the text of the first of `spellings` that opens, a piece at a time, so
// that the window can keep answering while a big file loads. The file is
// opened and read once, so a pipe loses nothing. The text, up to the first
// NUL, is UTF-16 after its mark, or else UTF-8, unless the bytes are not
// UTF-8, have no UTF-8 mark, and the locale's codec is not UTF-8: then the
// locale's; whatever the pieces, it is what one conversion of all the bytes
// gives (and in UTF-16, half a surrogate pair is a replacement character,
// as a cut-off character is). It is empty when no name opens, or when the text box could not
// take it: more than max_script_bytes bytes (or units and line breaks), a
// line longer than max_script_line_units, or max_script_lines lines or more.
class script_loader {
public:
  explicit script_loader(const QStringList& spellings);

  // Reads, decodes and checks about `bytes` more bytes; true once the text is
  // whole.
  bool load_piece(qint64 bytes);
  // Whether the file is bigger than `bytes`, as its size or what has been
  // read says.
  [[nodiscard]] bool bigger_than(qint64 bytes) const { return size_ > bytes || read_ > bytes; }
  // How much of the file is read, from 0 to 1 (0 for a pipe until its end).
  [[nodiscard]] double progress() const;
  // The text, once load_piece has returned true.
  [[nodiscard]] const script_text& text() const { return script_; }

private:
  void start_text(QTextCodec* codec);
  [[nodiscard]] int whole_part(const QByteArray& bytes) const;
  void decode(const QByteArray& bytes, bool last);
  void scan(bool last);
  void refuse();

  QFile file_;
  qint64 size_ = 0;  // 0 for a pipe or device
  qint64 read_ = 0;
  bool done_ = false;
  QTextCodec* codec_ = nullptr;
  std::unique_ptr<QTextDecoder> decoder_;
  int mib_ = 0;                  // the codec's encoding
  bool locale_reading_ = false;  // in the locale's codec, after text that was not UTF-8
  QByteArray held_;              // bytes read but not yet decoded (whole_part)
  // The bytes read, while a reading in the locale's codec may yet follow.
  bool keep_ = false;
  QByteArray kept_;
  script_text script_;
  int scanned_ = 0;
  int line_start_ = 0;
  bool fits_ = true;
};

// The text of the first of `spellings` that opens, read in one piece.
script_text load_script_text(const QStringList& spellings);
