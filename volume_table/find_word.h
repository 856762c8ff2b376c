#pragma once

#include "block_reader.h"
#include "table_writer.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The header line of a region-volume table in a result file.
inline constexpr std::string_view volume_header = "#  num    reg     volume";

// Where the copied tables go, in the working directory.
inline constexpr const char* tables_output_name = "sumtallyres.tmp";

struct scan_options {
  // Bytes read from the result file at a time.
  std::size_t block_size = std::size_t{128} * 1024;
  // How much of a line that runs on past a block stays in memory; the rest
  // of a longer line is read again from the file if it has to be copied.
  std::size_t retain_limit = std::size_t{64} * 1024;
  // Bytes mapped at a time from a regular file at least that long; 0 reads
  // every file.
  std::size_t window_size = default_window_size;
};

// Copies every volume table of the result file `path` into
// "sumtallyres.tmp": each line holding `header`, with three spaces put before
// its first "#", and the six non-blank lines after it, without their leading
// whitespace. A result file that cannot be opened (or is a directory) leaves
// "sumtallyres.tmp" alone and prints "sumtally could not be opened".
//
// `header` must begin with a "#" and hold no newline. Returns the exit
// status: 1 when "sumtallyres.tmp" or the message could not be written, or
// when reading the result file failed (each said on standard error; at the
// first read "sumtallyres.tmp" is left alone), otherwise 0.
int find_word(std::string path, std::string header, const scan_options& options = {});

// The same for the first of `spellings` that opens: each is opened
// once, and the file that opened is the one scanned, so that a pipe or FIFO
// loses nothing to a look at whether it opens. Only when none does is the
// message printed.
int find_word(const std::vector<std::string>& spellings, const std::string& header,
              const scan_options& options = {});

// The scan itself: the tables of a started reader written to `out`. Stops at
// the end of the input, at a read error, or at the first failed write; what
// it wrote has been handed to the file when it returns.
void copy_tables(block_reader& in, table_writer& out, std::string_view header);
