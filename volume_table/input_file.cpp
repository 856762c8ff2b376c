#include "input_file.h"

#include <cstdio>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/types.h>
#endif

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "name_readings.h"

#include <io.h>
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
  for (const name_reading reading : name_readings(path)) {
    if (std::FILE* file = open_wide(widened(path, reading))) {
      return file;
    }
  }
  return nullptr;
#else
  return std::fopen(path.c_str(), "rb");
#endif
}

void close_input(std::FILE* file) {
  (void)std::fclose(file);
}

bool is_same_file(std::FILE* input, const char* name) {
#ifdef _WIN32
  // Opened for no access at all, so that neither a file in use nor a folder
  // stands in the way of the look.
  const HANDLE other = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (other == INVALID_HANDLE_VALUE) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION a{};
  BY_HANDLE_FILE_INFORMATION b{};
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(input)));
  const bool same = GetFileInformationByHandle(handle, &a) != 0 &&
                    GetFileInformationByHandle(other, &b) != 0 &&
                    a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                    a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
  (void)CloseHandle(other);
  return same;
#else
  struct stat a {};
  struct stat b {};
  return fstat(fileno(input), &a) == 0 && stat(name, &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
#endif
}
