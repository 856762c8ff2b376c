#include "count_file_lines.h"
#include "scratch_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct count_case {
  std::string content;
  std::uint64_t lines;
};

TEST(CountLines, NewlinesEndLinesAndALastUnendedLineCounts) {
  const std::vector<count_case> cases = {
      {"", 0},
      {"one line", 1},
      {"one line\n", 1},
      {"one line\n\n", 2},
      {"\n", 1},
      {"a\r\nb\r\n", 2},   // CR LF counts like LF
      {"a\rb\r", 1},       // a carriage return alone ends no line
      {" \n\t\n  \n", 3},  // blank lines count like any other
      {std::string(1000, '\n'), 1000},
      {std::string(999, 'x') + "\n" + std::string(5, 'y'), 2},
      // Enough newlines in one block for every byte lane of the count to
      // fill up more than once.
      {std::string(70000, '\n'), 70000},
      {std::string(65, 'x') + std::string(70001, '\n') + "x", 70002},
  };
  for (const auto& c : cases) {
    for (const std::size_t block : {1U, 2U, 3U, 7U, 4096U, 128U * 1024U}) {
      // Read, and mapped a window of the block size at a time.
      for (const std::size_t window : {std::size_t{0}, std::size_t{block}}) {
        const scratch_file file("in", c.content);
        const line_total total = count_stream_lines(file.get(), block, window);
        EXPECT_EQ(total.lines, c.lines)
            << "block " << block << ", window " << window << ": " << c.content.substr(0, 20);
        EXPECT_EQ(total.read_error, 0);
      }
    }
  }
}

TEST(CountLines, MissingFileHasNoLines) {
  const line_total total = count_file_lines("no such file.tmp");
  EXPECT_EQ(total.lines, 0U);
  EXPECT_EQ(total.read_error, 0);
}

#ifdef __GLIBC__
// A stream that yields `good` bytes of newlines and then fails, as a disk
// with a bad sector does part-way through a file.
struct failing_source {
  std::size_t good;
};

ssize_t failing_read(void* cookie, char* buffer, std::size_t size) {
  auto* source = static_cast<failing_source*>(cookie);
  if (source->good == 0) {
    errno = EIO;
    return -1;
  }
  const std::size_t n = std::min(size, source->good);
  std::fill(buffer, buffer + n, '\n');
  source->good -= n;
  return static_cast<ssize_t>(n);
}

TEST(CountLines, ReadErrorIsReportedWhereverItComes) {
  const cookie_io_functions_t io = {failing_read, nullptr, nullptr, nullptr};
  for (const std::size_t good : {0U, 1U, 100U, 5000U}) {
    failing_source source{good};
    std::FILE* file = fopencookie(&source, "r", io);
    // A stream that is no file is read, even where a window is asked for.
    const line_total total = count_stream_lines(file, 64, 64);
    std::fclose(file);
    EXPECT_EQ(total.read_error, EIO) << good << " bytes before the failure";
  }
}
#endif

}  // namespace
