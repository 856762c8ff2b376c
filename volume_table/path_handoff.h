#pragma once

#include "path_forms.h"
#include "path_line.h"

#include <cstddef>
#include <string>
#include <vector>

// The hand-off file through which the caller names its result file.
inline constexpr const char* path_handoff_name = "sumtalpart.tmp";

// The path line with every space, newline, carriage return and "file://"
// removed, in that order.
std::string clean_path(const std::string& path_line);

// The spellings of the path line to try, in order, with no spelling twice;
// find_word reads the first that opens. `path_line` is the line as
// read as bytes, `path_text` the same line read as text (path_line). In
// order:
//  1. clean_path(path_line): a readable file of this name is always the one
//     used, byte for byte; the others only rescue lines that name no file.
//  2. clean_path(path_text): the same without a byte-order mark, or decoded
//     from UTF-16.
//  3. path_text with spaces kept inside, trimmed of blanks at both ends, and
//     without newlines, carriage returns and "file://": a path that really
//     has spaces.
//  4. path_text as a file URL (file_url_path).
//  5. When path_text is in double quotes, the text between them, through 3
//     and 4 again.
//  6. When path_text holds a NUL, 1 to 5 for the text before it, as the C
//     library would read the name.
// On Windows each spelling "/C:/..." is followed by "C:/...". How a
// spelling's bytes become a Windows name, and one past MAX_PATH its long
// form, is for open_input to decide.
std::vector<std::string> path_spellings(const std::string& path_line, const std::string& path_text,
                                        path_system system = native_path_system);

// The spellings of a line without a byte-order mark.
std::vector<std::string> path_spellings(const std::string& path_line,
                                        path_system system = native_path_system);
