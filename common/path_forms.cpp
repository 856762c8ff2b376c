#include "path_forms.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

// A drive letter and its colon, then the end or a slash either way.
bool is_drive(std::string_view text) {
  return text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) != 0 &&
         text[1] == ':' && (text.size() == 2 || text[2] == '/' || text[2] == '\\');
}

bool equals_ignoring_case(std::string_view text, std::string_view lower) {
  return text.size() == lower.size() &&
         std::equal(text.begin(), text.end(), lower.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         });
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  const int lower = std::tolower(static_cast<unsigned char>(c));
  return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// Every "%XX" as the byte it stands for; a "%" without two hex digits stays.
std::string percent_decoded(std::string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int high = text[i] == '%' && i + 2 < text.size() ? hex_digit(text[i + 1]) : -1;
    const int low = high >= 0 ? hex_digit(text[i + 2]) : -1;
    if (low >= 0) {
      bytes.push_back(static_cast<char>(high * 16 + low));
      i += 2;
    } else {
      bytes.push_back(text[i]);
    }
  }
  return bytes;
}

}  // namespace

std::string file_url_path(const std::string& text, path_system system) {
  using namespace std::string_view_literals;
  const bool windows = system == path_system::windows;
  std::string_view rest(text);
  if (rest.size() < 5 || !equals_ignoring_case(rest.substr(0, 5), "file:"sv)) {
    return {};
  }
  rest.remove_prefix(5);
  if (rest.substr(0, 2) == "//"sv) {
    const std::string_view host = rest.substr(2, rest.find('/', 2) - 2);
    if (host.empty() || equals_ignoring_case(host, "localhost"sv)) {
      rest.remove_prefix(2 + host.size());
    } else if (windows && is_drive(host)) {
      // Some Windows software writes the drive where the host goes.
      rest.remove_prefix(2);
    } else if (!windows) {
      return {};
    }
    // Another host on Windows: the whole "//server/share/p" is its UNC path.
  }
  // "file:////server/share/p" is the other way a URL writes a share of
  // another machine, which Linux would take for its own "/server/share/p".
  if (!windows && rest.substr(0, 2) == "//"sv) {
    return {};
  }
  std::string path = percent_decoded(rest);
  if (path.find('\0') != std::string::npos) {
    return {};
  }
  if (windows) {
    std::string drive_path = drive_path_after_slash(path);
    if (!drive_path.empty()) {
      return drive_path;
    }
  }
  return path;
}

std::string drive_path_after_slash(const std::string& path) {
  if (path.size() >= 3 && path[0] == '/' && is_drive(std::string_view(path).substr(1))) {
    return path.substr(1);
  }
  return {};
}
