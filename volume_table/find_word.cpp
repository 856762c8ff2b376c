#include "find_word.h"

#include "input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

// The examined lines after a header line that belong to its table.
constexpr int rows_per_table = 6;

constexpr const char* program_name = "volume_table";

// The whitespace of the classic locale: skipped before every examined line,
// so blank lines are never examined nor counted.
bool is_classic_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Where a search for a header that may run past end() has to start again
// after the next block is read.
std::uint64_t straddle_start(std::uint64_t end, std::string_view header) {
  const std::size_t overlap = header.size() - 1;
  return end > overlap ? end - overlap : 0;
}

// Moves `pos` past the first line, which is never examined. False when the
// input holds no newline, so nothing is left.
bool skip_first_line(block_reader& in, std::uint64_t& pos) {
  for (;;) {
    const std::string_view rest = in.view(pos, in.end());
    const std::size_t newline = rest.find('\n');
    if (newline != std::string_view::npos) {
      pos += newline + 1;
      return true;
    }
    pos = in.end();
    if (!in.advance(pos)) {
      return false;
    }
  }
}

// Moves `pos` to the next character that is not whitespace. False at the
// end of the input.
bool skip_blanks(block_reader& in, std::uint64_t& pos) {
  for (;;) {
    const std::string_view rest = in.view(pos, in.end());
    const auto* const it = std::find_if_not(rest.begin(), rest.end(), is_classic_space);
    if (it != rest.end()) {
      pos += static_cast<std::uint64_t>(it - rest.begin());
      return true;
    }
    pos = in.end();
    if (!in.advance(pos)) {
      return false;
    }
  }
}

// Searches from `pos`, which starts a line, for the next occurrence of the
// header. On success `hit` is its offset and `line_start` the start of its
// line. Only the header is searched for: lines outside a table cost nothing
// but the search, and the start of the current line is tracked block by
// block so that a header line that began in an earlier block is still copied
// whole.
bool find_next_header(block_reader& in, std::string_view header, std::uint64_t pos,
                      std::uint64_t& line_start, std::uint64_t& hit) {
  std::uint64_t line = pos;     // start of the line that holds offset `tracked`
  std::uint64_t tracked = pos;  // no newline lies in [line, tracked)
  std::uint64_t search = pos;
  for (;;) {
    const std::string_view rest = in.view(search, in.end());
    const std::size_t found = rest.find(header);
    if (found != std::string_view::npos) {
      hit = search + found;
      line_start = line;
      // A hit before `tracked` straddled a block end and shares its line.
      if (hit > tracked) {
        const std::string_view before = in.view(tracked, hit);
        const std::size_t newline = before.rfind('\n');
        if (newline != std::string_view::npos) {
          line_start = tracked + newline + 1;
        }
      }
      return true;
    }
    const std::string_view fresh = in.view(tracked, in.end());
    const std::size_t newline = fresh.rfind('\n');
    if (newline != std::string_view::npos) {
      line = tracked + newline + 1;
    }
    tracked = in.end();
    search = std::max(search, straddle_start(in.end(), header));
    if (!in.advance(std::min(line, search))) {
      return false;
    }
  }
}

struct line_end {
  std::uint64_t offset;  // of the newline, or of the end of the input
  bool newline;          // whether a newline ends the line
};

// Finds the end of the line that starts at `line_start`, looking for the
// header from `from` on unless `has_header` is already known to be true.
line_end find_line_end(block_reader& in, std::string_view header, std::uint64_t line_start,
                       std::uint64_t from, bool& has_header) {
  std::uint64_t scan = from;
  std::uint64_t search = from;
  for (;;) {
    const std::string_view rest = in.view(scan, in.end());
    const std::size_t newline = rest.find('\n');
    const std::uint64_t limit = newline == std::string_view::npos ? in.end() : scan + newline;
    if (!has_header) {
      has_header = in.view(search, limit).find(header) != std::string_view::npos;
    }
    if (newline != std::string_view::npos) {
      return {limit, true};
    }
    scan = in.end();
    search = std::max(search, straddle_start(in.end(), header));
    if (!in.advance(std::min(line_start, search))) {
      return {in.end(), false};
    }
  }
}

