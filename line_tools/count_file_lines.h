#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// What counting the lines of a file found.
struct line_total {
  std::uint64_t lines = 0;
  // 0, or the reason a read failed after some of the file had been read:
  // the count is then short and must not be handed on.
  int read_error = 0;
};

// The lines of the file `name`: every newline ends one, and a last line
// without a newline counts too; a carriage return is just a character. A file
// that cannot be opened or read at all has 0 lines.
line_total count_file_lines(const char* name, std::size_t block_size = std::size_t{128} * 1024);

// The same count over an open file, read from where it stands. Reads go
// straight into its own block, so the file is best unbuffered.
line_total count_stream_lines(std::FILE* file, std::size_t block_size = std::size_t{128} * 1024);

// Writes `value` in plain decimal, with nothing after it, to the file `name`,
// replacing what it held. On failure says so on standard error as
// "<program>: <name>: <reason>" and returns 1; otherwise returns 0.
int write_value(const char* program, const char* name, std::uint64_t value);
