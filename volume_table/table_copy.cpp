#include "table_copy.h"

#include "byte_search.h"
#include "console_io.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// The examined lines after a header line that belong to its table.
constexpr int rows_per_table = 6;

constexpr std::size_t not_found = std::string_view::npos;

// Where a search through the input ended: at what it looked for, or, with
// `found` false, at the end of what could be read.
struct scan_result {
  std::uint64_t offset;
  bool found;
};

// Hands `look` the bytes of the input from `from` on, a block at a time,
// until it finds what it looks for: `look(bytes)` returns the index of what
// it found in them or `not_found`. The last `overlap` bytes of each block
// are handed again with the next, for a text that may run past a block end.
// The reader keeps the bytes from `keep` on as it moves on.
template <typename Look>
scan_result scan_for(block_reader& in, std::uint64_t from, std::uint64_t keep, std::size_t overlap,
                     Look look) {
  for (;;) {
    const std::size_t at = look(in.view(from, in.end()));
    if (at != not_found) {
      return {from + at, true};
    }
    from = std::max(from, in.end() > overlap ? in.end() - overlap : 0);
    if (!in.advance(std::min(keep, from))) {
      return {in.end(), false};
    }
  }
}

// Keeps nothing behind what is being looked at.
constexpr std::uint64_t keep_nothing = UINT64_MAX;

std::size_t find_newline(std::string_view bytes) {
  return bytes.find('\n');
}

std::size_t find_non_blank(std::string_view bytes) {
  const auto* const it = std::find_if_not(bytes.begin(), bytes.end(), is_classic_space);
  return it == bytes.end() ? not_found : static_cast<std::size_t>(it - bytes.begin());
}

// The offset of the last newline in `bytes`, or `not_found`. Eight bytes at
// a time: a line that runs on for blocks is searched end to end here, which
// a byte loop made most of the time of a long line.
std::size_t find_last_newline(std::string_view bytes) {
  constexpr std::uint64_t ones = 0x0101010101010101U;
  std::size_t end = bytes.size();
  for (; end >= sizeof(std::uint64_t); end -= sizeof(std::uint64_t)) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes.data() + end - sizeof word, sizeof word);
    // A byte of `word ^ newlines` is zero where `word` holds a newline.
    const std::uint64_t x = word ^ (ones * '\n');
    if (((x - ones) & ~x & (ones << 7U)) != 0) {
      break;
    }
  }
  return bytes.substr(0, end).rfind('\n');
}

// Writes an examined line handed over in pieces: its leading whitespace
// dropped, and three spaces before the first "#" of a header line.
struct line_output {
  table_writer& out;
  bool leading;
  bool insert_pending;

  void operator()(std::string_view piece) {
    if (leading) {
      const auto* const text = std::find_if_not(piece.begin(), piece.end(), is_classic_space);
      piece.remove_prefix(static_cast<std::size_t>(text - piece.begin()));
      leading = piece.empty();
    }
    if (insert_pending) {
      const std::size_t hash = piece.find('#');
      if (hash != not_found) {
        out.put(piece.substr(0, hash));
        out.put("   ");
        piece.remove_prefix(hash);
        insert_pending = false;
      }
    }
    out.put(piece);
  }
};

// Writes one examined line, [line_start, line_end), and a newline after it.
// False when the line could not be read again.
bool write_line(block_reader& in, table_writer& out, std::uint64_t line_start,
                std::uint64_t line_end, bool is_header) {
  if (!in.copy_range(line_start, line_end, line_output{out, true, is_header})) {
    return false;
  }
  out.put("\n");
  return true;
}

// A line that holds the header: where the line begins, just after the
// newline before it, and where the header is in it.
struct header_line {
  std::uint64_t start;
  std::uint64_t header;
  bool found;
};

// The next line from `from`, the start of a line, that holds the header.
// Only the header is searched for, so lines outside a table cost nothing but
// the search; the start of the line being searched is followed, and kept as
// the reader moves on, so that a header line that began blocks ago is still
// copied whole.
header_line find_header_line(block_reader& in, const text_search& header, std::uint64_t from) {
  const std::size_t overlap = header.size() - 1;
  std::uint64_t line_start = from;
  for (;;) {
    const std::string_view bytes = in.view(from, in.end());
    const std::size_t hit = header.find_in(bytes);
    const std::size_t newline = find_last_newline(bytes.substr(0, hit));
    if (newline != not_found) {
      line_start = std::max(line_start, from + newline + 1);
    }
    if (hit != not_found) {
      return {line_start, from + hit, true};
    }
    from = std::max(from, in.end() > overlap ? in.end() - overlap : 0);
    if (!in.advance(std::min(line_start, from))) {
      return {line_start, in.end(), false};
    }
  }
}

