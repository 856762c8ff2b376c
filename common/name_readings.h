#pragma once

#include <string>
#include <vector>

// How a name's bytes are read into the name a file system takes.
enum class name_reading {
  // As the system reads a narrow name (the ANSI code page on Windows, as the
  // C library and Qt read one), so that a name that opened that way before
  // still opens the same.
  system,
  // As UTF-8, in which most editors and scripts write names.
  utf8,
  // In Windows's OEM code page, the console's, in which a batch file's echo
  // writes a name (437 or 850 where the ANSI code page is 1252).
  oem,
};

// The readings of `bytes` that a program tries, in order, until one names a
// file: the system's; then, for bytes that are not plain ASCII, UTF-8 where
// the system's reading is not UTF-8 already, and on Windows the OEM code page
// where it is not the ANSI one.
std::vector<name_reading> name_readings(const std::string& bytes);

#ifdef _WIN32
// `bytes` as Windows reads them under `reading`; empty for UTF-8 that is not
// UTF-8.
std::wstring widened(const std::string& bytes, name_reading reading);
#endif
