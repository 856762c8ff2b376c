#include "console_io.h"

#include "mapped_window.h"

#include <cstdint>
#include <cstring>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/types.h>
#endif

int report_failure(const char* program, const char* name, int error) {
  return report_failure(
      program, name,
      error == input_shrank ? "File shrank while it was read" : std::strerror(error));
}

int report_failure(const char* program, const char* name, const char* reason) {
  (void)std::fprintf(stderr, "%s: %s: %s\n", program, name, reason);
  return 1;
}

bool is_directory(std::FILE* file) {
#ifdef _WIN32
  (void)file;
  return false;
#else
  struct stat st {};
  return fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

#ifndef _WIN32
// A narrower off_t would cut the offset below, and seek somewhere else.
static_assert(sizeof(off_t) >= sizeof(std::uint64_t), "build with _FILE_OFFSET_BITS=64");
#endif

bool seek_to(std::FILE* file, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::uint64_t offset_of(std::FILE* file) {
#ifdef _WIN32
  const __int64 offset = _ftelli64(file);
#else
  const off_t offset = ftello(file);
#endif
  return offset > 0 ? static_cast<std::uint64_t>(offset) : 0;
}

bool is_seekable(std::FILE* file) {
#ifdef _WIN32
  return _fseeki64(file, 0, SEEK_CUR) == 0;
#else
  return fseeko(file, 0, SEEK_CUR) == 0;
#endif
}

int finish_output(std::FILE* file, int error) {
  const int flushed = error_of([&] { return std::fflush(file) == 0; });
  const int closed = error_of([&] { return std::fclose(file) == 0; });
  if (error != 0) {
    return error;
  }
  return flushed != 0 ? flushed : closed;
}

std::size_t read_block(std::FILE* file, char* block, std::size_t size, int& error) {
  std::size_t got = 0;
  const int failure = error_of([&] {
    got = std::fread(block, 1, size, file);
    return got != 0 || std::ferror(file) == 0;
  });
  if (failure != 0) {
    error = failure;
  }
  return got;
}

page_buffer::page_buffer(std::size_t size) : storage_(new char[size + page_size]), size_(size) {
  const auto address = reinterpret_cast<std::uintptr_t>(storage_.get());
  data_ = storage_.get() + (page_size - address % page_size) % page_size;
}
