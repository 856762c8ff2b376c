#include "path_handoff.h"
#include "find_word.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

TEST(CleanPath, RemovesSpacesLineEndsAndUrlPrefixesInThatOrder) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"file:///data/run7/out.dat", "/data/run7/out.dat"},
      {"C:/work dir/out.dat\r", "C:/workdir/out.dat"},
      {"file: //x.dat", "x.dat"},
      {"file://a/file://b", "a/b"},
      {"a\tb\v\f", "a\tb\v\f"},  // only space and carriage return go
      {"", ""},
  };
  for (const auto& [line, cleaned] : cases) {
    EXPECT_EQ(clean_path(line), cleaned) << line;
  }
}

struct spelling_case {
  std::string line;
  path_system system;
  std::vector<std::string> spellings;
};

TEST(PathSpellings, CleanedFirstThenRescuesInTheirOrder) {
  using namespace std::string_literals;
  constexpr path_system posix = path_system::posix;
  constexpr path_system windows = path_system::windows;
  const std::string d257(257, 'd');
  const std::string e129 = [] {
    std::string text;
    for (int i = 0; i < 129; ++i) {
      text += "\xC3\xA9";
    }
    return text;
  }();
  const std::vector<spelling_case> cases = {
      {"out.dat", posix, {"out.dat"}},
      // Spaces kept inside, trimmed of blanks at the ends.
      {"file:///runs/a b.dat \r", posix, {"/runs/ab.dat", "/runs/a b.dat"}},
      {" a b ", posix, {"ab", "a b"}},
      {"a.dat\t", posix, {"a.dat\t", "a.dat"}},
      {"file: //x.dat", posix, {"x.dat", "file: //x.dat", " //x.dat"}},
      // "/C:/" and its drive path, on Windows only.
      {"file:///C:/runs/out.dat", posix, {"/C:/runs/out.dat"}},
      {"file:///C:/runs/out.dat", windows, {"/C:/runs/out.dat", "C:/runs/out.dat"}},
      {"file:///C:/my runs/out.dat",
       windows,
       {"/C:/myruns/out.dat", "C:/myruns/out.dat", "/C:/my runs/out.dat", "C:/my runs/out.dat"}},
      // Quotes: the text between them, through the other rescues again.
      {"\"C:\\work dir\\out.dat\"",
       windows,
       {"\"C:\\workdir\\out.dat\"", "\"C:\\work dir\\out.dat\"", "C:\\work dir\\out.dat"}},
      {"\"/runs/a b.dat\" \r", posix, {"\"/runs/ab.dat\"", "\"/runs/a b.dat\"", "/runs/a b.dat"}},
      {"\"file:///runs/a%20b.dat\"",
       posix,
       {"\"/runs/a%20b.dat\"", "/runs/a%20b.dat", "/runs/a b.dat"}},
      {"\"\"", posix, {"\"\""}},
      {"\"", posix, {"\""}},
      // File URLs: a local host, one slash, percent escapes as bytes.
      {"file://localhost/runs/out.dat", posix, {"localhost/runs/out.dat", "/runs/out.dat"}},
      {"FILE://LocalHost/runs/out.dat", posix, {"FILE://LocalHost/runs/out.dat", "/runs/out.dat"}},
      {"file://localhostx/out.dat", posix, {"localhostx/out.dat"}},
      {"file:/runs/out.dat", posix, {"file:/runs/out.dat", "/runs/out.dat"}},
      {"file:///work%20dir/d%E3%83%87.dat",
       posix,
       {"/work%20dir/d%E3%83%87.dat", "/work dir/d\xE3\x83\x87.dat"}},
      {"file:///a%zz%4", posix, {"/a%zz%4"}},
      {"file:///C:/work%20dir/out.dat",
       windows,
       {"/C:/work%20dir/out.dat", "C:/work%20dir/out.dat", "C:/work dir/out.dat"}},
      // The drive where the host goes; a relative path.
      {"file://C:/my%20runs/out.dat", windows, {"C:/my%20runs/out.dat", "C:/my runs/out.dat"}},
      {"file:runs/out.dat", posix, {"file:runs/out.dat", "runs/out.dat"}},
      {"file:C:/runs/out.dat", posix, {"file:C:/runs/out.dat", "C:/runs/out.dat"}},
      {"file:C:/runs/out.dat", windows, {"file:C:/runs/out.dat", "C:/runs/out.dat"}},
      // Another machine: a UNC path on Windows, nothing on Linux.
      {"file://server/share/out.dat", posix, {"server/share/out.dat"}},
      {"file://server/share/out.dat", windows, {"server/share/out.dat", "//server/share/out.dat"}},
      // Long paths as they are: open_input makes the long form it opens.
      {"C:/" + d257, windows, {"C:/" + d257}},
      {"C:/" + e129, windows, {"C:/" + e129}},
      {"/" + d257 + "/x", posix, {"/" + d257 + "/x"}},
      {"file://server/share/" + d257, windows, {"server/share/" + d257, "//server/share/" + d257}},
      // A NUL ends the name, as the C library reads it, after what the
      // whole line gives; an escaped one is no NUL.
      {"r.dat\0junk"s, posix, {"r.dat\0junk"s, "r.dat"}},
      {"file:///runs/o.dat\0 x"s, posix, {"/runs/o.dat\0x"s, "/runs/o.dat\0 x"s, "/runs/o.dat"}},
      {"\"C:/a b.dat\"\0\"x"s,
       windows,
       {"\"C:/ab.dat\"\0\"x"s, "\"C:/a b.dat\"\0\"x"s, "\"C:/ab.dat\"", "\"C:/a b.dat\"",
        "C:/a b.dat"}},
      {"\0junk"s, posix, {"\0junk"s}},
      {"file:///a%00b", posix, {"/a%00b"}},
  };
  for (const auto& [line, system, spellings] : cases) {
    EXPECT_EQ(path_spellings(line, system), spellings) << line;
  }
  // After a byte-order mark: the line as bytes first, then as text.
  EXPECT_EQ(
      path_spellings("\xEF\xBB\xBF\"a b.dat\"", "\"a b.dat\"", posix),
      (std::vector<std::string>{"\xEF\xBB\xBF\"ab.dat\"", "\"ab.dat\"", "\"a b.dat\"", "a b.dat"}));
}

