#include "script_loading.h"

#include <QIODevice>

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
  const bool utf8_mark = head.startsWith("\xEF\xBB\xBF");
  keep_ = mib_ == utf8_mib && !utf8_mark &&
          QTextCodec::codecForLocale()->toUnicode("\xC3\xA9") != QStringLiteral("\u00E9");
  if (keep_) kept_.reserve(static_cast<int>(size_));
  // The mark is passed over here, and the decoders take none: Qt's UTF-8
  // decoder would take U+FEFF at the start of a later piece for one when all
  // pieces before were ASCII.
  read_ += file_.read(utf8_mark ? 3 : mib_ == utf8_mib ? 0 : 2).size();
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
  codec_ = codec;
  decoder_.reset(codec->makeDecoder(QTextCodec::IgnoreHeader));
  mib_ = codec->mibEnum();
  held_ = QByteArray();
  script_ = {};
  // No byte decodes to more than one unit; the text grows into this room.
  script_.text.reserve(static_cast<int>(std::max<qint64>(size_, kept_.size())));
  scanned_ = line_start_ = 0;
  fits_ = true;
}

// How much of `bytes` can be decoded now so that the text comes out as one
// conversion of all the bytes gives it, wherever the pieces fall: Qt's
// decoders read a character that a piece cuts off otherwise than one that
// lies whole in a piece. UTF-8 up to the last byte that may start a cut-off
// character; UTF-16 in whole units, but for a high surrogate at the end,
// whose low one may follow; and the locale's codec in whole lines, since in
// every code page a line break is a byte of its own.
int script_loader::whole_part(const QByteArray& bytes) const {
  const int size = bytes.size();
  if (mib_ == utf16_le_mib || mib_ == utf16_be_mib) {
    const int units = size & ~1;
    if (units < 2) return units;
    const auto high_byte = static_cast<uchar>(bytes[units - (mib_ == utf16_le_mib ? 1 : 2)]);
    return (high_byte & 0xFC) == 0xD8 ? units - 2 : units;
  }
  if (!locale_reading_) {
    for (int i = size - 1; i >= 0 && i >= size - 3; --i) {
      const auto byte = static_cast<uchar>(bytes[i]);
      if (byte < 0x80) return i + 1;
      if ((byte & 0xC0) != 0x80) return i;
    }
    return size;
  }
  return bytes.lastIndexOf('\n') + 1;
}

void script_loader::decode(const QByteArray& bytes, bool last) {
  QByteArray part = held_.isEmpty() ? bytes : held_ + bytes;
  held_ = last ? QByteArray() : part.mid(whole_part(part));
  part.chop(held_.size());
  const int from = script_.text.size();
  // The locale's codec converts each part as it would the whole: its decoder
  // would keep a character cut off at the end, where one conversion drops it.
  script_.text += locale_reading_ ? codec_->toUnicode(part) : decoder_->toUnicode(part);
  const bool cut_off = last && !locale_reading_ && decoder_->needsMoreData();
  if (keep_ && (decoder_->hasFailure() || cut_off)) {
    // Not UTF-8: all again in the locale's codec, the first text gone before
    // the second is made, since it may take gigabytes.
    keep_ = false;
    locale_reading_ = true;
    start_text(QTextCodec::codecForLocale());
    return decode(std::exchange(kept_, QByteArray()), last);
  }
  // A character cut off at the end shows as replacement characters, as bytes
  // that are not text do: one for half a UTF-16 unit, and for UTF-8 one for
  // each byte of the sequence, as QString::fromUtf8 gives them.
  if (cut_off) {
    int cut_bytes = 1;
    while (mib_ == utf8_mib && cut_bytes < part.size() &&
           (static_cast<uchar>(part[part.size() - cut_bytes]) & 0xC0) == 0x80)
      ++cut_bytes;
    script_.text += QString(cut_bytes, QChar::ReplacementCharacter);
  }
  // Half a surrogate pair names no character.
  if (mib_ == utf16_le_mib || mib_ == utf16_be_mib) {
    QChar* const text = script_.text.data();
    for (int i = from; i < script_.text.size(); ++i) {
      if (text[i].isHighSurrogate() && i + 1 < script_.text.size() && text[i + 1].isLowSurrogate())
        ++i;
      else if (text[i].isSurrogate())
        text[i] = QChar::ReplacementCharacter;
    }
  }
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
