#pragma once

#include <cstdio>
#include <string>

// Opens `path` for reading as bytes. A path holding a NUL byte names no
// file: the C library would open the part before the NUL instead. On
// Windows the path's bytes are read in each of their name_readings in turn;
// each such name that does not open is tried again in its long form.
std::FILE* open_input(const std::string& path);

#ifdef _WIN32
// The "\\?\" form of the full path of `name`, drive or UNC, when that path
// is MAX_PATH (260) UTF-16 units long or more, which only this form opens;
// empty otherwise. Relative names count with the working directory before
// them, as Windows counts them.
std::wstring long_path_form(const std::wstring& name);
#endif

// Closes a file that was only read: nothing can be lost, so a failure has
// nothing to report.
void close_input(std::FILE* file);

// Whether `name` is the open file `input` itself, by whatever name or link:
// the same device and inode on Linux, the same volume and file index on
// Windows. False when `name` names no file.
bool is_same_file(std::FILE* input, const char* name);
