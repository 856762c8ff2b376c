#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

// Writes to a table output and remembers the first failure. The scan hands
// it a few short pieces per line: a buffer of its own takes them for the cost
// of a copy, where a library call each cost more than the copy.
class table_writer {
public:
  explicit table_writer(std::FILE* file) : file_(file) {}
  void put(std::string_view bytes) {
    if (bytes.size() > buffer_size - used_) {
      put_past_buffer(bytes);
      return;
    }
    std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }
  // Hands what is buffered to the file.
  void flush();
  [[nodiscard]] bool ok() const { return error_ == 0; }
  [[nodiscard]] int error() const { return error_; }

private:
  static constexpr std::size_t buffer_size = std::size_t{64} * 1024;

  void put_past_buffer(std::string_view bytes);

  std::FILE* file_;
  std::unique_ptr<char[]> buffer_ = std::make_unique<char[]>(buffer_size);
  std::size_t used_ = 0;
  int error_ = 0;
};