std::string read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<none>";
}

struct open_case {
  std::vector<std::string> spellings;
  bool scanned;  // or else the message printed, and the earlier output left alone
};

// find_word scans the first spelling that opens and reads, and prints its
// message only when none does. It writes "sumtallyres.tmp" in the working
// directory, where no other test of this program does.
TEST(SpellingOrder, FirstThatOpensAndReadsIsScanned) {
  const std::string result = "SpellingOrder.dat";
  const std::string folder = "SpellingOrder.dir";
  std::ofstream(result, std::ios::binary) << "title\n  " << volume_header << "\n 1 10\n";
  std::filesystem::create_directory(folder);
  // The C library would open the part before the NUL: the result file.
  const std::string with_nul = result + '\0' + "x";
  const std::vector<open_case> cases = {
      {{"missing.tmp", result}, true},
      {{folder, result}, true},  // a folder opens on Linux, but does not read
      {{"missing.tmp", folder}, false},
      {{with_nul, "missing.tmp"}, false},
      {{with_nul, result}, true},
  };
  for (const auto& [spellings, scanned] : cases) {
    std::ofstream("sumtallyres.tmp", std::ios::binary) << "earlier\n";
    testing::internal::CaptureStdout();
    EXPECT_EQ(find_word(spellings, std::string(volume_header)), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              scanned ? "" : "sumtally could not be opened\n");
    EXPECT_EQ(read_file("sumtallyres.tmp"),
              scanned ? "   " + std::string(volume_header) + "\n1 10\n" : "earlier\n");
  }
  std::remove("sumtallyres.tmp");
  std::remove(result.c_str());
  std::filesystem::remove(folder);
}

}  // namespace
