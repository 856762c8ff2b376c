#include "script_loading.h"

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QTextCodec>
#include <QVector>
#include <QtEndian>

#include "path_forms.h"
#include "path_line.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <utility>

namespace {

constexpr int utf8_mib = 106;

// The line as UTF-8 when its bytes are UTF-8 and the locale's codec read them
// differently: on Windows that codec is the ANSI code page, while most editors
// and scripts write UTF-8 without a BOM. Null otherwise.
QString utf8_reading(const QByteArray& line, const QString& as_read) {
  QTextCodec::ConverterState state;
  QString text =
      QTextCodec::codecForMib(utf8_mib)->toUnicode(line.constData(), line.size(), &state);
  if (state.invalidChars != 0 || state.remainingChars != 0 || text == as_read) return {};
  return text;
}

// The first run of non-blanks, as QTextStream's word reading finds it.
QString first_word(const QString& text) {
  const auto is_space = [](QChar c) { return c.isSpace(); };
  const QChar* const end = text.constData() + text.size();
  const QChar* const begin = std::find_if_not(text.constData(), end, is_space);
  return QString(begin, static_cast<int>(std::find_if(begin, end, is_space) - begin));
}

// The text between the first pair of double quotes, as Explorer's "Copy as
// path" and batch files write a path; null without such a pair.
QString quoted(const QString& line) {
  const int open = line.indexOf(QLatin1Char('"'));
  const int close = open < 0 ? -1 : line.indexOf(QLatin1Char('"'), open + 1);
  if (close < 0) return {};
  return line.mid(open + 1, close - open - 1);
}

// The path a file URL names (file_url_path), whose rules work on bytes: the
// name goes there as UTF-8 and comes back from it. Null for no URL.
QString url_path(const QString& text) {
  const std::string path = file_url_path(text.toStdString());
  return path.empty() ? QString() : QString::fromStdString(path);
}

// Every name one reading of the line gives, in the order they are tried.
void add_spellings(QStringList& spellings, const QString& line) {
  const QString as_written[] = {first_word(line), line.trimmed(), quoted(line)};
  for (const QString& name : as_written) spellings.append(name);
  for (const QString& name : as_written) spellings.append(url_path(name));
}

// The offset of the first NUL in bytes `from` to `size`: a NUL byte, or in
// UTF-16 a NUL unit, its two bytes at an even offset (`from` being even). -1
// when there is none; an odd last byte of UTF-16 is not looked at.
qint64 find_nul(const char* data, qint64 from, qint64 size, bool utf16) {
  if (!utf16) {
    const void* nul = std::memchr(data + from, '\0', static_cast<size_t>(size - from));
    return nul != nullptr ? static_cast<const char*>(nul) - data : -1;
  }
  for (qint64 i = from; i + 1 < size; i += 2)
    if (data[i] == '\0' && data[i + 1] == '\0') return i;
  return -1;
}

// Whether the system's encoding reads bytes as UTF-8, which leaves invalid
// ones no other reading. On Windows Qt's codec for the ANSI code page is
// "System" whatever the code page, 65001 (UTF-8) included.
bool is_utf8(const QTextCodec& codec) {
#ifdef Q_OS_WIN
  if (codec.name() == "System") return GetACP() == CP_UTF8;
#endif
  return codec.mibEnum() == utf8_mib;
}

// Where a piece of UTF-8 `bytes` that should end at `target` can end: before
// an ASCII byte, which no sequence continues into. Pieces so cut decode apart
// exactly as they decode together, and none but the first can start with a
// byte-order mark that the decoder would drop.
qint64 utf8_piece_end(const QByteArray& bytes, qint64 target) {
  while (target < bytes.size() &&
         static_cast<unsigned char>(bytes[static_cast<int>(target)]) >= 0x80)
    ++target;
  return std::min<qint64>(target, bytes.size());
}

// The same in a code page: after an LF byte, which is never part of a
// character of two bytes (their second bytes lie above 0x3F), or at the end.
qint64 code_page_piece_end(const QByteArray& bytes, qint64 target) {
  if (target >= bytes.size()) return bytes.size();
  const int lf = bytes.indexOf('\n', static_cast<int>(std::max<qint64>(target - 1, 0)));
  return lf < 0 ? bytes.size() : lf + 1;
}

// Appends the UTF-16 units of `bytes` from `from` to `to` (both even) to `text`.
void append_utf16(QString& text, const QByteArray& bytes, qint64 from, qint64 to,
                  script_encoding encoding) {
  const int units = static_cast<int>((to - from) / 2);
  const int old_size = text.size();
  text.resize(old_size + units);
  const char* const source = bytes.constData() + from;
  if (encoding == script_encoding::utf16_le)
    qFromLittleEndian<quint16>(source, units, text.data() + old_size);
  else
    qFromBigEndian<quint16>(source, units, text.data() + old_size);
}

// Decodes about `bytes` more of `input` into `decoding` (see script_decoding);
// true once all of it is decoded.
bool decode_script_piece(script_decoding& decoding, const QByteArray& input, qint64 bytes) {
  const qint64 size = input.size();
  if (decoding.decoded == 0 && decoding.encoding == script_encoding::utf8) {
    decoding.encoding = script_encoding_by_mark(input);
    // The mark is not shown.
    if (decoding.encoding != script_encoding::utf8) decoding.decoded = 2;
  }
  const qint64 target = decoding.decoded + std::max<qint64>(bytes, 1);
  switch (decoding.encoding) {
    case script_encoding::utf16_le:
    case script_encoding::utf16_be: {
      const qint64 whole_units_end = size - size % 2;
      const qint64 end = std::min(whole_units_end, target + target % 2);
      append_utf16(decoding.text, input, decoding.decoded, end, decoding.encoding);
      decoding.decoded = end;
      if (end != whole_units_end) return false;
      // An odd last byte, half a unit, shows as a replacement character, as
      // bytes that are not UTF-8 do.
      if (size % 2 != 0) decoding.text.append(QChar::ReplacementCharacter);
      decoding.decoded = size;
      return true;
    }
    case script_encoding::utf8: {
      const qint64 end = utf8_piece_end(input, target);
      QTextCodec::ConverterState state;
      decoding.text.append(QTextCodec::codecForMib(utf8_mib)->toUnicode(
          input.constData() + decoding.decoded, static_cast<int>(end - decoding.decoded), &state));
      // QString::fromUtf8 ends a sequence cut off by the end of the text with
      // one replacement character for each of its bytes; the state holds them
      // back.
      decoding.text.append(QString(state.remainingChars, QChar::ReplacementCharacter));
      decoding.invalid = decoding.invalid || state.invalidChars != 0 || state.remainingChars != 0;
      decoding.decoded = end;
      if (end != size) return false;
      const QTextCodec& system = *QTextCodec::codecForLocale();
      if (decoding.invalid && !input.startsWith("\xEF\xBB\xBF") && !is_utf8(system)) {
        // Once more in the system's encoding, the first text gone before the
        // second is made: it may take gigabytes.
        decoding = {};
        decoding.encoding = script_encoding::system;
        return false;
      }
      return true;
    }
    case script_encoding::system: {
      const qint64 end = code_page_piece_end(input, target);
      decoding.text.append(QTextCodec::codecForLocale()->toUnicode(
          input.constData() + decoding.decoded, static_cast<int>(end - decoding.decoded)));
      decoding.decoded = end;
      return end == size;
    }
  }
  return true;
}

// The first unit from `c` on that may end a line: nearly every unit of a text
// lies between CR and the paragraph mark, and can be passed over eight at a
// time, which keeps this walk to a small part of the load.
const QChar* next_possible_break(const QChar* c, const QChar* end) {
#if defined(__SSE2__) || defined(_M_X64)
  // Compared as signed, units from U+8000 on count as up to CR: they need the
  // closer look as well.
  const __m128i past_cr = _mm_set1_epi16(u'\r' + 1);
  const __m128i before_paragraph = _mm_set1_epi16(static_cast<short>(0x2028));
  for (; end - c >= 8; c += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
    const __m128i odd =
        _mm_or_si128(_mm_cmplt_epi16(units, past_cr), _mm_cmpgt_epi16(units, before_paragraph));
    if (_mm_movemask_epi8(odd) != 0) break;
  }
#endif
  while (c != end && c->unicode() > u'\r' && c->unicode() < QChar::ParagraphSeparator) ++c;
  return c;
}

bool is_line_break(char16_t unit) {
  return unit == u'\n' || unit == u'\r' || unit == QChar::ParagraphSeparator ||
         unit == 0xFDD0 /* QTextBeginningOfFrame */ || unit == 0xFDD1 /* QTextEndOfFrame */;
}

// Counts the lines of `text` past `scan.scanned` (see line_scan): their
// breaks, the lines longer than long_line_units, and whether the text box can
// take them without Qt running out of its limits. Lines are split as the box
// splits them: at LF, CR, CR LF (once), and the paragraph and frame marks.
// Every line start also takes one unit of the box's string. Unless `complete`,
// more text may follow, and a CR at the end waits for it.
void scan_lines(line_scan& scan, const QString& text, bool complete) {
  static_assert(long_line_units < max_script_line_units && max_script_lines <= INT_MAX);
  const QChar* const begin = text.constData();
  const QChar* end = begin + text.size();
  if (!complete && end != begin && end[-1] == QLatin1Char('\r')) --end;
  const QChar* line_start = begin + scan.line_start;
  // False when the line is past what the box can lay out at all.
  const auto end_line = [&](const QChar* line_end) {
    const qint64 length = line_end - line_start;
    if (length > long_line_units) scan.long_lines.append(scan.line_breaks);
    return length <= max_script_line_units;
  };
  const QChar* c = next_possible_break(begin + scan.scanned, end);
  for (; c != end && scan.fits; c = next_possible_break(c, end)) {
    const char16_t unit = c->unicode();
    if (!is_line_break(unit)) {
      ++c;
      continue;
    }
    scan.fits = end_line(c);
    if (unit == u'\r' && c + 1 != end && c[1] == QLatin1Char('\n')) ++c;
    scan.fits = scan.fits && ++scan.line_breaks < max_script_lines;
    line_start = ++c;
  }
  scan.scanned = c - begin;
  scan.line_start = line_start - begin;
  if (complete && scan.fits)
    scan.fits = end_line(end) && qint64{text.size()} + scan.line_breaks <= max_script_bytes;
}

}  // namespace

