#pragma once

#include <cstddef>
#include <string>

// The longest path line worth reading: longer than any path a system opens
// (Windows stops at 32,767 UTF-16 units, Linux at 4,096 bytes).
inline constexpr std::size_t longest_path_line = std::size_t{64} * 1024;

// What ends a path line besides the end of the file: the newline alone, or
// also a carriage return, for files written with old Mac line ends.
enum class line_end { newline, newline_or_return };

// The first non-blank line of a hand-off file, without its line end.
struct path_line {
  // As the file's bytes give it; after a byte-order mark, that of the
  // file's first line only, and `text` for any later one.
  std::string bytes;
  // As text: after a UTF-8 byte-order mark, or decoded to UTF-8 after a
  // UTF-16 one (either byte order); the same as `bytes` without a mark.
  std::string text;
  // Whether the file starts with a byte-order mark, which names `text`'s
  // encoding.
  bool marked = false;
};

// Whether a line is blank to a reader that reads more than classic
// whitespace as blank, such as a Unicode space in a program that reads its
// names as text.
using blank_test = bool (*)(const path_line& line);

// The path line of the hand-off file `name`, which is opened once and read
// from the start in one pass, so that a pipe gives it too, and no further
// than the end of that line, so that a caller that writes the line into a
// FIFO and holds it open until the program ends is not waited for. Blank lines
// (classic whitespace, or what `is_blank` holds blank) before it are skipped,
// however many. Empty when the file is missing, unreadable or blank, or when
// the line is longer than `longest_path_line`, which names no file (the rest
// of it is not read).
path_line read_path_line(const char* name, line_end end = line_end::newline,
                         blank_test is_blank = nullptr);
