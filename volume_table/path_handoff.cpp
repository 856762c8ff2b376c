#include "path_handoff.h"

#include "console_io.h"
#include "input_file.h"
#include "path_forms.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
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

// How the hand-off file is read: as its bytes, or as the text that a
// byte-order mark announces.
enum class handoff_read { bytes, text };

std::string trim(const std::string& text, const char* blanks) {
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The hand-off file as a stream of bytes: the file's own, or, read as text
// after a byte-order mark, UTF-8 (UTF-16 decoded on the way). Read a block
// at a time, so that skipping a long run of blank lines costs little.
class handoff_stream {
public:
  handoff_stream(std::FILE* file, handoff_read how) : file_(file), block_(block_size) {
    if (how == handoff_read::bytes || !fill()) {
      return;
    }
    const auto starts_with = [this](std::string_view mark) {
      return end_ >= mark.size() && std::equal(mark.begin(), mark.end(), block_.data());
    };
    if (starts_with("\xEF\xBB\xBF")) {
      at_ = 3;
    } else if (starts_with("\xFF\xFE") || starts_with("\xFE\xFF")) {
      little_endian_ = block_.data()[0] == '\xFF';
      utf16_ = true;
      at_ = 2;
    }
  }

  // Whether the file started with a byte-order mark, which was skipped.
  [[nodiscard]] bool marked() const { return utf16_ || at_ == 3; }

  // The next byte, or EOF at the end of the file or at a read error.
  int next() {
    if (!utf16_) {
      return next_byte();
    }
    if (pending_at_ == pending_.size()) {
      pending_.clear();
      pending_at_ = 0;
      if (!decode_next()) {
        return EOF;
      }
    }
    return static_cast<unsigned char>(pending_[pending_at_++]);
  }

  // The first byte that is not classic whitespace, or EOF. Blank lines are
  // skipped a block at a time: a file may hold many.
  int next_non_blank() {
    if (utf16_) {
      int c = next();
      while (c != EOF && is_classic_space(c)) {
        c = next();
      }
      return c;
    }
    for (;;) {
      while (at_ < end_ && is_classic_space(static_cast<unsigned char>(block_.data()[at_]))) {
        ++at_;
      }
      if (at_ < end_) {
        return static_cast<unsigned char>(block_.data()[at_++]);
      }
      if (!fill()) {
        return EOF;
      }
    }
  }

private:
  static constexpr std::size_t block_size = std::size_t{64} * 1024;

  bool fill() {
    at_ = 0;
    // A read error ends the line like the end of the file: what was read
    // so far is all the path there is.
    int error = 0;
    end_ = read_block(file_, block_.data(), block_.size(), error);
    return end_ > 0;
  }

  int next_byte() {
    if (at_ == end_ && !fill()) {
      return EOF;
    }
    return static_cast<unsigned char>(block_.data()[at_++]);
  }

  // The next UTF-16 code unit, or -1 at the end (an odd last byte included).
  long next_unit() {
    const int first = next_byte();
    const int second = first == EOF ? EOF : next_byte();
    if (second == EOF) {
      return -1;
    }
    return little_endian_ ? second * 256L + first : first * 256L + second;
  }

  // The next character as UTF-8 into pending_; an unpaired surrogate becomes
  // U+FFFD, as it names nothing a file system could hold.
  bool decode_next() {
    const auto is_high = [](long unit) { return unit >= 0xD800 && unit <= 0xDBFF; };
    const auto is_low = [](long unit) { return unit >= 0xDC00 && unit <= 0xDFFF; };
    const long unit = held_unit_ >= 0 ? held_unit_ : next_unit();
    held_unit_ = -1;
    if (unit < 0) {
      return false;
    }
    auto code = static_cast<unsigned long>(unit);
    if (is_high(unit)) {
      const long low = next_unit();
      if (is_low(low)) {
        code = 0x10000 + ((code - 0xD800) << 10U) + static_cast<unsigned long>(low - 0xDC00);
      } else {
        code = 0xFFFD;
        held_unit_ = low;
      }
    } else if (is_low(unit)) {
      code = 0xFFFD;
    }
    append_utf8(code);
    return true;
  }

  void append_utf8(unsigned long code) {
    const auto put = [this](unsigned long byte) { pending_.push_back(static_cast<char>(byte)); };
    if (code < 0x80) {
      put(code);
    } else if (code < 0x800) {
      put(0xC0U | (code >> 6U));
      put(0x80U | (code & 0x3FU));
    } else if (code < 0x10000) {
      put(0xE0U | (code >> 12U));
      put(0x80U | ((code >> 6U) & 0x3FU));
      put(0x80U | (code & 0x3FU));
    } else {
      put(0xF0U | (code >> 18U));
      put(0x80U | ((code >> 12U) & 0x3FU));
      put(0x80U | ((code >> 6U) & 0x3FU));
      put(0x80U | (code & 0x3FU));
    }
  }

  std::FILE* file_;
  page_buffer block_;
  std::size_t at_ = 0;
  std::size_t end_ = 0;
  bool utf16_ = false;
  bool little_endian_ = false;
  long held_unit_ = -1;
  std::string pending_;
  std::size_t pending_at_ = 0;
};

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

// The first non-blank line of the file `name` read as `how` says; empty
// when it is longer than a path can be.
std::string read_first_line(const char* name, handoff_read how, bool& marked) {
  std::FILE* file = std::fopen(name, "rb");
  if (file == nullptr) {
    return {};
  }
  handoff_stream in(file, how);
  marked = in.marked();
  std::string line;
  for (int c = in.next_non_blank(); c != EOF && c != '\n'; c = in.next()) {
    if (line.size() == longest_path_line) {
      line.clear();
      break;
    }
    line.push_back(static_cast<char>(c));
  }
  close_input(file);
  return line;
}

}  // namespace

path_line read_path_line(const char* name) {
  bool marked = false;
  path_line line;
  line.text = read_first_line(name, handoff_read::text, marked);
  // Only a byte-order mark makes the two differ.
  line.bytes = marked ? read_first_line(name, handoff_read::bytes, marked) : line.text;
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
