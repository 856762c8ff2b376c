#include "path_handoff.h"

#include "do_replace.h"
#include "path_forms.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

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
}

// Spellings 3 and 4 of path_spellings for `text`, trimmed of blanks.
void add_text_spellings(std::vector<std::string>& spellings, const std::string& text,
                        path_system system) {
  add_spelling(spellings, remove_all(text, "file://"), system);
  add_spelling(spellings, file_url_path(text, system), system);
}

// Spellings 1 to 5 of path_spellings.
void add_line_spellings(std::vector<std::string>& spellings, const std::string& path_line,
                        const std::string& path_text, path_system system) {
  add_spelling(spellings, clean_path(path_line), system);
  add_spelling(spellings, clean_path(path_text), system);
  const std::string text = trim(remove_all(remove_all(path_text, "\n"), "\r"), " \t");
  add_text_spellings(spellings, text, system);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    add_text_spellings(spellings, trim(text.substr(1, text.size() - 2), " \t"), system);
  }
}

}  // namespace

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
  add_line_spellings(spellings, path_line, path_text, system);
  // A caller in C or Fortran may write its whole buffer: the name, a NUL,
  // and what the buffer held after it. The C library reads such a name up to
  // its NUL, which no other spelling can hold and still name a file.
  const std::string named = path_text.substr(0, path_text.find('\0'));
  if (named.size() < path_text.size()) {
    add_line_spellings(spellings, named, named, system);
  }
  return spellings;
}

std::vector<std::string> path_spellings(const std::string& path_line, path_system system) {
  return path_spellings(path_line, path_line, system);
}
