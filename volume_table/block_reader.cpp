#include "block_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

// Re-reads of dropped bytes are rare; a modest buffer serves them.
constexpr std::size_t scratch_limit = std::size_t{64} * 1024;

constexpr std::size_t page_size = page_buffer::page_size;

}  // namespace

block_reader::block_reader(std::FILE* file, std::size_t block_size, std::size_t retain_limit,
                           std::size_t window_size)
    : file_(file),
      block_size_(std::max<std::size_t>(block_size, 1)),
      retain_limit_(is_seekable(file) ? retain_limit : std::numeric_limits<std::size_t>::max()),
      scratch_size_(std::min(block_size_, scratch_limit)),
      window_(file),
      window_size_(window_size),
      mapped_(window_size > 0 && mappable_size(file) >= window_size) {}

bool block_reader::start() {
  advance(0);
  if (mapped_ && error_ == 0) {
    error_ = window_.touch_pages();
  }
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
  if (mapped_ && map_on(from)) {
    return !at_end_;
  }
  // Every byte sits at an address that matches its file offset modulo the
  // page size, so that each block is read into a page-aligned place.
  const auto kept = static_cast<std::size_t>(end_offset - from);
  const auto lead = static_cast<std::size_t>(from % page_size);
  const std::size_t needed = lead + kept + block_size_;
  const char* const source = data_ + (from - begin_);
  if (storage_.size() < needed) {
    // Room for what the retain limit lets the next block keep, so that a
    // seekable file is served by this one allocation. A pipe may keep a
    // line of any length: its room at least doubles, so that the copies
    // of what it keeps add up to a small multiple of the line, not to its
    // square.
    page_buffer larger(std::max({needed, 2 * storage_.size(),
                                 page_size + block_size_ + std::min(retain_limit_, block_size_)}));
    std::copy_n(source, kept, larger.data() + lead);
    storage_ = std::move(larger);
  } else if (kept > 0 && source != storage_.data() + lead) {
    std::memmove(storage_.data() + lead, source, kept);
  }
  char* const kept_bytes = storage_.data() + lead;
  data_ = kept_bytes;
  // Where the mapping failed, its last window has been copied out now.
  window_.unmap();
  const std::size_t got = read_block(file_, kept_bytes + kept, block_size_, error_);
  begin_ = from;
  size_ = kept + got;
  if (got == 0) {
    at_end_ = true;
    return false;
  }
  return true;
}

bool block_reader::read_again(std::uint64_t from, std::uint64_t to,
                              const std::function<void(std::string_view)>& sink) {
  if (!scratch_) {
    scratch_.reset(new char[scratch_size_]);
  }
  int error = error_of([&] { return seek_to(file_, from); });
  while (error == 0 && from < to) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(scratch_size_, to - from));
    error = error_of([&] { return std::fread(scratch_.get(), 1, want, file_) == want; });
    if (error == 0) {
      sink({scratch_.get(), want});
      from += want;
    }
  }
  if (error == 0) {
    // Reading goes on where it was.
    error = error_of([&] { return seek_to(file_, end()); });
  }
  if (error != 0) {
    error_ = error;
  }
  return error == 0;
}

bool block_reader::map_on(std::uint64_t from) {
  const std::uint64_t end_offset = end();
  const auto kept = static_cast<std::size_t>(end_offset - from);
  // What the scanner was handed of the window before must have been the
  // file's, or the tables made of it may be wrong.
  error_ = window_.spoiled();
  if (error_ == 0) {
    const std::string_view bytes = window_.map(from, kept + window_size_);
    if (window_.failed()) {
      mapped_ = false;
      error_ = error_of([&] { return seek_to(file_, end_offset); });
      if (error_ == 0) {
        return false;
      }
    } else if (bytes.size() < kept) {
      error_ = input_shrank;  // since spoiled() looked
    } else {
      data_ = bytes.empty() ? data_ + (from - begin_) : bytes.data();
      begin_ = from;
      size_ = bytes.size();
      at_end_ = bytes.size() == kept;
      return true;
    }
  }
  at_end_ = true;
  return true;
}

int block_reader::finish() {
  if (error_ == 0 && mapped_) {
    error_ = window_.spoiled();
  }
  return error_;
}
