#include "input_file.h"

#include <cstdio>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>

namespace {

// `path` as a Windows name through `code_page`; empty when its bytes are not
// text in that code page.
std::wstring widened(const std::string& path, UINT code_page, DWORD flags) {
  const int size = static_cast<int>(path.size());
  const int length = MultiByteToWideChar(code_page, flags, path.data(), size, nullptr, 0);
  if (length <= 0) {
    return {};
  }
  std::wstring name(static_cast<std::size_t>(length), L'\0');
  (void)MultiByteToWideChar(code_page, flags, path.data(), size, name.data(), length);
  return name;
}

std::FILE* open_wide(const std::wstring& name) {
  return name.empty() ? nullptr : _wfopen(name.c_str(), L"rb");
}

}  // namespace
#endif

std::FILE* open_input(const std::string& path) {
  if (path.find('\0') != std::string::npos) {
    return nullptr;
  }
#ifdef _WIN32
  // The ANSI code page is how the C library reads a narrow name, so what
  // opened that way still opens the same; a name in UTF-8, as much software
  // writes it, is tried after. Plain ASCII reads the same in both.
  std::FILE* file = open_wide(widened(path, CP_ACP, 0));
  const bool is_ascii = std::all_of(path.begin(), path.end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (file == nullptr && !is_ascii && GetACP() != CP_UTF8) {
    file = open_wide(widened(path, CP_UTF8, MB_ERR_INVALID_CHARS));
  }
  return file;
#else
  return std::fopen(path.c_str(), "rb");
#endif
}

bool seek_to(std::FILE* file, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool is_seekable(std::FILE* file) {
#ifdef _WIN32
  return _fseeki64(file, 0, SEEK_CUR) == 0;
#else
  return fseeko(file, 0, SEEK_CUR) == 0;
#endif
}

void close_input(std::FILE* file) {
  (void)std::fclose(file);
}