// Writes one examined line: its leading whitespace dropped, three spaces
// before the first "#" of a header line, and a newline after it. False when
// the line could not be read again.
bool write_line(block_reader& in, table_writer& out, std::uint64_t line_start,
                std::uint64_t line_end, bool is_header) {
  bool leading = true;
  bool insert_pending = is_header;
  const bool read = in.copy_range(line_start, line_end, [&](std::string_view piece) {
    if (leading) {
      const auto* const text = std::find_if_not(piece.begin(), piece.end(), is_classic_space);
      piece.remove_prefix(static_cast<std::size_t>(text - piece.begin()));
      leading = piece.empty();
    }
    if (insert_pending) {
      const std::size_t hash = piece.find('#');
      if (hash != std::string_view::npos) {
        out.put(piece.substr(0, hash));
        out.put("   ");
        piece.remove_prefix(hash);
        insert_pending = false;
      }
    }
    out.put(piece);
  });
  if (read) {
    out.put("\n");
  }
  return read;
}

int report_failure(const char* what, int error) {
  (void)std::fprintf(stderr, "%s: %s: %s\n", program_name, what, std::strerror(error));
  return 1;
}

// The one message of a result file that cannot be read. It goes to standard
// output, where the caller looks for it; failing to deliver it is an error.
int report_unreadable_input() {
  errno = 0;
  (void)std::fputs("sumtally could not be opened\n", stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    return report_failure("standard output", errno != 0 ? errno : EIO);
  }
  return 0;
}

}  // namespace

void table_writer::put(std::string_view bytes) {
  if (error_ != 0 || bytes.empty()) {
    return;
  }
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    error_ = errno != 0 ? errno : EIO;
  }
}

void copy_tables(block_reader& in, table_writer& out, std::string_view header) {
  std::uint64_t pos = 0;
  if (!skip_first_line(in, pos)) {
    return;
  }
  int rows_left = 0;
  while (out.ok()) {
    std::uint64_t line_start = 0;
    std::uint64_t from = 0;
    bool is_header = rows_left == 0;
    if (is_header) {
      if (!find_next_header(in, header, pos, line_start, from)) {
        return;
      }
    } else {
      if (!skip_blanks(in, pos)) {
        return;
      }
      line_start = from = pos;
    }
    const line_end end = find_line_end(in, header, line_start, from, is_header);
    if (!write_line(in, out, line_start, end.offset, is_header) || !end.newline) {
      return;
    }
    // A header inside a table starts a new table there.
    rows_left = is_header ? rows_per_table : rows_left - 1;
    pos = end.offset + 1;
  }
}

// The two strings are taken by value, as the callers of find_word expect.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
int find_word(std::string path, std::string header, const scan_options& options) {
  std::FILE* input = open_input(path);
  if (input == nullptr) {
    return report_unreadable_input();
  }
  // The retain limit must cover a header that runs past a block end.
  block_reader in(input, options.block_size, std::max(options.retain_limit, header.size()));
  if (!in.start()) {
    close_input(input);
    return report_unreadable_input();
  }

  errno = 0;
  std::FILE* output = std::fopen(tables_output_name, "wb");
  if (output == nullptr) {
    const int error = errno != 0 ? errno : EIO;
    close_input(input);
    return report_failure(tables_output_name, error);
  }
  (void)std::setvbuf(output, nullptr, _IOFBF, std::size_t{64} * 1024);
  table_writer out(output);
  copy_tables(in, out, header);
  close_input(input);

  // A full disk often shows only when the buffer is flushed or the file closed.
  int error = out.error();
  errno = 0;
  if (std::fflush(output) != 0 && error == 0) {
    error = errno != 0 ? errno : EIO;
  }
  errno = 0;
  if (std::fclose(output) != 0 && error == 0) {
    error = errno != 0 ? errno : EIO;
  }
  if (error != 0) {
    return report_failure(tables_output_name, error);
  }
  // Tables after a failed read were never seen: what was copied stays, but
  // the caller must not take it for the whole result.
  return in.error() == 0 ? 0 : report_failure(path.c_str(), in.error());
}
