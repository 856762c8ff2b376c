#include "find_word.h"

#include "byte_search.h"
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
  std::size_t i = 0;
  while (i < bytes.size() && is_classic_space(bytes[i])) {
    ++i;
  }
  return i == bytes.size() ? not_found : i;
}

// The start of the next line from `from`, the start of a line, that holds
// `header`. Only the header is searched for, so lines outside a table cost
// nothing but the search; the start of the line being searched is followed,
// and kept as the reader moves on, so that a header line that began blocks
// ago is still copied whole.
scan_result find_header_line(block_reader& in, std::string_view header, std::uint64_t from) {
  std::uint64_t line_start = from;
  for (;;) {
    const std::string_view bytes = in.view(from, in.end());
    const std::size_t hit = find_text(bytes, header);
    const std::size_t newline = find_last_newline(bytes.substr(0, hit));
    if (newline != not_found) {
      line_start = std::max(line_start, from + newline + 1);
    }
    if (hit != not_found) {
      return {line_start, true};
    }
    from = std::max(from, in.end() - std::min<std::uint64_t>(in.end(), header.size() - 1));
    if (!in.advance(std::min(line_start, from))) {
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
      piece.remove_prefix(std::min(find_non_blank(piece), piece.size()));
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

void copy_tables(block_reader& in, table_writer& out, std::string_view header) {
  // The first line is never examined.
  scan_result line_end = scan_for(in, 0, keep_nothing, 0, find_newline);
  int rows_left = 0;
  while (line_end.found && out.ok()) {
    const std::uint64_t next = line_end.offset + 1;
    const scan_result line_start = rows_left == 0
                                       ? find_header_line(in, header, next)
                                       : scan_for(in, next, keep_nothing, 0, find_non_blank);
    if (!line_start.found) {
      break;
    }
    // The line ends at its newline, or at the end of the input; a header
    // anywhere in it makes it a header line. A header line longer than the
    // reader keeps is looked at from what is kept, where its header lies.
    bool is_header = false;
    line_end = scan_for(in, std::max(line_start.offset, in.begin()), line_start.offset,
                        header.size() - 1, [&](std::string_view bytes) {
                          const std::size_t newline = bytes.find('\n');
                          is_header =
                              is_header || find_text(bytes.substr(0, newline), header) != not_found;
                          return newline;
                        });
    if (!write_line(in, out, line_start.offset, line_end.offset, is_header)) {
      break;
    }
    // A header inside a table starts a new table there.
    rows_left = is_header ? rows_per_table : rows_left - 1;
  }
  out.flush();
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
    // A directory opens on Linux, though not on Windows: no file on either.
    if (is_directory(input)) {
      close_input(input);
      continue;
    }
    // The retain limit must cover a header that runs past a block end.
    block_reader in(input, options.block_size, std::max(options.retain_limit, header.size()),
                    options.window_size);
    // A file that opened but cannot be read is not missing: what it holds
    // is unknown, and the tables of an earlier run stay.
    if (!in.start()) {
      close_input(input);
      return report_failure(program, path.c_str(), in.error());
    }

    // Opening the output truncates it: were it the result file, by another
    // name or a link, the tables would be lost with the file they come from.
    if (is_same_file(input, tables_output_name)) {
      close_input(input);
      return report_failure(program, tables_output_name,
                            "is the result file itself; left as it was");
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
    // The writer buffers the tables itself; stdio's buffer would only copy
    // them again.
    (void)std::setvbuf(output, nullptr, _IONBF, 0);
    table_writer out(output);
    copy_tables(in, out, header);
    const int read_error = in.finish();
    close_input(input);

    const int error = finish_output(output, out.error());
    if (error != 0) {
      return report_failure(program, tables_output_name, error);
    }
    // Tables after a failed read were never seen: what was copied stays, but
    // the caller must not take it for the whole result.
    return read_error == 0 ? 0 : report_failure(program, path.c_str(), read_error);
  }
  return report_unreadable_input();
}
