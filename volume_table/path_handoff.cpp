#include "path_handoff.h"

#include "console_io.h"
#include "input_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <regex>
#include <string_view>

namespace {

// A pattern that ECMAScript reads as its own text: none of the syntax
// characters, and not empty (which would match between every two bytes).
bool is_plain_pattern(const std::string& pattern) {
  using namespace std::string_view_literals;
  return !pattern.empty() && pattern.find_first_of("^$\\.*+?()[]{}|\0"sv) == std::string::npos;
}

std::string remove_all(const std::string& text, const char* pattern) {
  return do_replace(text, pattern, "");
}

std::string trim_spaces(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

#ifdef _WIN32
// A file URL for a drive-letter path leaves "/C:/..." after the cleaning,
// which Windows does not open; the drive path is what the caller meant.
bool is_slashed_drive_path(const std::string& path) {
  return path.size() >= 4 && path[0] == '/' && std::isalpha(static_cast<unsigned char>(path[1])) &&
         path[2] == ':' && (path[3] == '/' || path[3] == '\\');
}
#endif

void add_spelling(std::vector<std::string>& spellings, const std::string& path) {
  if (std::find(spellings.begin(), spellings.end(), path) == spellings.end()) {
    spellings.push_back(path);
  }
#ifdef _WIN32
  if (is_slashed_drive_path(path)) {
    add_spelling(spellings, path.substr(1));
  }
#endif
}

}  // namespace

std::string read_path_line(const char* name) {
  std::FILE* file = std::fopen(name, "rb");
  if (file == nullptr) {
    return {};
  }
  int c = std::getc(file);
  while (c != EOF && is_classic_space(c)) {
    c = std::getc(file);
  }
  std::string line;
  while (c != EOF && c != '\n') {
    line.push_back(static_cast<char>(c));
    c = std::getc(file);
  }
  close_input(file);
  return line;
}

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

std::string clean_path(const std::string& path_line) {
  // Spaces go first, so that "file: //x" also loses its prefix.
  std::string path = remove_all(path_line, " ");
  path = remove_all(path, "\n");
  path = remove_all(path, "\r");
  return remove_all(path, "file://");
}

std::vector<std::string> path_spellings(const std::string& path_line) {
  std::vector<std::string> spellings;
  add_spelling(spellings, clean_path(path_line));
  // The same cleaning, but spaces only trimmed at the ends: a line ending in
  // " \r" then still names "dir/a b.dat" and not "dir/a b.dat ".
  std::string spaced = remove_all(path_line, "\n");
  spaced = trim_spaces(remove_all(spaced, "\r"));
  add_spelling(spellings, remove_all(spaced, "file://"));
  return spellings;
}

std::string first_readable(const std::vector<std::string>& spellings) {
  // A single spelling is opened by its reader anyway; probing it first
  // would only open it twice.
  if (spellings.size() > 1) {
    for (const auto& path : spellings) {
      if (is_readable_file(path)) {
        return path;
      }
    }
  }
  return spellings.front();
}
