#pragma once

#include "path_forms.h"
#include "path_line.h"

#include <cstddef>
#include <string>
#include <vector>

// The hand-off file through which the caller names its result file.
inline constexpr const char* path_handoff_name = "sumtalpart.tmp";

// Every match of the ECMAScript regular expression `pattern` in `text`
// replaced by the ECMAScript format string `replacement`.
std::string do_replace(const std::string& text, const std::string& pattern,
                       const std::string& replacement);

// The path line with every space, newline, carriage return and "file://"
// removed, in that order.
std::string clean_path(const std::string& path_line);

// The spellings of the path line to try, in order, with no spelling twice;
// the first readable one names the result file. `path_line` is the line as
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
// On Windows each spelling "/C:/..." is followed by "C:/...", and each
// absolute spelling of 260 UTF-16 units or more by its "\\?\" form, which
// lifts the MAX_PATH limit. How a spelling's bytes become a Windows name is
// for open_input to decide.
std::vector<std::string> path_spellings(const std::string& path_line, const std::string& path_text,
                                        path_system system = native_path_system);

// The spellings of a line without a byte-order mark.
std::vector<std::string> path_spellings(const std::string& path_line,
                                        path_system system = native_path_system);

// The first spelling that opens as a readable file, or the first spelling
// when none does.
std::string first_readable(const std::vector<std::string>& spellings);
