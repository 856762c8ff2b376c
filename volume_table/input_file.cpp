#include "input_file.h"

#include <cstdio>

std::FILE* open_input(const std::string& path) {
  if (path.find('\0') != std::string::npos) {
    return nullptr;
  }
  return std::fopen(path.c_str(), "rb");
}

bool is_readable_file(const std::string& path) {
  std::FILE* file = open_input(path);
  if (file == nullptr) {
    return false;
  }
  (void)std::getc(file);
  const bool readable = std::ferror(file) == 0;
  close_input(file);
  return readable;
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
