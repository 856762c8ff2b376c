#include "path_line.h"

#include "console_io.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

using namespace std::string_view_literals;

bool ends_line(int c, line_end end) {
  return c == '\n' || (end == line_end::newline_or_return && c == '\r');
}

// Where the first line of `bytes` ends, or npos when it runs on past them.
std::size_t line_length(std::string_view bytes, line_end end) {
  return bytes.find_first_of(end == line_end::newline ? "\n"sv : "\n\r"sv);
}

// What the file has ready, up to `size` bytes, in one read: a FIFO gives
// what its writer has written so far. A writer may hold its end open until
// the program ends, so nothing past the path line may be waited for. 0 at
// the end of the file or on a read error, which ends the line like the end.
std::size_t read_some(std::FILE* file, char* block, std::size_t size) {
#ifdef _WIN32
  const int got =
      _read(_fileno(file), block, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
#else
  ssize_t got = 0;
  do {
    got = read(fileno(file), block, size);
  } while (got < 0 && errno == EINTR);
#endif
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

// The hand-off file as a stream of bytes: the file's own, or, after a
// byte-order mark, UTF-8 (UTF-16 decoded on the way). Read a block at a
// time, so that skipping a long run of blank lines costs little, and never
// further than the bytes asked for.
class handoff_stream {
public:
  handoff_stream(std::FILE* file, line_end end)
      : file_(file), end_of_line_(end), block_(block_size) {
    // A mark is told from as many bytes as it takes, which a FIFO may give
    // one at a time; a file without one has nothing more read here.
    const auto could_be_mark = [this](std::string_view mark) {
      const std::string_view start(block_.data(), std::min(end_, mark.size()));
      return mark.substr(0, start.size()) == start;
    };
    const std::string_view marks[] = {"\xEF\xBB\xBF"sv, "\xFF\xFE"sv, "\xFE\xFF"sv};
    const auto is_mark = [this](std::string_view mark) {
      return std::string_view(block_.data(), end_).substr(0, mark.size()) == mark;
    };
    while (end_ < 3 && std::any_of(std::begin(marks), std::end(marks), could_be_mark) && fill()) {
    }
    if (is_mark(marks[0])) {
      at_ = 3;
    } else if (is_mark(marks[1]) || is_mark(marks[2])) {
      little_endian_ = block_.data()[0] == '\xFF';
      utf16_ = true;
      at_ = 2;
    }
    marked_ = at_ != 0;
    if (marked_) {
      keep_first_line(0);
    }
  }

  // Whether the file started with a byte-order mark, which was skipped.
  [[nodiscard]] bool marked() const { return marked_; }

  // After a mark, the file's first line as bytes, the mark included, as far
  // as the bytes read so far hold it; empty when it is longer than a path
  // line may be.
  [[nodiscard]] std::string first_line_as_bytes() const {
    return first_line_.size() > longest_path_line ? std::string() : first_line_;
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

  // Reads what is ready after the bytes held, or, once they are all used,
  // in their place.
  bool fill() {
    if (at_ == end_) {
      at_ = end_ = 0;
    }
    const std::size_t got = read_some(file_, block_.data() + end_, block_.size() - end_);
    end_ += got;
    if (marked_) {
      keep_first_line(end_ - got);
    }
    return got > 0;
  }

  // Adds the bytes from `from` on to the first line, until it ends or is too
  // long to name a file.
  void keep_first_line(std::size_t from) {
    if (first_line_ended_) {
      return;
    }
    const std::string_view bytes(block_.data() + from, end_ - from);
    const std::size_t length = line_length(bytes, end_of_line_);
    first_line_ended_ = length != std::string_view::npos;
    first_line_.append(
        bytes.substr(0, std::min(length, longest_path_line + 1 - first_line_.size())));
    first_line_ended_ = first_line_ended_ || first_line_.size() > longest_path_line;
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
  line_end end_of_line_;
  page_buffer block_;
  std::size_t at_ = 0;
  std::size_t end_ = 0;
  bool marked_ = false;
  std::string first_line_;
  bool first_line_ended_ = false;
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
  handoff_stream in(file, end);
  path_line line;
  line.marked = in.marked();
  for (bool first = true;; first = false) {
    line.text = next_line(in, end);
    // The line as bytes runs from the mark to the first line end, which the
    // first line as text reaches.
    line.bytes = line.marked && first ? in.first_line_as_bytes() : line.text;
    if (line.text.empty() || is_blank == nullptr || !is_blank(line)) {
      break;
    }
  }
  // Only read from, so closing loses nothing.
  (void)std::fclose(file);
  return line;
}
