#include "path_line.h"

#include "console_io.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

bool ends_line(int c, line_end end) {
  return c == '\n' || (end == line_end::newline_or_return && c == '\r');
}

// Where the first line of `bytes` ends, or npos when it runs on past them.
std::size_t line_length(std::string_view bytes, line_end end) {
  return bytes.find_first_of(end == line_end::newline ? "\n" : "\n\r");
}

// The hand-off file as a stream of bytes: the file's own, or, after a
// byte-order mark, UTF-8 (UTF-16 decoded on the way). Read a block at a
// time, so that skipping a long run of blank lines costs little.
class handoff_stream {
public:
  explicit handoff_stream(std::FILE* file) : file_(file), block_(block_size) {
    if (!fill()) {
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
    marked_ = at_ != 0;
  }

  // Whether the file started with a byte-order mark, which was skipped.
  [[nodiscard]] bool marked() const { return marked_; }

  // The file's first line as bytes, the mark included: it lies in the first
  // block, which holds a line as long as a path line may be and one byte
  // more. Only useful before anything is read past that line.
  [[nodiscard]] std::string first_line_as_bytes(line_end end) const {
    const std::string_view start(block_.data(), std::min(end_, longest_path_line + 1));
    const std::size_t length = line_length(start, end);
    if (length == std::string_view::npos) {
      return end_ > longest_path_line ? std::string() : std::string(start);
    }
    return std::string(start.substr(0, length));
  }

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
  static constexpr std::size_t block_size = 2 * longest_path_line;

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
  bool marked_ = false;
  bool utf16_ = false;
  bool little_endian_ = false;
  long held_unit_ = -1;
  std::string pending_;
  std::size_t pending_at_ = 0;
};

// The next line that is not classic whitespace, without its line end; empty
// at the end of the file, or when the line is longer than a path line may be.
std::string next_line(handoff_stream& in, line_end end) {
  std::string line;
  for (int c = in.next_non_blank(); c != EOF && !ends_line(c, end); c = in.next()) {
    if (line.size() == longest_path_line) {
      return {};
    }
    line.push_back(static_cast<char>(c));
  }
  return line;
}

}  // namespace

path_line read_path_line(const char* name, line_end end, blank_test is_blank) {
  std::FILE* file = std::fopen(name, "rb");
  if (file == nullptr) {
    return {};
  }
  handoff_stream in(file);
  path_line line;
  line.marked = in.marked();
  if (line.marked) {
    line.bytes = in.first_line_as_bytes(end);
  }
  for (bool first = true;; first = false) {
    line.text = next_line(in, end);
    if (!line.marked || !first) {
      line.bytes = line.text;
    }
    if (line.text.empty() || is_blank == nullptr || !is_blank(line)) {
      break;
    }
  }
  // Only read from, so closing loses nothing.
  (void)std::fclose(file);
  return line;
}