QStringList script_path_spellings() {
  const path_line line = read_path_line("script.inp", line_end::newline_or_return);
  QStringList spellings;
  if (line.marked) {
    // In the encoding the mark names, which read_path_line decoded to UTF-8.
    add_spellings(spellings, QString::fromStdString(line.text));
  } else {
    // As QTextStream reads it by default.
    const QByteArray bytes = QByteArray::fromStdString(line.bytes);
    const QString as_read = QTextCodec::codecForLocale()->toUnicode(bytes);
    add_spellings(spellings, as_read);
    const QString utf8 = utf8_reading(bytes, as_read);
    if (!utf8.isNull()) add_spellings(spellings, utf8);
  }
  spellings.removeAll(QString());
  spellings.removeDuplicates();
  return spellings;
}

script_encoding script_encoding_by_mark(const QByteArray& head) {
  if (head.startsWith("\xFF\xFE")) return script_encoding::utf16_le;
  if (head.startsWith("\xFE\xFF")) return script_encoding::utf16_be;
  return script_encoding::utf8;
}

decoded_script decode_script(const QByteArray& bytes) {
  script_decoding decoding;
  while (!decode_script_piece(decoding, bytes, bytes.size())) {
  }
  return {std::move(decoding.text), decoding.encoding};
}

script_loader::script_loader(const QStringList& spellings) {
  for (const QString& path : spellings) {
    // QFile would warn about an empty name, and end a name at a NUL, which
    // would open another file.
    if (path.isEmpty() || path.contains(QChar::Null)) continue;
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadOnly)) continue;
    stage_ = stage::reading;
    // A regular file too large is refused before any byte is read.
    if (!file_.isSequential()) {
      size_ = file_.size();
      if (size_ > max_script_bytes) {
        refuse();
        return;
      }
      bytes_.reserve(static_cast<int>(size_));
    }
    return;
  }
}

