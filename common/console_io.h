#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

// Runs `call`, a C library call that returns whether it succeeded, with errno
// cleared first. 0 when it succeeded; otherwise the reason: errno, or EIO
// when errno says nothing (a short fread or fwrite need not set it).
template <typename Call>
int error_of(Call&& call) {
  errno = 0;
  if (call()) {
    return 0;
  }
  return errno != 0 ? errno : EIO;
}

// Says on standard error "<program>: <name>: <reason>", the one form in which
// the console programs report a failure, and returns 1, their exit status
// then. `error` is an errno value, or input_shrank (mapped_window.h).
int report_failure(const char* program, const char* name, int error);
int report_failure(const char* program, const char* name, const char* reason);

// Flushes and closes a file that was written to. Returns `error` if it is
// already set, otherwise the reason the flush or the close failed, or 0: a
// full disk often shows only when the buffer is flushed or the file closed.
int finish_output(std::FILE* file, int error);

// Reads up to `size` bytes of `file` into `block` and returns how many it
// got: 0 at the end of the file, or on a read error, whose reason then goes
// to `error`.
std::size_t read_block(std::FILE* file, char* block, std::size_t size, int& error);

// Whether an opened input is a directory, which is no file to read: Linux
// opens one and fails at its first read, where Windows does not open it.
bool is_directory(std::FILE* file);

// fseek with a 64-bit offset from the start of the file; std::fseek takes a
// long, which is 32 bits on Windows.
bool seek_to(std::FILE* file, std::uint64_t offset);

// Where `file` stands, from the start of the file; 0 if it cannot tell.
std::uint64_t offset_of(std::FILE* file);

// Whether `file` can seek, which a pipe cannot.
bool is_seekable(std::FILE* file);

// The whitespace of the classic locale: space, tab, newline, vertical tab,
// form feed and carriage return.
constexpr bool is_classic_space(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Uninitialised bytes whose first one starts a memory page, so that a byte
// at a page offset of the file can sit at the same offset of a memory page.
// The kernel's copy into a buffer that runs a few bytes ahead of its source
// page (what malloc's 16-byte headers give) is several times slower on
// common x86 processors; matched, each read copies at full speed. Left
// uninitialised: zeroing it would be most of the start-up work of a small
// file, and every byte is read into before it is looked at.
class page_buffer {
public:
  static constexpr std::size_t page_size = 4096;

  page_buffer() = default;
  explicit page_buffer(std::size_t size);

  [[nodiscard]] char* data() const { return data_; }
  [[nodiscard]] std::size_t size() const { return size_; }

private:
  std::unique_ptr<char[]> storage_;
  char* data_ = nullptr;
  std::size_t size_ = 0;
};
