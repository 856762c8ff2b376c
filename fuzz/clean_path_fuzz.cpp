// The path cleaning of volume_table against plain string loops that remove
// the same pieces, and the rules every list of its path spellings keeps.
#include "do_replace.h"
#include "fuzz_support.h"
#include "path_handoff.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Every `what` replaced left to right, the way a regular-expression replace
// walks its matches: text that a replacement brings together is not looked
// at again, so "filfile://e://" keeps a "file://".
std::string replace_each(std::string_view text, std::string_view what, std::string_view with) {
  std::string out;
  std::size_t from = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, from)) {
    out.append(text.substr(from, at - from));
    out.append(with);
    from = at + what.size();
  }
  out.append(text.substr(from));
  return out;
}

std::string remove_each(std::string_view text, std::string_view what) {
  return replace_each(text, what, "");
}

std::string trim_blanks(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

// libFuzzer fixes the name.
// NOLINTNEXTLINE(readability-identifier-naming)
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz_input input(data, size);
  const std::string line(input.rest());

  const std::string cleaned = clean_path(line);
  fuzz_expect_equal(
      remove_each(remove_each(remove_each(remove_each(line, " "), "\n"), "\r"), "file://"), cleaned,
      "clean_path");
  // Checked apart from the loops above, in case they share a mistake.
  fuzz_check(cleaned.find_first_of(" \r\n") == std::string::npos,
             "clean_path left a space or a line end");

  // Our patterns are plain text to the regex engine, and "$&" puts back
  // what matched.
  static const std::array<std::string, 4> patterns = {" ", "\n", "\r", "file://"};
  for (const std::string& pattern : patterns) {
    fuzz_expect_equal(line, do_replace(line, pattern, "$&"), "do_replace with \"$&\"");
  }
  // "$$" is a dollar sign.
  fuzz_expect_equal(replace_each(line, "file://", "<$>"), do_replace(line, "file://", "<$$>"),
                    "do_replace with \"<$$>\"");

  // Spaces only trimmed at the ends, as are tabs.
  const std::string spaced =
      remove_each(trim_blanks(remove_each(remove_each(line, "\n"), "\r")), "file://");
  for (const path_system system : {path_system::posix, path_system::windows}) {
    const std::vector<std::string> spellings = path_spellings(line, system);
    fuzz_check(!spellings.empty() && spellings.front() == cleaned,
               "path_spellings does not start with the cleaned path");
    for (auto it = spellings.begin(); it != spellings.end(); ++it) {
      fuzz_check(std::find(it + 1, spellings.end(), *it) == spellings.end(),
                 "path_spellings names a spelling twice");
      fuzz_check(it == spellings.begin() || !it->empty(), "path_spellings names an empty path");
    }
    fuzz_check(
        spaced.empty() || std::find(spellings.begin(), spellings.end(), spaced) != spellings.end(),
        "path_spellings lacks the spelling with inner spaces kept");
  }
  return 0;
}
