#pragma once

#include "console_io.h"
#include "mapped_window.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string_view>

// Reads a file in large blocks and keeps a window of it in memory, addressed
// by offsets from the start of the file. A scanner that has to look back at
// a line that began in an earlier block asks to keep that line. From a file
// that can seek, how much is kept is bounded and what had to be dropped is
// read again when it is needed, so memory does not grow with the length of a
// line; a pipe cannot be read again, so from one the whole line is kept.
// A regular file of at least one window is mapped instead, a window at a
// time (see mapped_window), and the blocks are the window's own bytes: the
// scanner sees the same bytes either way.
class block_reader {
public:
  // `retain_limit` bounds what advance() keeps, unless the file cannot seek:
  // then nothing can be read again and everything asked for is kept. Reads
  // go straight into the reader's own blocks, so the file is best unbuffered
  // (set where it is opened: setvbuf must come before anything else). A
  // `window_size` of 0 reads every file.
  block_reader(std::FILE* file, std::size_t block_size, std::size_t retain_limit,
               std::size_t window_size = 0);

  // Reads the first block. False when that fails (error() says why); an
  // empty file reads fine.
  bool start();

  // Bytes [begin(), end()) of the file are in memory.
  [[nodiscard]] std::uint64_t begin() const { return begin_; }
  [[nodiscard]] std::uint64_t end() const { return begin_ + size_; }
  [[nodiscard]] std::string_view view(std::uint64_t from, std::uint64_t to) const {
    return {data_ + (from - begin_), static_cast<std::size_t>(to - from)};
  }

  // Reads the next block, keeping in memory the bytes from `keep` on, as far
  // as the retain limit allows. False at the end of the input or on a read
  // error; end() is then the end of what could be read.
  bool advance(std::uint64_t keep);

  // Hands bytes [from, to) to `sink` in order, in one or more pieces; `to`
  // must not lie past end(). Bytes no longer in memory are read again from
  // the file. False if that reading failed.
  template <typename Sink>
  bool copy_range(std::uint64_t from, std::uint64_t to, Sink&& sink) {
    if (from < begin_) {
      // By reference: a sink that keeps state goes on from these pieces.
      if (!read_again(from, std::min(to, begin_), std::ref(sink))) {
        return false;
      }
      from = begin_;
    }
    if (from < to) {
      sink(view(from, to));
    }
    return true;
  }

  // 0, or the reason a read failed: the data then ended early.
  [[nodiscard]] int error() const { return error_; }

  // Once the scan is done: error(), after a look at whether the last
  // window's bytes were still the file's while they were scanned.
  int finish();

private:
  // Reads [from, to), which lies before begin(), from the file again for
  // copy_range. Rare: the sink's call may cost a little.
  bool read_again(std::uint64_t from, std::uint64_t to,
                  const std::function<void(std::string_view)>& sink);

  // advance() of a mapped file. False when the window would not map: the
  // file is then read from end() on, as if it had never been mapped.
  bool map_on(std::uint64_t from);

  std::FILE* file_;
  std::size_t block_size_;
  std::size_t retain_limit_;
  page_buffer storage_;
  const char* data_ = nullptr;       // the byte at begin()
  std::unique_ptr<char[]> scratch_;  // made on the first re-read
  std::size_t scratch_size_;
  std::uint64_t begin_ = 0;
  std::size_t size_ = 0;
  bool at_end_ = false;
  int error_ = 0;
  mapped_window window_;
  std::size_t window_size_;
  bool mapped_;
};
