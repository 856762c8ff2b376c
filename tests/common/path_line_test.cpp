#include "path_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

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
  };
  for (const auto& [content, as_bytes, as_text, end] : cases) {
    write(content);
    const path_line line = read_path_line(name, end);
    EXPECT_EQ(line.bytes, as_bytes) << content;
    EXPECT_EQ(line.text, as_text) << content;
  }
}

TEST_F(PathLine, IsEmptyWhenTheFileIsMissing) {
  std::remove(name);
  EXPECT_EQ(read_path_line(name).bytes, "");
  EXPECT_EQ(read_path_line(name).text, "");
}

}  // namespace
