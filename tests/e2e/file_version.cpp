// Prints what Windows reads from a program's version resource, through the
// calls that Explorer and installers make: the fixed file and product
// versions, then the version strings and the file name of the first language
// the resource lists, one "name: value" a line.
//
//   file_version PROGRAM.exe
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring widen(const char* text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
  wide.pop_back();
  return wide;
}

std::string narrow(const wchar_t* text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), length, nullptr, nullptr);
  result.pop_back();
  return result;
}

// One value of the resource, or nullptr when it has none of that name.
void* query(std::vector<unsigned char>& data, const std::wstring& name) {
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueW(data.data(), name.c_str(), &value, &length) == FALSE || length == 0) {
    return nullptr;
  }
  return value;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fputs("usage: file_version PROGRAM.exe\n", stderr);
    return 2;
  }
  const std::wstring path = widen(argv[1]);
  DWORD unused = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &unused);
  std::vector<unsigned char> data(size);
  if (size == 0 || GetFileVersionInfoW(path.c_str(), 0, size, data.data()) == FALSE) {
    std::fprintf(stderr, "file_version: %s: no version resource (error %lu)\n", argv[1],
                 GetLastError());
    return 1;
  }
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(data, L"\\"));
  const auto* languages = static_cast<const WORD*>(query(data, L"\\VarFileInfo\\Translation"));
  if (fixed == nullptr || languages == nullptr) {
    std::fprintf(stderr, "file_version: %s: no fixed version or no language\n", argv[1]);
    return 1;
  }
  std::printf("fixed file version: %u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS),
              LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
              LOWORD(fixed->dwFileVersionLS));
  std::printf("fixed product version: %u.%u.%u.%u\n", HIWORD(fixed->dwProductVersionMS),
              LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS),
              LOWORD(fixed->dwProductVersionLS));
  wchar_t block[64];
  std::swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", languages[0], languages[1]);
  for (const wchar_t* name : {L"FileVersion", L"ProductVersion", L"OriginalFilename"}) {
    const auto* value = static_cast<const wchar_t*>(query(data, block + std::wstring(name)));
    std::printf("%s: %s\n", narrow(name).c_str(),
                value == nullptr ? "(none)" : narrow(value).c_str());
  }
  return 0;
}
