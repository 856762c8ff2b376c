#include "do_replace.h"

#include <gtest/gtest.h>

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

}  // namespace
