#include "path_line.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

class PathLine : public testing::Test {
protected:
  // CTest runs the cases of this file side by side: each gets its own file.
  const std::string file_name =
      std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + ".tmp";
  const char* name = file_name.c_str();
  void write(const std::string& content) {
    std::FILE* file = std::fopen(name, "wb");
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
  }
  void TearDown() override { std::remove(name); }
};

struct path_line_case {
  std::string content, as_bytes, as_text;
  line_end end = line_end::newline;
};

TEST_F(PathLine, IsTheFirstNonBlankLine) {
  using namespace std::string_literals;
  const std::string longest(longest_path_line, 'a');
  const std::string bom8 = "\xEF\xBB\xBF";
  const std::vector<path_line_case> cases = {
      {"out.dat\n", "out.dat", "out.dat"},
      {"\n\r\n \t\v\f  out.dat \r\nnext\n", "out.dat \r", "out.dat \r"},
      {"no newline", "no newline", "no newline"},
      {"", "", ""},
      {" \n\t\r\n", "", ""},
      {"a\tb\v\n", "a\tb\v", "a\tb\v"},
      // Byte-order marks: UTF-8 dropped, UTF-16 decoded; only at the start.
      {"\xEF\xBB\xBFout.dat\n", "\xEF\xBB\xBFout.dat", "out.dat"},
      {"\xEF\xBB\xBF\r\n out.dat\n", "\xEF\xBB\xBF\r", "out.dat"},
      {"a\xEF\xBB\xBF", "a\xEF\xBB\xBF", "a\xEF\xBB\xBF"},
      {"\xFF\xFE \0\n\0o\0u\0t\0.\0d\0a\0t\0\r\0\n\0x\0"s, "\xFF\xFE \0"s, "out.dat\r"},
      // A character past U+FFFF and one below it, big-endian.
      {"\xFE\xFF\x30\xC7\xD8\x3D\xDC\xC4", "\xFE\xFF\x30\xC7\xD8=\xDC\xC4",
       "\xE3\x83\x87\xF0\x9F\x93\x84"},
      // An unpaired surrogate, then an odd last byte.
      {"\xFF\xFE\x00\xD8z\0y"s, "\xFF\xFE\x00\xD8z\0y"s, "\xEF\xBF\xBDz"},
      // As long as a path may be, and longer: the rest is not read.
      {longest + "\n", longest, longest},
      {longest + "a\n", "", ""},
      {std::string(100000, '\n') + "out.dat", "out.dat", "out.dat"},
      // After a mark, the line as bytes (mark included) may be as long too.
      {bom8 + longest.substr(3), bom8 + longest.substr(3), longest.substr(3)},
      {bom8 + longest.substr(2) + "\n", "", longest.substr(2)},
      // Lone carriage returns, as old Mac files end lines, where asked.
      {"\r\r my t.txt\rb.txt\r", "my t.txt", "my t.txt", line_end::newline_or_return},
      {bom8 + "a.txt\rb\n", bom8 + "a.txt", "a.txt", line_end::newline_or_return},
      {"a.txt\rb\n", "a.txt\rb", "a.txt\rb"},
      // A NUL and what follows it are the program's to judge.
      {"r.dat\0junk\nnext"s, "r.dat\0junk"s, "r.dat\0junk"s},
  };
  for (const auto& [content, as_bytes, as_text, end] : cases) {
    write(content);
    const path_line line = read_path_line(name, end);
    EXPECT_EQ(line.bytes, as_bytes) << content;
    EXPECT_EQ(line.text, as_text) << content;
  }
}

#ifndef _WIN32
// A caller may write the line into a FIFO and hold its end open until the
// program ends: the line must be taken without waiting for more.
TEST_F(PathLine, IsTakenFromAFifoWhoseWriterStaysOpen) {
  using namespace std::string_literals;
  const std::vector<path_line_case> cases = {
      {"out.dat\n", "out.dat", "out.dat"},
      {"\n \r\n\tout.dat\r\n", "out.dat\r", "out.dat\r"},
      {"\xEF\xBB\xBFout.dat\n", "\xEF\xBB\xBFout.dat", "out.dat"},
      {"\xFF\xFE\n\0o\0.\0d\0\n\0"s, "\xFF\xFE"s, "o.d"},
      {"\0o\0.\0d\0\n"s, "\0o\0.\0d\0"s, "\0o\0.\0d\0"s},
      {"\xFE\xFF\0o\0.\0d\0\n"s, "\xFE\xFF\0o\0.\0d\0"s, "o.d"},
      {"a.txt\r", "a.txt", "a.txt", line_end::newline_or_return},
      {"\r\n\r\na.txt\r", "a.txt", "a.txt", line_end::newline_or_return},
  };
  for (const auto& [content, as_bytes, as_text, end] : cases) {
    std::remove(name);
    ASSERT_EQ(mkfifo(name, 0600), 0);
    std::promise<void> read;
    // A lambda may not name a structured binding before C++20.
    const std::string& sent = content;
    // Closes after ten seconds at the latest, so that a reader that waits
    // for more fails instead of hanging.
    auto writer = std::async(std::launch::async, [&, future = read.get_future()] {
      const int fd = open(name, O_WRONLY);
      const bool wrote = ::write(fd, sent.data(), sent.size()) == static_cast<ssize_t>(sent.size());
      const bool held = future.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
      close(fd);
      return wrote && held;
    });
    const path_line line = read_path_line(name, end);
    read.set_value();
    EXPECT_TRUE(writer.get()) << "still reading after the line: " << content;
    EXPECT_EQ(line.bytes, as_bytes) << content;
    EXPECT_EQ(line.text, as_text) << content;
  }
}
#endif

TEST_F(PathLine, IsEmptyWhenTheFileIsMissing) {
  std::remove(name);
  EXPECT_EQ(read_path_line(name).bytes, "");
  EXPECT_EQ(read_path_line(name).text, "");
}

}  // namespace
