#include "block_reader.h"

#include "input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

namespace {

// Re-reads of dropped bytes are rare; a modest buffer serves them.
constexpr std::size_t scratch_limit = std::size_t{64} * 1024;

// Every byte is kept at an address that matches its file offset modulo the
// page size. The kernel's copy into a buffer that runs a few bytes ahead of
// its source page (what malloc's 16-byte headers give) is several times
// slower on common x86 processors; matched, each read copies at full speed.
constexpr std::size_t page_size = 4096;

char* page_aligned(char* storage) {
  const auto address = reinterpret_cast<std::uintptr_t>(storage);
  return storage + ((page_size - address % page_size) % page_size);
}

}  // namespace

block_reader::block_reader(std::FILE* file, std::size_t block_size, std::size_t retain_limit)
    : file_(file),
      block_size_(std::max<std::size_t>(block_size, 1)),
      retain_limit_(is_seekable(file) ? retain_limit : std::numeric_limits<std::size_t>::max()),
      scratch_size_(std::min(block_size_, scratch_limit)) {
  // Our own buffer is the only one: stdio's would just copy every byte twice.
  (void)std::setvbuf(file_, nullptr, _IONBF, 0);
}

bool block_reader::start() {
  advance(0);
  return error_ == 0;
}

bool block_reader::advance(std::uint64_t keep) {
  if (at_end_) {
    return false;
  }
  const std::uint64_t end_offset = end();
  std::uint64_t from = std::clamp(keep, begin_, end_offset);
  if (end_offset - from > retain_limit_) {
    from = end_offset - retain_limit_;
  }
  const auto kept = static_cast<std::size_t>(end_offset - from);
  const auto lead = static_cast<std::size_t>(from % page_size);
  const std::size_t needed = page_size + lead + kept + block_size_;
  if (storage_size_ < needed) {
    // Room for what the retain limit lets the next block keep, so that a
    // seekable file is served by this one allocation. Left uninitialised:
    // zeroing it would be most of the start-up work of a small file, and
    // every byte is read into before it is looked at.
    const std::size_t room =
        std::max(needed, 2 * page_size + block_size_ + std::min(retain_limit_, block_size_));
    std::unique_ptr<char[]> larger(new char[room]);
    std::copy_n(data_ + (from - begin_), kept, page_aligned(larger.get()) + lead);
    storage_ = std::move(larger);
    storage_size_ = room;
  } else if (kept > 0) {
    std::memmove(page_aligned(storage_.get()) + lead, data_ + (from - begin_), kept);
  }
  data_ = page_aligned(storage_.get()) + lead;
  errno = 0;
  const std::size_t got = std::fread(data_ + kept, 1, block_size_, file_);
  begin_ = from;
  size_ = kept + got;
  if (got == 0) {
    at_end_ = true;
    if (std::ferror(file_) != 0) {
      error_ = errno != 0 ? errno : EIO;
    }
    return false;
  }
  return true;
}

bool block_reader::copy_range(std::uint64_t from, std::uint64_t to,
                              const std::function<void(std::string_view)>& sink) {
  if (from < begin_) {
    const std::uint64_t stop = std::min(to, begin_);
    if (!scratch_) {
      scratch_.reset(new char[scratch_size_]);
    }
    errno = 0;
    if (!seek_to(file_, from)) {
      error_ = errno != 0 ? errno : EIO;
      return false;
    }
    while (from < stop) {
      const auto want =
          static_cast<std::size_t>(std::min<std::uint64_t>(scratch_size_, stop - from));
      errno = 0;
      if (std::fread(scratch_.get(), 1, want, file_) != want) {
        error_ = errno != 0 ? errno : EIO;
        return false;
      }
      sink({scratch_.get(), want});
      from += want;
    }
    // Reading goes on where it was.
    errno = 0;
    if (!seek_to(file_, end())) {
      error_ = errno != 0 ? errno : EIO;
      return false;
    }
  }
  if (from < to) {
    sink(view(from, to));
  }
  return true;
}
