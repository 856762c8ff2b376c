#include "console_io.h"

#include <cstdint>
#include <cstring>

int report_failure(const char* program, const char* name, int error) {
  return report_failure(program, name, std::strerror(error));
}

int report_failure(const char* program, const char* name, const char* reason) {
  (void)std::fprintf(stderr, "%s: %s: %s\n", program, name, reason);
  return 1;
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
