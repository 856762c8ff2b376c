#pragma once

#include <string>
#include <vector>

// The hand-off file through which the caller names its result file.
inline constexpr const char* path_handoff_name = "sumtalpart.tmp";

// The first non-blank line of `name`, without its newline; empty when the
// file is missing, unreadable or blank.
std::string read_path_line(const char* name);

// Every match of the ECMAScript regular expression `pattern` in `text`
// replaced by the ECMAScript format string `replacement`.
std::string do_replace(const std::string& text, const std::string& pattern,
                       const std::string& replacement);

// The path line with every space, newline, carriage return and "file://"
// removed, in that order.
std::string clean_path(const std::string& path_line);

// The spellings of the path line to try, in order, with no spelling twice.
// The first is always clean_path(path_line); the others only rescue lines
// that it leaves naming no file: a path with spaces inside, and on Windows a
// file URL's "/C:/..." form.
std::vector<std::string> path_spellings(const std::string& path_line);

// The first spelling that opens as a readable file, or the first spelling
// when none does.
std::string first_readable(const std::vector<std::string>& spellings);
