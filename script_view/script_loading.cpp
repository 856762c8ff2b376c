#include "script_loading.h"

#include <QIODevice>

#include "path_forms.h"
#include "path_line.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace {

constexpr int utf8_mib = 106;
constexpr int utf16_be_mib = 1013;
constexpr int utf16_le_mib = 1014;

// How much text the window inserts in one go: small, so that what is made for
// one insertion and dropped after it comes from the C library's heap, where
// blocks of megabytes of their own would leave holes for the box's growing
// structures to grow around.
constexpr int piece_units = 1 << 15;

// Every reading of the hand-off line, in the order its names are tried (see
// script_path_spellings). Most editors and scripts write UTF-8 without a
// mark, which Windows's ANSI code page reads otherwise.
QStringList readings(const path_line& line) {
  if (line.marked) return {QString::fromStdString(line.text)};
  const QByteArray bytes = QByteArray::fromStdString(line.bytes);
  QTextCodec::ConverterState state;
  QStringList texts{
      QTextCodec::codecForLocale()->toUnicode(bytes),
      QTextCodec::codecForMib(utf8_mib)->toUnicode(bytes.constData(), bytes.size(), &state),
      QString::fromStdWString(oem_reading(line.bytes))};
  if (state.invalidChars != 0 || state.remainingChars != 0) texts[1].clear();
  texts.removeAll(QString());
  texts.removeDuplicates();
  return texts;
}

// A line with nothing but spaces in one of its readings, such as the
// ideographic space that Japanese input methods type, names no file.
bool is_blank(const path_line& line) {
  const QStringList texts = readings(line);
  return std::any_of(texts.begin(), texts.end(),
                     [](const QString& text) { return text.trimmed().isEmpty(); });
}

// The offset of the first NUL of `bytes`: a NUL byte, or in UTF-16 a NUL
// unit, its two bytes at an even offset. -1 when there is none.
int find_nul(const QByteArray& bytes, bool utf16) {
  if (!utf16) return bytes.indexOf('\0');
  for (int i = 0; i + 1 < bytes.size(); i += 2)
    if (bytes[i] == '\0' && bytes[i + 1] == '\0') return i;
  return -1;
}

bool is_line_break(char16_t unit) {
  return unit == u'\n' || unit == u'\r' || unit == QChar::ParagraphSeparator ||
         unit == 0xFDD0 /* QTextBeginningOfFrame */ || unit == 0xFDD1 /* QTextEndOfFrame */;
}

}  // namespace

QStringList script_path_spellings() {
  const path_line line = read_path_line("script.inp", line_end::newline_or_return, is_blank);
  QStringList spellings;
  for (const QString& text : readings(line)) {
    // The first word as QTextStream reads one: the first run of non-spaces.
    const QString as_written[] = {
        text.simplified().section(QLatin1Char(' '), 0, 0), text.trimmed(),
        text.count(QLatin1Char('"')) < 2 ? QString() : text.section(QLatin1Char('"'), 1, 1)};
    for (const QString& name : as_written) spellings.append(name);
    // file_url_path's rules work on bytes: the name goes there as UTF-8.
    for (const QString& name : as_written)
      spellings.append(QString::fromStdString(file_url_path(name.toStdString())));
  }
  spellings.removeAll(QString());
  spellings.removeDuplicates();
  return spellings;
}

script_loader::script_loader(const QStringList& spellings) {
  for (const QString& path : spellings) {
    // QFile would warn about an empty name, and end a name at a NUL, which
    // would open another file.
    if (path.isEmpty() || path.contains(QChar::Null)) continue;
    file_.setFileName(path);
    if (file_.open(QIODevice::ReadOnly)) break;
  }
  size_ = file_.isOpen() && !file_.isSequential() ? file_.size() : 0;
  // A regular file too large is refused before any byte is read.
  if (!file_.isOpen() || size_ > max_script_bytes) {
    refuse();
    return;
  }
  const QByteArray head = file_.peek(3);
  start_text(QTextCodec::codecForMib(head.startsWith("\xFF\xFE")   ? utf16_le_mib
                                     : head.startsWith("\xFE\xFF") ? utf16_be_mib
                                                                   : utf8_mib));
  // Only the UTF-8 codec reads C3 A9 as "é"; on Windows the locale's codec is
  // "System" whatever the code page, 65001 (UTF-8) included.
  keep_ = mib_ == utf8_mib && !head.startsWith("\xEF\xBB\xBF") &&
          QTextCodec::codecForLocale()->toUnicode("\xC3\xA9") != QStringLiteral("\u00E9");
  if (keep_) kept_.reserve(static_cast<int>(size_));
}

