#include "script_handoff.h"

#include <QByteArray>
#include <QString>
#include <QTextCodec>

#include "name_readings.h"
#include "path_forms.h"
#include "path_line.h"

#include <algorithm>

namespace {

constexpr int utf8_mib = 106;

QString read_as(const std::string& bytes, name_reading reading) {
  const QByteArray text = QByteArray::fromStdString(bytes);
  switch (reading) {
    case name_reading::system:
      return QTextCodec::codecForLocale()->toUnicode(text);
    case name_reading::utf8: {
      QTextCodec::ConverterState state;
      const QString read =
          QTextCodec::codecForMib(utf8_mib)->toUnicode(text.constData(), text.size(), &state);
      return state.invalidChars == 0 && state.remainingChars == 0 ? read : QString();
    }
    case name_reading::oem:
#ifdef Q_OS_WIN
      return QString::fromStdWString(widened(bytes, reading));
#else
      break;
#endif
  }
  return {};
}

// Every reading of the hand-off line, in the order its names are tried.
QStringList readings(const path_line& line) {
  if (line.marked) return {QString::fromStdString(line.text)};
  QStringList texts;
  for (const name_reading reading : name_readings(line.bytes))
    texts.append(read_as(line.bytes, reading));
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

void add_spellings(QStringList& spellings, const QString& text) {
  // The first word as QTextStream reads one: the first run of non-spaces.
  const QString as_written[] = {
      text.simplified().section(QLatin1Char(' '), 0, 0), text.trimmed(),
      text.count(QLatin1Char('"')) < 2 ? QString() : text.section(QLatin1Char('"'), 1, 1)};
  for (const QString& name : as_written) spellings.append(name);
  // file_url_path's rules work on bytes: the name goes there as UTF-8.
  for (const QString& name : as_written)
    spellings.append(QString::fromStdString(file_url_path(name.toStdString())));
}

}  // namespace

QStringList script_path_spellings() {
  const path_line line = read_path_line("script.inp", line_end::newline_or_return, is_blank);
  const QStringList texts = readings(line);
  QStringList spellings;
  for (const QString& text : texts) add_spellings(spellings, text);
  // A caller in C or Fortran may write its whole buffer: the name, a NUL, and
  // what the buffer held after it. Qt and the C library read such a name up
  // to its NUL, which no other spelling can hold and still name a file.
  for (const QString& text : texts) add_spellings(spellings, text.left(text.indexOf(QChar::Null)));
  spellings.removeAll(QString());
  spellings.removeDuplicates();
  return spellings;
}
