#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// A failed check ends the run with abort(), which libFuzzer records as a
// crash and keeps the input of, and which fails a corpus replay.
[[noreturn]] void fuzz_fail(const char* what);

inline void fuzz_check(bool ok, const char* what) {
  if (!ok) {
    fuzz_fail(what);
  }
}

// Aborts, showing both texts from their first difference, unless equal.
void fuzz_expect_equal(std::string_view expected, std::string_view actual, const char* what);

// A file to read holding `bytes`, at its start, that can seek. With glibc it
// lives in memory: a scan with one-byte blocks then costs no system call per
// byte. Elsewhere it is a temporary file.
class fuzz_input_file {
public:
  explicit fuzz_input_file(std::string_view bytes);
  ~fuzz_input_file();
  fuzz_input_file(const fuzz_input_file&) = delete;
  fuzz_input_file& operator=(const fuzz_input_file&) = delete;
  fuzz_input_file(fuzz_input_file&&) = delete;
  fuzz_input_file& operator=(fuzz_input_file&&) = delete;
  [[nodiscard]] std::FILE* get() const { return file_; }

private:
  std::string bytes_;
  std::FILE* file_ = nullptr;
};

// A file to write, in memory with glibc, whose bytes take() hands back.
class fuzz_output_file {
public:
  fuzz_output_file();
  ~fuzz_output_file();
  fuzz_output_file(const fuzz_output_file&) = delete;
  fuzz_output_file& operator=(const fuzz_output_file&) = delete;
  fuzz_output_file(fuzz_output_file&&) = delete;
  fuzz_output_file& operator=(fuzz_output_file&&) = delete;
  [[nodiscard]] std::FILE* get() const { return file_; }
  // Closes the file; what was written to it.
  std::string take();

private:
  std::FILE* file_ = nullptr;
  char* memory_ = nullptr;
  std::size_t size_ = 0;
};

// The fuzz input, split into the parameters at its front and the data after
// them: a byte that is not there reads as 0, so every input is usable.
class fuzz_input {
public:
  fuzz_input(const std::uint8_t* data, std::size_t size)
      : data_(reinterpret_cast<const char*>(data), size) {}

  std::uint8_t take_byte() {
    if (data_.empty()) {
      return 0;
    }
    const auto byte = static_cast<std::uint8_t>(data_.front());
    data_.remove_prefix(1);
    return byte;
  }

  [[nodiscard]] std::string_view rest() const { return data_; }

private:
  std::string_view data_;
};