bool script_loader::load_piece(qint64 bytes) {
  if (stage_ == stage::reading) {
    read_piece(bytes);
  } else if (stage_ == stage::decoding) {
    decode_piece(bytes);
  }
  return stage_ == stage::done;
}

double script_loader::progress() const {
  // Reading and decoding take about as long as each other.
  switch (stage_) {
    case stage::reading:
      return size_ > 0 ? 0.5 * static_cast<double>(bytes_.size()) / static_cast<double>(size_) : 0;
    case stage::decoding:
      return bytes_.isEmpty() ? 1
                              : 0.5 + 0.5 * static_cast<double>(decoding_.decoded) /
                                          static_cast<double>(bytes_.size());
    case stage::done:
      break;
  }
  return 1;
}

script_text script_loader::take_text() {
  if (stage_ != stage::done || !scan_.fits) return {};
  return {std::move(decoding_.text), std::move(scan_.long_lines), scan_.line_breaks};
}

// Reads up to the first NUL, since nothing after it is shown, which also ends
// the read of a device such as /dev/zero at once; whether that is a NUL byte
// or a UTF-16 NUL unit the byte-order mark decides. Refuses the file when the
// text would not fit in one QString.
void script_loader::read_piece(qint64 bytes) {
  constexpr qint64 chunk_size = qint64{1} << 20;
  const qint64 stop = bytes_.size() + std::max<qint64>(bytes, 1);
  while (bytes_.size() < stop) {
    const int filled = bytes_.size();
    if (filled > max_script_bytes) return refuse();
    // One byte past the limit is asked for so that a file grown since its size
    // was taken, or a device, is caught as too large.
    const qint64 wanted = std::min({chunk_size, max_script_bytes + 1 - filled, stop - filled});
    bytes_.resize(filled + static_cast<int>(wanted));
    const qint64 got = file_.read(bytes_.data() + filled, wanted);
    bytes_.truncate(filled + static_cast<int>(std::max(got, qint64{0})));
    const bool at_end = got <= 0;
    if (!utf16_) {
      if (bytes_.size() < 2 && !at_end) continue;
      utf16_ = script_encoding_by_mark(bytes_) != script_encoding::utf8;
    }
    const qint64 nul = find_nul(bytes_.constData(), searched_, bytes_.size(), *utf16_);
    if (nul >= 0) bytes_.truncate(static_cast<int>(nul));
    if (nul >= 0 || at_end) {
      file_.close();
      stage_ = stage::decoding;
      // No byte decodes to more than one unit; the text grows into this room.
      decoding_.text.reserve(bytes_.size());
      return;
    }
    searched_ = *utf16_ ? bytes_.size() & ~1 : bytes_.size();
  }
}

