#include "path_handoff.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

struct replace_case {
  std::string text, pattern, replacement, result;
};

TEST(DoReplace, IsRegularExpressionReplaceAll) {
  const std::vector<replace_case> cases = {
      {"a.b", ".", "", ""},                     // the pattern is a regular expression
      {"ab", "b", "[$&]", "a[b]"},              // the whole match
      {"abc", "(b)(x)?", "<$1|$2>", "a<b|>c"},  // groups; one that did not take part gives nothing
      {"ab", "b", "$$", "a$"},                  // a literal dollar
      {"abc", "b", "[$`|$']", "a[a|c]c"},       // the text before and after the match
      {"aaa", "a", "b", "bbb"},                 // every match, not only the first
      {"aaaa", "aa", "x", "xx"},                // matches do not overlap
      {"A", "a", "", "A"},                      // case-sensitive
      {"x\ny", "^y", "", "x\ny"},               // no multiline mode
      {"ab", "", "-", "-a-b-"},                 // an empty pattern matches between every two bytes
  };
  for (const auto& c : cases) {
    EXPECT_EQ(do_replace(c.text, c.pattern, c.replacement), c.result)
        << c.text << " / " << c.pattern;
  }
}

// Plain patterns take a shortcut past the regular expression engine; it has
// to agree with the engine on everything, so both are run on the same
// random texts, patterns and replacements, syntax characters, NUL bytes and
// "$" formats among them. A round that the shortcut must leave to the
// engine would only compare the engine with itself; it counts where the
// plain search gives another result, so that taking the shortcut there fails.
TEST(DoReplace, AgreesWithTheRegularExpressionEngine) {
  using namespace std::string_literals;
  const std::string syntax = "^$\\.*+?()[]{}|";
  const std::string alphabet = "ab \r\n\t.$\\*()[]{}|^+?\xff\0"s;
  std::mt19937 rng(20261208);
  const auto random_text = [&](std::size_t max_size) {
    std::string text(std::uniform_int_distribution<std::size_t>(0, max_size)(rng), 'a');
    for (char& c : text) {
      c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
    }
    return text;
  };
  const auto engine = [](const std::string& text, const std::string& pattern,
                         const std::string& replacement) {
    return std::regex_replace(text, std::regex(pattern, std::regex::ECMAScript), replacement);
  };
  // The engine made to search for the pattern's own text and to insert the
  // replacement's own text: what the shortcut gives.
  const auto plain_search = [&](const std::string& text, const std::string& pattern,
                                const std::string& replacement) {
    std::string escaped;
    for (const char c : pattern) {
      escaped += syntax.find(c) == std::string::npos ? std::string(1, c) : "\\"s + c;
    }
    return engine(text, escaped, std::regex_replace(replacement, std::regex("\\$"), "$$$$"));
  };
  int plain_matches = 0;
  int engine_rounds = 0;
  for (int round = 0; round < 4000; ++round) {
    std::string text = random_text(12);
    std::string pattern = random_text(3);
    // Every other round keeps to the first letters, which are plain text and
    // often match.
    if (round % 2 == 0) {
      for (std::string* s : {&text, &pattern}) {
        for (char& c : *s) {
          c = alphabet[static_cast<unsigned char>(c) % 4];
        }
      }
    }
    const std::string replacement =
        round % 3 == 0 ? random_text(3) : std::string(static_cast<std::size_t>(round % 5), 'r');
    std::string expected;
    try {
      expected = engine(text, pattern, replacement);
    } catch (const std::regex_error&) {
      EXPECT_THROW(do_replace(text, pattern, replacement), std::regex_error) << pattern;
      continue;
    }
    const bool plain = !pattern.empty() && pattern.find_first_of(syntax) == std::string::npos &&
                       pattern.find('\0') == std::string::npos &&
                       replacement.find('$') == std::string::npos;
    if (plain) {
      plain_matches += expected != text ? 1 : 0;
    } else if (pattern.empty() || expected == plain_search(text, pattern, replacement)) {
      continue;
    } else {
      ++engine_rounds;
    }
    ASSERT_EQ(do_replace(text, pattern, replacement), expected)
        << "text \"" << text << "\", pattern \"" << pattern << "\", replacement \"" << replacement
        << "\"";
  }
  EXPECT_GT(plain_matches, 300) << "too few plain patterns that match to test the shortcut";
  EXPECT_GT(engine_rounds, 100) << "too few rounds where the shortcut would be wrong";
}

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
      // Long absolute paths on Windows, counted in UTF-16 units.
      {"C:/" + d257, windows, {"C:/" + d257, "\\\\?\\C:\\" + d257}},
      {"C:/" + d257.substr(1), windows, {"C:/" + d257.substr(1)}},
      {"C:/" + e129, windows, {"C:/" + e129}},
      {"/" + d257 + "/x", posix, {"/" + d257 + "/x"}},
      {"file://server/share/" + d257,
       windows,
       {"server/share/" + d257, "//server/share/" + d257, "\\\\?\\UNC\\server\\share\\" + d257}},
  };
  for (const auto& [line, system, spellings] : cases) {
    EXPECT_EQ(path_spellings(line, system), spellings) << line;
  }
  // After a byte-order mark: the line as bytes first, then as text.
  EXPECT_EQ(
      path_spellings("\xEF\xBB\xBF\"a b.dat\"", "\"a b.dat\"", posix),
      (std::vector<std::string>{"\xEF\xBB\xBF\"ab.dat\"", "\"ab.dat\"", "\"a b.dat\"", "a b.dat"}));
}

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

TEST_F(PathLine, FirstReadableSpellingWins) {
  write("x");
  EXPECT_EQ(first_readable({"missing.tmp", name}), name);
  EXPECT_EQ(first_readable({"missing.tmp", "missing too.tmp"}), "missing.tmp");
  // The C library would open the part before a NUL byte.
  const std::string with_nul = std::string(name) + '\0' + "x";
  EXPECT_EQ(first_readable({with_nul, "missing.tmp"}), with_nul);
}

}  // namespace