bool script_loader::load_piece(qint64 bytes) {
  if (done_) return true;
  // An even number, so that each piece of UTF-16 starts at a whole unit; and
  // one byte past the limit, so that a file grown since its size was taken,
  // or a device, is caught as too large.
  QByteArray piece =
      file_.read(std::min(std::max<qint64>(2, bytes + bytes % 2), max_script_bytes + 1 - read_));
  read_ += piece.size();
  // Nothing after the first NUL is shown, which also ends the read of a
  // device such as /dev/zero at once.
  const int nul = find_nul(piece, mib_ == utf16_le_mib || mib_ == utf16_be_mib);
  if (nul < 0 && read_ > max_script_bytes) {
    refuse();
    return true;
  }
  if (nul >= 0) piece.truncate(nul);
  const bool last = nul >= 0 || piece.isEmpty();
  if (last) file_.close();
  if (keep_) kept_ += piece;
  decode(piece, last);
  scan(last);
  // UTF-8 that may yet turn out not to be is not refused: the reading in the
  // locale's codec may have other lines.
  if (!fits_ && (last || !keep_)) {
    refuse();
  } else if (last) {
    kept_ = QByteArray();
    done_ = true;
  }
  return done_;
}

double script_loader::progress() const {
  if (!file_.isOpen()) return 1;
  return size_ == 0 ? 0 : static_cast<double>(read_) / static_cast<double>(size_);
}

// Starts the text afresh, decoded by `codec`.
void script_loader::start_text(QTextCodec* codec) {
  decoder_.reset(codec->makeDecoder());
  mib_ = codec->mibEnum();
  script_ = {};
  // No byte decodes to more than one unit; the text grows into this room.
  script_.text.reserve(static_cast<int>(std::max<qint64>(size_, kept_.size())));
  scanned_ = line_start_ = 0;
  fits_ = true;
}

void script_loader::decode(const QByteArray& bytes, bool last) {
  script_.text += decoder_->toUnicode(bytes);
  tail_ = (tail_ + bytes.right(3)).right(3);
  const bool cut_off = last && decoder_->needsMoreData();
  if (keep_ && (decoder_->hasFailure() || cut_off)) {
    // Not UTF-8: all again in the locale's codec, the first text gone before
    // the second is made, since it may take gigabytes.
    keep_ = false;
    start_text(QTextCodec::codecForLocale());
    return decode(std::exchange(kept_, QByteArray()), last);
  }
  // A character cut off at the end shows as replacement characters, as bytes
  // that are not text do: one for half a UTF-16 unit or a lead byte, and for
  // UTF-8 one for each byte of the sequence, as QString::fromUtf8 gives them.
  int cut_bytes = 1;
  while (mib_ == utf8_mib && cut_bytes < tail_.size() &&
         (static_cast<uchar>(tail_[tail_.size() - cut_bytes]) & 0xC0) == 0x80)
    ++cut_bytes;
  if (cut_off) script_.text += QString(cut_bytes, QChar::ReplacementCharacter);
}

// Counts the lines of the text decoded since the last scan (see script_text),
// and whether the text box can take them: every line start also takes one
// unit of the box's string. Unless `last`, more text may follow, and a CR at
// the end waits for it.
void script_loader::scan(bool last) {
  static_assert(long_line_units < max_script_line_units && max_script_lines <= INT_MAX);
  const QChar* const begin = script_.text.constData();
  const QChar* end = begin + script_.text.size();
  if (!last && end != begin && end[-1] == QLatin1Char('\r')) --end;
  // False when the line is past what the box can lay out at all.
  const auto end_line = [this](int line_end) {
    if (line_end - line_start_ > long_line_units) script_.long_lines.append(script_.line_breaks);
    return line_end - line_start_ <= max_script_line_units;
  };
  const auto last_piece_end = [this] {
    return script_.piece_ends.isEmpty() ? 0 : script_.piece_ends.last();
  };
  const QChar* c = begin + scanned_;
  for (; c != end && fits_; ++c) {
    const char16_t unit = c->unicode();
    // Nearly every unit of a text lies between CR and the paragraph mark.
    if ((unit > u'\r' && unit < QChar::ParagraphSeparator) || !is_line_break(unit)) continue;
    fits_ = end_line(static_cast<int>(c - begin));
    if (unit == u'\r' && c + 1 != end && c[1] == QLatin1Char('\n')) ++c;
    fits_ = fits_ && ++script_.line_breaks < max_script_lines;
    line_start_ = static_cast<int>(c + 1 - begin);
    if (line_start_ - last_piece_end() >= piece_units) script_.piece_ends.append(line_start_);
  }
  scanned_ = static_cast<int>(c - begin);
  if (!last || !fits_) return;
  const int size = script_.text.size();
  fits_ = end_line(size) && qint64{size} + script_.line_breaks <= max_script_bytes;
  if (size > last_piece_end()) script_.piece_ends.append(size);
}

// Past the box's limits Qt aborts or corrupts memory; an empty box instead.
void script_loader::refuse() {
  file_.close();
  kept_ = QByteArray();
  script_ = {};
  fits_ = false;
  done_ = true;
}

script_text load_script_text(const QStringList& spellings) {
  script_loader loader(spellings);
  while (!loader.load_piece(max_script_bytes)) {
  }
  return loader.text();
}
