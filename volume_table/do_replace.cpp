#include "do_replace.h"

#include <regex>
#include <string_view>

namespace {

// A pattern that ECMAScript reads as its own text: none of the syntax
// characters, and not empty (which would match between every two bytes).
bool is_plain_pattern(const std::string& pattern) {
  using namespace std::string_view_literals;
  return !pattern.empty() && pattern.find_first_of("^$\\.*+?()[]{}|\0"sv) == std::string::npos;
}

}  // namespace

std::string do_replace(const std::string& text, const std::string& pattern,
                       const std::string& replacement) {
  // For plain text the replace-all is a plain search, with the same result;
  // compiling a regular expression would be most of a run's start-up work,
  // and every pattern this program passes is plain.
  if (is_plain_pattern(pattern) && replacement.find('$') == std::string::npos) {
    std::string result;
    std::size_t from = 0;
    for (std::size_t at = text.find(pattern); at != std::string::npos;
         at = text.find(pattern, from)) {
      result.append(text, from, at - from).append(replacement);
      from = at + pattern.size();
    }
    return result.append(text, from);
  }
  return std::regex_replace(text, std::regex(pattern, std::regex::ECMAScript), replacement);
}
