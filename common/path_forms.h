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

#ifdef _WIN32
// `bytes` as Windows reads them in `code_page` (CP_ACP, CP_UTF8, ...); empty
// when they are not UTF-8 where UTF-8 is asked for.
std::wstring widened(const std::string& bytes, unsigned int code_page);
#endif

// `bytes` as Windows reads them in its OEM code page, the console's, in which
// a batch file's echo writes a name (437 or 850 where the ANSI code page is
// 1252), when that differs from the ANSI one; empty otherwise, and on other
// systems.
std::wstring oem_reading(const std::string& bytes);

// "C:/p" for "/C:/p" (or "/C:\p", or "/C:"), which a file URL leaves behind
// and Windows does not open; empty for any other path.
std::string drive_path_after_slash(const std::string& path);
