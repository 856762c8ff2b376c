#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

// Bytes a scan maps at a time from a regular file, and the shortest file
// worth mapping. Counting the newlines of a 1 GiB file in the page cache
// (2-core x86-64 virtual machine, Linux 6.18) took 114-122 ms with windows
// of 2 or 4 MiB, 143 ms with 1 MiB (four times the windows), 126-129 ms with
// 8 and 16 MiB, and 150 ms by reads of 128 KiB; 4 MiB keeps the peak
// resident set near 9 MiB. A file shorter than one window is read: mapping
// gained nothing measurable there (64 KiB to 4 MiB took 0.9 to 1.4 ms either
// way, start-up nearly all of it).
inline constexpr std::size_t default_window_size = std::size_t{4} << 20U;

// The reason that mapped_window::spoiled() gives for a file that became
// shorter than what was mapped of it. No errno value: report_failure says
// it in words of its own.
inline constexpr int input_shrank = -1;

// The size of `file` when it is a regular file that this system reads
// through a mapping, otherwise 0. Windows reads every file: there a mapping
// would stop the caller from cutting or rewriting the file while a program
// runs (SetEndOfFile refuses a file with a mapped view, ERROR_USER_MAPPED_FILE,
// under Wine too), and under Wine, where the Windows programs are tested,
// mapping 256 MiB took 1.4-1.9 s where reading took 1.0-1.3 s.
std::uint64_t mappable_size(std::FILE* file);

// One window of a regular file mapped read-only, moved along the file by
// map(): the scan reads the page cache itself, where read() would first
// copy every byte into a buffer. Only one window is mapped at a time, and
// the pages of one that is left go with it, so that memory stays flat at any
// size of file. Each window is filled in one system call, not a fault per
// page (56 faults for 1 GiB instead of 739, in the same time here): where
// page faults are dear, as under some sandboxing kernels, a window then
// costs about what a read of it would, less the copy.
//
// A file that shrinks under a window would end the program with SIGBUS at
// the first page it no longer has (and a page the disk cannot deliver
// would too): in the window such pages read as zeros instead, and
// spoiled() says that its bytes may not have been the file's. One window
// may be mapped in a process at a time.
class mapped_window {
public:
  // Maps nothing yet. `file` stays open while the window is used.
  explicit mapped_window(std::FILE* file);
  ~mapped_window();
  mapped_window(const mapped_window&) = delete;
  mapped_window& operator=(const mapped_window&) = delete;

  // Maps bytes [offset, offset + size) of the file, as far as it reaches
  // now, in place of the window before, and returns them: fewer at the end
  // of the file. None past the end, and none when the system would not map
  // them (`failed()` is then true): in both cases the window before stays
  // mapped, so that its bytes can still be looked at or copied out.
  std::string_view map(std::uint64_t offset, std::size_t size);
  [[nodiscard]] bool failed() const { return failed_; }

  // Lets the window go.
  void unmap();

  // Touches every page of the window, so that one that cannot be read
  // shows now, before anything has been made of the window, and returns
  // spoiled(): the first read of a mapped file.
  int touch_pages();

  // 0 while the bytes of the last map() are the file's; otherwise the
  // reason that they may not all be: input_shrank, or EIO for a page that
  // could not be read. Asks the system for the file's size: once a window.
  [[nodiscard]] int spoiled() const;

private:
  std::FILE* file_;
  char* base_ = nullptr;  // the page where the mapping starts
  std::size_t length_ = 0;
  std::uint64_t end_ = 0;  // the file offset just past the bytes mapped
  bool failed_ = false;
};