// Copies the rows of the table being written that lie wholly in memory from
// `pos`, the start of a line, counting `rows_left` down; a row that holds the
// header starts the table over. Returns where it stopped, after the last row
// it wrote: the table is complete, or its next row runs past what is in
// memory. Nearly every copied byte goes through here, so a row costs a few
// bit operations and a copy into the writer's buffer; only a row with the
// header's first byte in it is searched for the rest.
std::uint64_t copy_rows(block_reader& in, table_writer& out, const text_search& header,
                        std::uint64_t pos, int& rows_left) {
  const std::string_view bytes = in.view(pos, in.end());
  line_walker lines(bytes, header.front());
  std::size_t at = 0;
  // Rows with nothing between them go out as one piece.
  std::size_t span_start = 0;
  std::size_t span_end = 0;
  while (rows_left > 0) {
    const std::size_t start = lines.next_text(at);
    const line_walker::line_end end = lines.end_of_line(start);
    if (end.newline == bytes.size()) {
      break;
    }
    const std::string_view row = bytes.substr(start, end.newline + 1 - start);
    if (end.marked && header.find_in(row) != not_found) {
      out.put(bytes.substr(span_start, span_end - span_start));
      line_output{out, false, true}(row);
      span_start = span_end = end.newline + 1;
      rows_left = rows_per_table;
    } else {
      if (start != span_end) {
        out.put(bytes.substr(span_start, span_end - span_start));
        span_start = start;
      }
      span_end = end.newline + 1;
      --rows_left;
    }
    at = end.newline + 1;
  }
  out.put(bytes.substr(span_start, span_end - span_start));
  return pos + at;
}

void scan_tables(block_reader& in, table_writer& out, const text_search& header) {
  // The first line is never examined.
  const scan_result first_line = scan_for(in, 0, keep_nothing, 0, find_newline);
  std::uint64_t pos = first_line.offset + 1;
  bool more = first_line.found;
  int rows_left = 0;
  while (more && out.ok()) {
    scan_result line_end{};
    if (rows_left == 0) {
      const header_line line = find_header_line(in, header, pos);
      if (!line.found) {
        return;
      }
      line_end = scan_for(in, line.header, line.start, 0, find_newline);
      if (!write_line(in, out, line.start, line_end.offset, true)) {
        return;
      }
      rows_left = rows_per_table;
    } else {
      pos = copy_rows(in, out, header, pos, rows_left);
      if (rows_left == 0) {
        continue;
      }
      // The next row runs past what is in memory: it is found and copied
      // a block at a time. A header anywhere in it makes it a header line.
      const scan_result line_start = scan_for(in, pos, keep_nothing, 0, find_non_blank);
      if (!line_start.found) {
        return;
      }
      bool is_header = false;
      line_end = scan_for(
          in, line_start.offset, line_start.offset, header.size() - 1, [&](std::string_view bytes) {
            const std::size_t newline = bytes.find('\n');
            is_header = is_header || header.find_in(bytes.substr(0, newline)) != not_found;
            return newline;
          });
      if (!write_line(in, out, line_start.offset, line_end.offset, is_header)) {
        return;
      }
      // A header inside a table starts a new table there.
      rows_left = is_header ? rows_per_table : rows_left - 1;
    }
    // The line ends at its newline, or at the end of the input.
    pos = line_end.offset + 1;
    more = line_end.found;
  }
}

}  // namespace

table_writer::table_writer(std::FILE* file) : file_(file), buffer_(new char[capacity]) {}

void table_writer::flush() {
  if (error_ == 0 && used_ > 0) {
    error_ = error_of([&] { return std::fwrite(buffer_.get(), 1, used_, file_) == used_; });
  }
  used_ = 0;
}

void table_writer::put_past_buffer(std::string_view bytes) {
  flush();
  if (bytes.size() < capacity) {
    std::memcpy(buffer_.get(), bytes.data(), bytes.size());
    used_ = bytes.size();
  } else if (error_ == 0) {
    error_ =
        error_of([&] { return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size(); });
  }
}

void copy_tables(block_reader& in, table_writer& out, std::string_view header) {
  scan_tables(in, out, text_search(header));
  out.flush();
}
