#include "name_readings.h"

#include <algorithm>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

std::vector<name_reading> name_readings(const std::string& bytes) {
  std::vector<name_reading> readings{name_reading::system};
  // Plain ASCII reads the same in all of them.
  if (std::all_of(bytes.begin(), bytes.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return readings;
  }
#ifdef _WIN32
  if (GetACP() != CP_UTF8) {
    readings.push_back(name_reading::utf8);
  }
  if (GetOEMCP() != GetACP()) {
    readings.push_back(name_reading::oem);
  }
#else
  // A program whose locale is not UTF-8 reads the system's way otherwise.
  readings.push_back(name_reading::utf8);
#endif
  return readings;
}

#ifdef _WIN32
std::wstring widened(const std::string& bytes, name_reading reading) {
  const UINT code_page = reading == name_reading::system ? CP_ACP
                         : reading == name_reading::utf8 ? CP_UTF8
                                                         : CP_OEMCP;
  // The code pages read every byte, as Windows reads a narrow name; UTF-8
  // that is not UTF-8 names nothing.
  const DWORD flags = code_page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(code_page, flags, bytes.data(), size, nullptr, 0);
  if (length <= 0) {
    return {};
  }
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  (void)MultiByteToWideChar(code_page, flags, bytes.data(), size, text.data(), length);
  return text;
}
#endif
