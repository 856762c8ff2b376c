#pragma once

#include <string>

// How callers write a path that is not plainly a path: as a file URL, or as
// a Windows drive path with a slash before it. One set of rules for every
// program that is handed a path, on bytes; a Qt program converts its names
// to UTF-8 and back at its edge.

// The path rules of the system a path is opened on.
enum class path_system { posix, windows };
#ifdef _WIN32
inline constexpr path_system native_path_system = path_system::windows;
#else
inline constexpr path_system native_path_system = path_system::posix;
#endif

// The path the file URL `text` names on `system`, its percent escapes
// decoded to bytes ("%" without two hex digits stays); the scheme and
// "localhost" in any case:
//   file:///p, file://localhost/p, file:/p   /p
//   file:p                                  p, relative to the working directory
// and on Windows also:
//   file:///C:/p, file://C:/p, file:C:/p    C:/p
//   file://server/share/p                   //server/share/p
// Empty for text that is no file URL, names a file on another machine (on
// Linux "file:////server/share/p" too), or would name one with a NUL byte in
// it: a NUL names no file, though the C library and Qt would open the part
// before it.
std::string file_url_path(const std::string& text, path_system system = native_path_system);

// "C:/p" for "/C:/p" (or "/C:\p", or "/C:"), which a file URL leaves behind
// and Windows does not open; empty for any other path.
std::string drive_path_after_slash(const std::string& path);
