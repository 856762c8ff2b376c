#include "input_file.h"

#include <cstdio>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "path_forms.h"

#include <algorithm>
#include <cwchar>

namespace {

// Opens `name`, or, when it names a file past MAX_PATH, which only that
// form reaches, its long form.
std::FILE* open_wide(const std::wstring& name) {
  if (name.empty()) {
    return nullptr;
  }
  std::FILE* file = _wfopen(name.c_str(), L"rb");
  if (file == nullptr) {
    const std::wstring long_name = long_path_form(name);
    if (!long_name.empty()) {
      file = _wfopen(long_name.c_str(), L"rb");
    }
  }
  return file;
}

}  // namespace

std::wstring long_path_form(const std::wstring& name) {
  const auto starts_with = [](const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
  };
  // Taken as it is already, or a device.
  if (starts_with(name, LR"(\\?\)") || starts_with(name, LR"(\\.\)")) {
    return {};
  }
  // Windows takes the long form literally, so it is made from the full path,
  // where ".", ".." and doubled slashes are resolved as in a plain path.
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) {
      return {};
    }
    if (length < full.size()) {
      full.resize(length);
      break;
    }
    full.resize(length);
  }
  if (full.size() < MAX_PATH) {
    return {};
  }
  if (starts_with(full, LR"(\\)")) {
    return LR"(\\?\UNC\)" + full.substr(2);
  }
  return full.size() > 2 && full[1] == L':' ? LR"(\\?\)" + full : std::wstring();
}
#endif

std::FILE* open_input(const std::string& path) {
  if (path.find('\0') != std::string::npos) {
    return nullptr;
  }
#ifdef _WIN32
  // The ANSI code page is how the C library reads a narrow name, so what
  // opened that way still opens the same; a name in UTF-8, as much software
  // writes it, is tried after, and last one in the OEM code page, in which a
  // batch file's echo writes it. Plain ASCII reads the same in all three.
  std::FILE* file = open_wide(widened(path, CP_ACP));
  const bool is_ascii = std::all_of(path.begin(), path.end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (file == nullptr && !is_ascii && GetACP() != CP_UTF8) {
    file = open_wide(widened(path, CP_UTF8));
  }
  if (file == nullptr && !is_ascii) {
    file = open_wide(oem_reading(path));
  }
  return file;
#else
  return std::fopen(path.c_str(), "rb");
#endif
}

void close_input(std::FILE* file) {
  (void)std::fclose(file);
}
