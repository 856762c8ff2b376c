#include "count_file_lines.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// A plain counting loop over a block, which the compiler turns into vector
// compares; a 32-bit tally per block cannot overflow.
std::uint32_t count_newlines(const char* data, std::size_t size) {
  std::uint32_t newlines = 0;
  for (std::size_t i = 0; i < size; ++i) {
    newlines += data[i] == '\n' ? 1U : 0U;
  }
  return newlines;
}

int report(const char* program, const char* name, int error) {
  (void)std::fprintf(stderr, "%s: %s: %s\n", program, name, std::strerror(error));
  return 1;
}

int error_or_io(int error) {
  return error != 0 ? error : EIO;
}

}  // namespace

line_total count_file_lines(const char* name, std::size_t block_size) {
  std::FILE* file = std::fopen(name, "rb");
  if (file == nullptr) {
    return {};
  }
  const line_total total = count_stream_lines(file, block_size);
  // The file was only read: closing it cannot lose anything.
  (void)std::fclose(file);
  return total;
}

line_total count_stream_lines(std::FILE* file, std::size_t block_size) {
  // Reads go straight into our block; a stdio buffer would only copy twice.
  (void)std::setvbuf(file, nullptr, _IONBF, 0);
  block_size = std::clamp<std::size_t>(block_size, 1, std::size_t{1} << 30);
  const auto block = std::make_unique<char[]>(block_size);
  line_total total;
  bool any_read = false;
  char last = '\n';
  for (;;) {
    errno = 0;
    const std::size_t got = std::fread(block.get(), 1, block_size, file);
    if (got == 0) {
      // A file that reads nothing at all (a directory, say) is an empty one;
      // a failure after data is a count cut short.
      if (std::ferror(file) != 0 && any_read) {
        total.read_error = error_or_io(errno);
      }
      break;
    }
    any_read = true;
    total.lines += count_newlines(block.get(), got);
    last = block[got - 1];
  }
  if (last != '\n') {
    ++total.lines;
  }
  return total;
}

int write_value(const char* program, const char* name, std::uint64_t value) {
  errno = 0;
  std::FILE* file = std::fopen(name, "wb");
  if (file == nullptr) {
    return report(program, name, error_or_io(errno));
  }
  // A full disk may show only at the flush or the close, so each is checked.
  int error = 0;
  errno = 0;
  if (std::fprintf(file, "%llu", static_cast<unsigned long long>(value)) < 0 ||
      std::fflush(file) != 0) {
    error = error_or_io(errno);
  }
  errno = 0;
  if (std::fclose(file) != 0 && error == 0) {
    error = error_or_io(errno);
  }
  return error == 0 ? 0 : report(program, name, error);
}

int report_read_error(const char* program, const char* name, int error) {
  return report(program, name, error);
}
