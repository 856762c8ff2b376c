#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Opens `path` for reading as bytes. A path holding a NUL byte names no
// file: the C library would open the part before the NUL instead. On
// Windows the path's bytes are read in the ANSI code page, as the C library
// reads them, and then, when they are UTF-8 and not plain ASCII, as UTF-8.
std::FILE* open_input(const std::string& path);

// fseek with a 64-bit offset from the start of the file; std::fseek takes a
// long, which is 32 bits on Windows.
bool seek_to(std::FILE* file, std::uint64_t offset);

// Closes a file that was only read: nothing can be lost, so a failure has
// nothing to report.
void close_input(std::FILE* file);

// Whether `file` can seek, which a pipe cannot.
bool is_seekable(std::FILE* file);