void script_loader::decode_piece(qint64 bytes) {
  const bool was_system = decoding_.encoding == script_encoding::system;
  const bool all = decode_script_piece(decoding_, bytes_, bytes);
  if (!was_system && decoding_.encoding == script_encoding::system) {
    // A fresh start in the system's encoding: the lines are counted afresh.
    scan_ = {};
    decoding_.text.reserve(bytes_.size());
  }
  scan_lines(scan_, decoding_.text, all);
  // Until all of it is decoded, UTF-8 may yet turn out not to be, and the text
  // read again in the system's encoding have other lines.
  if (!scan_.fits && (all || decoding_.encoding != script_encoding::utf8)) return refuse();
  if (all) stage_ = stage::done;
}

// Past the limits Qt aborts or corrupts memory; an empty box instead.
void script_loader::refuse() {
  file_.close();
  bytes_ = QByteArray();
  decoding_ = {};
  scan_.fits = false;
  stage_ = stage::done;
}

script_text load_script_text(const QStringList& spellings) {
  script_loader loader(spellings);
  while (!loader.load_piece(max_script_bytes)) {
  }
  return loader.take_text();
}

int script_piece_end(const QString& text, int from, int units) {
  const QChar* const begin = text.constData();
  const QChar* const end = begin + text.size();
  const QChar* c = begin + std::min(from + units, text.size());
  for (c = next_possible_break(c, end); c != end; c = next_possible_break(c + 1, end)) {
    if (!is_line_break(c->unicode())) continue;
    if (*c == QLatin1Char('\r') && c + 1 != end && c[1] == QLatin1Char('\n')) ++c;
    return static_cast<int>(c + 1 - begin);
  }
  return text.size();
}
