#include "path_handoff.h"

#include "input_file.h"
#include "path_forms.h"

#include <algorithm>
#include <cctype>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

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

std::string trim(const std::string& text, const char* blanks) {
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool is_drive_path(const std::string& path, std::size_t at = 0) {
  return path.size() >= at + 3 && std::isalpha(static_cast<unsigned char>(path[at])) != 0 &&
         path[at + 1] == ':' && (path[at + 2] == '/' || path[at + 2] == '\\');
}

bool is_slash(char c) {
  return c == '/' || c == '\\';
}

// Windows counts a path's length in UTF-16 units: one per UTF-8 sequence,
// two for one of four bytes.
std::size_t utf16_length(const std::string& path) {
  std::size_t length = 0;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    length += (byte & 0xC0U) == 0x80U ? 0 : byte >= 0xF0U ? 2 : 1;
  }
  return length;
}

// The "\\?\" form of an absolute Windows path, which Windows takes as it is,
// past MAX_PATH; empty for a path that is not absolute or has the form
// already.
std::string long_path_form(const std::string& path) {
  std::string form;
  if (is_drive_path(path)) {
    form = R"(\\?\)" + path;
  } else if (path.size() > 2 && is_slash(path[0]) && is_slash(path[1]) && path[2] != '?' &&
             path[2] != '.') {
    form = R"(\\?\UNC\)" + path.substr(2);
  }
  std::replace(form.begin(), form.end(), '/', '\\');
  return form;
}

void add_spelling(std::vector<std::string>& spellings, const std::string& path,
                  path_system system) {
  // Only the first spelling may be empty: an empty path names no file.
  if ((path.empty() && !spellings.empty()) ||
      std::find(spellings.begin(), spellings.end(), path) != spellings.end()) {
    return;
  }
  spellings.push_back(path);
  if (system != path_system::windows) {
    return;
  }
  // A file URL for a drive-letter path leaves "/C:/..." after the cleaning;
  // the drive path is what the caller meant.
  add_spelling(spellings, drive_path_after_slash(path), system);
  if (utf16_length(path) >= 260) {
    add_spelling(spellings, long_path_form(path), system);
  }
}

// Spellings 3 and 4 of path_spellings for `text`, trimmed of blanks.
void add_text_spellings(std::vector<std::string>& spellings, const std::string& text,
                        path_system system) {
  add_spelling(spellings, remove_all(text, "file://"), system);
  add_spelling(spellings, file_url_path(text, system), system);
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

std::string clean_path(const std::string& path_line) {
  // Spaces go first, so that "file: //x" also loses its prefix.
  std::string path = remove_all(path_line, " ");
  path = remove_all(path, "\n");
  path = remove_all(path, "\r");
  return remove_all(path, "file://");
}

std::vector<std::string> path_spellings(const std::string& path_line, const std::string& path_text,
                                        path_system system) {
  std::vector<std::string> spellings;
  add_spelling(spellings, clean_path(path_line), system);
  add_spelling(spellings, clean_path(path_text), system);
  const std::string text = trim(remove_all(remove_all(path_text, "\n"), "\r"), " \t");
  add_text_spellings(spellings, text, system);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    add_text_spellings(spellings, trim(text.substr(1, text.size() - 2), " \t"), system);
  }
  return spellings;
}

std::vector<std::string> path_spellings(const std::string& path_line, path_system system) {
  return path_spellings(path_line, path_line, system);
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
