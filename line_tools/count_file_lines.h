#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// What counting the lines of a file found.
struct line_total {
  std::uint64_t lines = 0;
  // 0, or the reason a read failed: the count is then short and must not
  // be handed on.
  int read_error = 0;
};

// Bytes read at a time from a file that is not mapped.
inline constexpr std::size_t default_block_size = std::size_t{128} * 1024;

// The lines of the file `name`: every newline ends one, and a last line
// without a newline counts too; a carriage return is just a character. A
// file that cannot be opened, or a directory, has 0 lines; one that opened
// and then failed to read gives the reason.
line_total count_file_lines(const char* name);

// The same count over an open file, from where it stands: through a mapping,
// `window_size` bytes at a time, where that is not 0 and the system maps
// the file, and otherwise by reads of `block_size`, straight into its own
// block (the file is best unbuffered). Both give the same count.
line_total count_stream_lines(std::FILE* file, std::size_t block_size = default_block_size,
                              std::size_t window_size = 0);

// Writes `value` in plain decimal, with nothing after it, to the file `name`,
// replacing what it held. On failure says so on standard error as
// "<program>: <name>: <reason>" and returns 1; otherwise returns 0.
int write_value(const char* program, const char* name, std::uint64_t value);
