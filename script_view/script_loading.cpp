#include "script_loading.h"

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QStringRef>
#include <QTextStream>
#include <QVector>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// An empty name is refused before QFile sees it, which would warn about it.
bool opens_for_reading(const QString& path) {
  if (path.isEmpty()) return false;
  QFile file(path);
  return file.open(QIODevice::ReadOnly);
}

std::optional<QByteArray> read_script_list() {
  QFile file(QStringLiteral("script.inp"));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QByteArray head = file.read(script_list_read_limit);
  file.close();
  return head;
}

// Both names are decoded by a QTextStream with default settings, so a BOM
// selects the encoding and otherwise the locale's codec decides, the same way
// for the word and for the line.
QString first_word(const QByteArray& list) {
  QTextStream stream(list);
  QString word;
  stream >> word;
  return word;
}

// A lone CR ends a line too: no path contains one, and a list written with old
// Mac line ends would otherwise read as one line.
QString first_non_blank_line(const QByteArray& list) {
  QTextStream stream(list);
  QString text = stream.readAll();
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  const QVector<QStringRef> lines = text.splitRef(QLatin1Char('\n'));
  for (const QStringRef& line : lines) {
    const QStringRef trimmed = line.trimmed();
    if (!trimmed.isEmpty()) return trimmed.toString();
  }
  return {};
}

// Reads up to the first NUL byte, since nothing after it is shown, which also
// ends the read of a device such as /dev/zero at once. Stops with nothing when
// the text would not fit in one QString; a regular file is refused by its size
// before any byte is read.
std::optional<QByteArray> read_until_nul(QFile& file) {
  const bool sized = !file.isSequential();
  if (sized && file.size() > max_script_bytes) return std::nullopt;

  QByteArray bytes;
  if (sized) bytes.reserve(static_cast<int>(file.size()));
  constexpr qint64 chunk_size = qint64{1} << 20;
  for (;;) {
    const int filled = bytes.size();
    if (filled > max_script_bytes) return std::nullopt;
    // One byte past the limit is asked for so that a file grown since its size
    // was taken, or a device, is caught as too large.
    const qint64 wanted = std::min(chunk_size, max_script_bytes + 1 - filled);
    bytes.resize(filled + static_cast<int>(wanted));
    const qint64 got = file.read(bytes.data() + filled, wanted);
    if (got <= 0) {
      bytes.truncate(filled);
      return bytes;
    }
    bytes.truncate(filled + static_cast<int>(got));
    const char* chunk = bytes.constData() + filled;
    if (const void* nul = std::memchr(chunk, '\0', static_cast<size_t>(got))) {
      bytes.truncate(filled + static_cast<int>(static_cast<const char*>(nul) - chunk));
      return bytes;
    }
  }
}

// Whether the text box can take `text` without Qt running out of its limits.
// It counts lines the way the box splits them: at LF, CR, CR LF (once), and
// the paragraph and frame marks. Every line start also takes one unit of the
// box's string.
bool fits_text_box(const QString& text) {
  // Every line break is a unit of the text itself, so a text of fewer units
  // than the line limit can break no limit, and most texts are spared the scan.
  static_assert(max_script_lines <= max_script_line_units &&
                2 * max_script_lines <= max_script_bytes);
  const qint64 size = text.size();
  if (size < max_script_lines) return true;

  qint64 breaks = 0;
  const QChar* const begin = text.constData();
  const QChar* const end = begin + text.size();
  const QChar* line_start = begin;
  for (const QChar* c = begin; c != end; ++c) {
    const char16_t unit = c->unicode();
    const bool is_break = unit == u'\n' || unit == u'\r' || unit == QChar::ParagraphSeparator ||
                          unit == 0xFDD0 /* QTextBeginningOfFrame */ ||
                          unit == 0xFDD1 /* QTextEndOfFrame */;
    if (!is_break) continue;
    if (c - line_start > max_script_line_units) return false;
    if (unit == u'\r' && c + 1 != end && c[1] == QLatin1Char('\n')) ++c;
    if (++breaks >= max_script_lines) return false;
    line_start = c + 1;
  }
  return end - line_start <= max_script_line_units && size + breaks <= max_script_bytes;
}

}  // namespace

QString script_target_path() {
  const std::optional<QByteArray> list = read_script_list();
  if (!list) return {};
  QString path = first_word(*list);
  if (opens_for_reading(path)) return path;
  // The word may be only the start of a path that contains spaces.
  return first_non_blank_line(*list);
}

QString load_script_text(const QString& path) {
  if (path.isEmpty()) return {};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const std::optional<QByteArray> bytes = read_until_nul(file);
  file.close();
  if (!bytes) return {};
  QString text = QString::fromUtf8(bytes->constData(), bytes->size());
  // Past these limits Qt aborts or corrupts memory; an empty box instead.
  if (!fits_text_box(text)) return {};
  return text;
}
