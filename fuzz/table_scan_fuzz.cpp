// The streaming table scan against a line-by-line reading of the same bytes.
// The first three input bytes choose how the scan reads: its block size, how
// much of a long line it may keep, the header it looks for and whether the
// input can seek; the bytes after them are the result file.
#include "block_reader.h"
#include "find_word.h"
#include "fuzz_support.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <string_view>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

constexpr std::string_view classic_space = " \t\n\v\f\r";

// The real header, and short ones that turn up in random bytes often enough
// to straddle block ends, overlap themselves and restart tables.
constexpr std::array<std::string_view, 6> headers = {volume_header, "#",     "##",
                                                     "#a#a",        "# \t#", "#\r"};

// The first line skipped; then, line by line with leading whitespace gone
// and blank lines dropped, each line holding the header and the six lines
// after it, a header among them starting over.
std::string expected_tables(std::string_view text, std::string_view header) {
  const std::size_t first_end = text.find('\n');
  if (first_end == std::string_view::npos) {
    return {};
  }
  text.remove_prefix(first_end + 1);
  std::string out;
  int rows_left = 0;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    line.remove_prefix(std::min(line.find_first_not_of(classic_space), line.size()));
    if (line.empty()) {
      continue;
    }
    if (line.find(header) != std::string_view::npos) {
      const std::size_t hash = line.find('#');
      out.append(line.substr(0, hash)).append("   ").append(line.substr(hash)).append("\n");
      rows_left = 6;
    } else if (rows_left > 0) {
      out.append(line).append("\n");
      --rows_left;
    }
  }
  return out;
}

// A pipe already holding `bytes` and closed for writing, or null when they
// would not fit in it without a reader.
std::FILE* pipe_with(std::string_view bytes) {
#ifdef _WIN32
  (void)bytes;
  return nullptr;
#else
  constexpr std::size_t pipe_room = 60000;
  int fds[2];
  if (bytes.size() > pipe_room || pipe(fds) != 0) {
    return nullptr;
  }
  const bool written = bytes.empty() || write(fds[1], bytes.data(), bytes.size()) ==
                                            static_cast<ssize_t>(bytes.size());
  close(fds[1]);
  std::FILE* file = written ? fdopen(fds[0], "rb") : nullptr;
  if (file == nullptr) {
    close(fds[0]);
  }
  return file;
#endif
}

}  // namespace

// libFuzzer fixes the name.
// NOLINTNEXTLINE(readability-identifier-naming)
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_input input(data, size);
  const std::uint8_t block_byte = input.take_byte();
  const std::uint8_t retain_byte = input.take_byte();
  const std::uint8_t mode_byte = input.take_byte();
  // Mostly blocks shorter than a line; sometimes ones longer than the input.
  std::size_t block_size = 1U + (block_byte & 0x3fU);
  if ((block_byte & 0x40U) != 0) {
    block_size *= 67;
  }
  const std::size_t retain_limit =
      retain_byte == 0xff ? std::numeric_limits<std::size_t>::max() : std::size_t{retain_byte};
  const std::string_view header = headers[(mode_byte & 0x7fU) % headers.size()];
  const std::string_view text = input.rest();

  // A pipe cannot seek, so the reader keeps whole lines instead of reading
  // them again.
  std::FILE* const piped = (mode_byte & 0x80U) != 0 ? pipe_with(text) : nullptr;
  const fuzz_input_file file(piped != nullptr ? std::string_view{} : text);
  std::FILE* const in = piped != nullptr ? piped : file.get();
  fuzz_output_file out;
  {
    // find_word keeps at least a header's length, which the scan relies on.
    // The top bit of the block byte maps the file, a window of the block
    // size at a time.
    block_reader reader(in, block_size, std::max(retain_limit, header.size()),
                        (block_byte & 0x80U) != 0 ? block_size : 0);
    fuzz_check(reader.start(), "the reader did not start");
    table_writer writer(out.get());
    copy_tables(reader, writer, header);
    fuzz_check(reader.finish() == 0, "the reader failed");
    fuzz_check(writer.ok(), "the writer failed");
  }
  const std::string tables = out.take();
  if (piped != nullptr) {
    (void)std::fclose(piped);
  }
  fuzz_expect_equal(expected_tables(text, header), tables, "copy_tables");
  return 0;
}
