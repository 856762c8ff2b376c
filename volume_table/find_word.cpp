#include "find_word.h"

#include "input_file.h"

#include "console_io.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace {

// The examined lines after a header line that belong to its table.
constexpr int rows_per_table = 6;

constexpr const char* program = "volume_table";

constexpr std::size_t not_found = std::string_view::npos;

// Hands `look` the bytes of the input from `from` on, a block at a time,
// until it finds what it looks for: `look(bytes, offset)`, given bytes that
// begin at file offset `offset`, returns the index of what it found in them
// or `not_found`. The last `overlap` bytes of each block are handed again
// with the next, for a text that may run past a block end. The reader keeps
// the bytes from `keep` on as it moves on; `look` may move `keep`. Returns
// the offset found, or `in.end()` with `found` false at the end of the input.
template <typename Look>
std::uint64_t scan_for(block_reader& in, std::uint64_t from, const std::uint64_t& keep,
                       std::size_t overlap, bool& found, Look look) {
  for (;;) {
    const std::size_t at = look(in.view(from, in.end()), from);
    if (at != not_found) {
      found = true;
      return from + at;
    }
    from = std::max(from, in.end() > overlap ? in.end() - overlap : 0);
    if (!in.advance(std::min(keep, from))) {
      found = false;
      return in.end();
    }
  }
}

// Keeps nothing behind what is being looked at.
constexpr std::uint64_t keep_nothing = UINT64_MAX;

std::size_t find_newline(std::string_view bytes, std::uint64_t /*offset*/) {
  return bytes.find('\n');
}

std::size_t find_non_blank(std::string_view bytes, std::uint64_t /*offset*/) {
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

// The one message of a result file that cannot be read. It goes to standard
// output, where the caller looks for it; failing to deliver it is an error.
int report_unreadable_input() {
  const int error = error_of([] {
    (void)std::fputs("sumtally could not be opened\n", stdout);
    return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
  });
  return error == 0 ? 0 : report_failure(program, "standard output", error);
}

}  // namespace

void table_writer::put(std::string_view bytes) {
  if (error_ != 0 || bytes.empty()) {
    return;
  }
  error_ =
      error_of([&] { return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size(); });
}

void copy_tables(block_reader& in, table_writer& out, std::string_view header) {
  const std::size_t overlap = header.size() - 1;
  bool found = false;
  // The first line is never examined.
  std::uint64_t pos = scan_for(in, 0, keep_nothing, 0, found, find_newline) + 1;
  int rows_left = 0;
  while (found && out.ok()) {
    std::uint64_t line_start = 0;
    std::uint64_t from = 0;
    bool is_header = rows_left == 0;
    if (is_header) {
      // Only the header is searched for, so lines outside a table cost
      // nothing but the search; the start of the line being searched is
      // followed, so that a header line that began blocks ago is still
      // copied whole.
      line_start = pos;
      from = scan_for(in, pos, line_start, overlap, found,
                      [&](std::string_view bytes, std::uint64_t offset) {
                        const std::size_t hit = bytes.find(header);
                        const std::size_t newline = find_last_newline(bytes.substr(0, hit));
                        if (newline != not_found) {
                          line_start = std::max(line_start, offset + newline + 1);
                        }
                        return hit;
                      });
    } else {
      line_start = from = scan_for(in, pos, keep_nothing, 0, found, find_non_blank);
    }
    if (!found) {
      return;
    }
    // The line ends at its newline, or at the end of the input; a header
    // anywhere in it makes it a header line.
    const std::uint64_t line_end =
        scan_for(in, from, line_start, overlap, found, [&](std::string_view bytes, std::uint64_t) {
          const std::size_t newline = bytes.find('\n');
          is_header = is_header || bytes.substr(0, newline).find(header) != not_found;
          return newline;
        });
    if (!write_line(in, out, line_start, line_end, is_header)) {
      return;
    }
    // A header inside a table starts a new table there.
    rows_left = is_header ? rows_per_table : rows_left - 1;
    pos = line_end + 1;
  }
}

// The two strings are taken by value, as the callers of find_word expect.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
int find_word(std::string path, std::string header, const scan_options& options) {
  return find_word(std::vector<std::string>{std::move(path)}, header, options);
}

int find_word(const std::vector<std::string>& spellings, const std::string& header,
              const scan_options& options) {
  for (const std::string& path : spellings) {
    std::FILE* input = open_input(path);
    if (input == nullptr) {
      continue;
    }
    // Our blocks are the only buffer: stdio's would just copy every byte
    // twice. Set first, as setvbuf must be, before the reader tries a seek.
    (void)std::setvbuf(input, nullptr, _IONBF, 0);
    // The retain limit must cover a header that runs past a block end.
    block_reader in(input, options.block_size, std::max(options.retain_limit, header.size()));
    // A directory opens on Linux, but its first read fails: no file, and
    // nothing was taken from a file that is one.
    if (!in.start()) {
      close_input(input);
      continue;
    }

    std::FILE* output = nullptr;
    const int open_error = error_of([&] {
      output = std::fopen(tables_output_name, "wb");
      return output != nullptr;
    });
    if (open_error != 0) {
      close_input(input);
      return report_failure(program, tables_output_name, open_error);
    }
    (void)std::setvbuf(output, nullptr, _IOFBF, std::size_t{64} * 1024);
    table_writer out(output);
    copy_tables(in, out, header);
    close_input(input);

    const int error = finish_output(output, out.error());
    if (error != 0) {
      return report_failure(program, tables_output_name, error);
    }
    // Tables after a failed read were never seen: what was copied stays, but
    // the caller must not take it for the whole result.
    return in.error() == 0 ? 0 : report_failure(program, path.c_str(), in.error());
  }
  return report_unreadable_input();
}
