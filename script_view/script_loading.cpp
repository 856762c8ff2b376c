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
// MinGW's C++ headers define NOMINMAX already.
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

// Reads up to the first NUL, since nothing after it is shown, which also ends
// the read of a device such as /dev/zero at once; whether that is a NUL byte
// or a UTF-16 NUL unit the byte-order mark decides. Stops with nothing when
// the text would not fit in one QString; a regular file is refused by its size
// before any byte is read.
std::optional<QByteArray> read_until_nul(QFile& file) {
  const bool sized = !file.isSequential();
  if (sized && file.size() > max_script_bytes) return std::nullopt;

  QByteArray bytes;
  if (sized) bytes.reserve(static_cast<int>(file.size()));
  constexpr qint64 chunk_size = qint64{1} << 20;
  std::optional<bool> utf16;  // known once the mark's two bytes are in
  qint64 searched = 0;
  for (;;) {
    const int filled = bytes.size();
    if (filled > max_script_bytes) return std::nullopt;
    // One byte past the limit is asked for so that a file grown since its size
    // was taken, or a device, is caught as too large.
    const qint64 wanted = std::min(chunk_size, max_script_bytes + 1 - filled);
    bytes.resize(filled + static_cast<int>(wanted));
    const qint64 got = file.read(bytes.data() + filled, wanted);
    bytes.truncate(filled + static_cast<int>(std::max(got, qint64{0})));
    const bool at_end = got <= 0;
    if (!utf16) {
      if (bytes.size() < 2 && !at_end) continue;
      utf16 = script_encoding_by_mark(bytes) != script_encoding::utf8;
    }
    const qint64 nul = find_nul(bytes.constData(), searched, bytes.size(), *utf16);
    if (nul >= 0) {
      bytes.truncate(static_cast<int>(nul));
      return bytes;
    }
    if (at_end) return bytes;
    searched = *utf16 ? bytes.size() & ~1 : bytes.size();
  }
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

// The text after a UTF-16 byte-order mark. An odd last byte, half a unit,
// shows as a replacement character, as bytes that are not UTF-8 do.
QString utf16_text(const QByteArray& bytes, script_encoding encoding) {
  const int units = (bytes.size() - 2) / 2;
  const bool half_unit = bytes.size() % 2 != 0;
  QString text(units + (half_unit ? 1 : 0), Qt::Uninitialized);
  const char* const after_mark = bytes.constData() + 2;
  if (encoding == script_encoding::utf16_le)
    qFromLittleEndian<quint16>(after_mark, units, text.data());
  else
    qFromBigEndian<quint16>(after_mark, units, text.data());
  if (half_unit) text[units] = QChar::ReplacementCharacter;
  return text;
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

// The numbers of the lines longer than long_line_units, or nothing when the
// text box cannot take `text` without Qt running out of its limits. Lines are
// split as the box splits them: at LF, CR, CR LF (once), and the paragraph and
// frame marks. Every line start also takes one unit of the box's string.
std::optional<QVector<int>> long_lines_if_it_fits(const QString& text) {
  static_assert(long_line_units < max_script_line_units && max_script_lines <= INT_MAX);
  QVector<int> long_lines;
  int breaks = 0;
  const QChar* const begin = text.constData();
  const QChar* const end = begin + text.size();
  const QChar* line_start = begin;
  // False when the line is past what the box can lay out at all.
  const auto end_line = [&](const QChar* line_end) {
    const qint64 length = line_end - line_start;
    if (length > long_line_units) long_lines.append(breaks);
    return length <= max_script_line_units;
  };
  for (const QChar* c = next_possible_break(begin, end); c != end;
       c = next_possible_break(c, end)) {
    const char16_t unit = c->unicode();
    const bool is_break = unit == u'\n' || unit == u'\r' || unit == QChar::ParagraphSeparator ||
                          unit == 0xFDD0 /* QTextBeginningOfFrame */ ||
                          unit == 0xFDD1 /* QTextEndOfFrame */;
    if (!is_break) {
      ++c;
      continue;
    }
    if (!end_line(c)) return std::nullopt;
    if (unit == u'\r' && c + 1 != end && c[1] == QLatin1Char('\n')) ++c;
    if (++breaks >= max_script_lines) return std::nullopt;
    line_start = ++c;
  }
  if (!end_line(end) || qint64{text.size()} + breaks > max_script_bytes) return std::nullopt;
  return long_lines;
}

// The bytes of the first of `spellings` that opens, read once (see
// load_script_text); nothing when none opens or the text would not fit.
std::optional<QByteArray> read_first_that_opens(const QStringList& spellings) {
  for (const QString& path : spellings) {
    // QFile would warn about an empty name, and end a name at a NUL, which
    // would open another file.
    if (path.isEmpty() || path.contains(QChar::Null)) continue;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) continue;
    std::optional<QByteArray> bytes = read_until_nul(file);
    file.close();
    return bytes;
  }
  return std::nullopt;
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
  const script_encoding by_mark = script_encoding_by_mark(bytes);
  if (by_mark != script_encoding::utf8) return {utf16_text(bytes, by_mark), by_mark};

  // One pass decodes the bytes and finds out whether they are UTF-8 at all.
  QTextCodec::ConverterState state;
  QString text =
      QTextCodec::codecForMib(utf8_mib)->toUnicode(bytes.constData(), bytes.size(), &state);
  const bool valid = state.invalidChars == 0 && state.remainingChars == 0;
  const QTextCodec& system = *QTextCodec::codecForLocale();
  if (!valid && !bytes.startsWith("\xEF\xBB\xBF") && !is_utf8(system)) {
    text.clear();  // before the second text is made: it may take gigabytes
    return {system.toUnicode(bytes), script_encoding::system};
  }
  // QString::fromUtf8 ends a sequence cut off by the end of the text with one
  // replacement character for each of its bytes; the state holds them back.
  text.append(QString(state.remainingChars, QChar::ReplacementCharacter));
  return {text, script_encoding::utf8};
}

script_text load_script_text(const QStringList& spellings) {
  const std::optional<QByteArray> bytes = read_first_that_opens(spellings);
  if (!bytes) return {};
  script_text script{decode_script(*bytes).text, {}};
  // Past these limits Qt aborts or corrupts memory; an empty box instead.
  std::optional<QVector<int>> long_lines = long_lines_if_it_fits(script.text);
  if (!long_lines) return {};
  script.long_lines = std::move(*long_lines);
  return script;
}
