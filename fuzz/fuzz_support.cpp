#include "fuzz_support.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Control bytes and line ends made visible, and long texts cut short, so a
// difference can be read off the crash log.
std::string visible(std::string_view text) {
  constexpr std::size_t shown = 120;
  std::string out;
  for (const char c : text.substr(0, shown)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte >= 0x7f) {
      constexpr const char* digits = "0123456789abcdef";
      out += "\\x";
      out += digits[byte >> 4U];
      out += digits[byte & 0xfU];
    } else {
      out += c;
    }
  }
  if (text.size() > shown) {
    out += "...";
  }
  return out;
}

}  // namespace

void fuzz_fail(const char* what) {
  (void)std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

void fuzz_expect_equal(std::string_view expected, std::string_view actual, const char* what) {
  if (expected == actual) {
    return;
  }
  const auto mismatch =
      std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
  const auto at = static_cast<std::size_t>(mismatch.first - expected.begin());
  (void)std::fprintf(stderr,
                     "%s: %zu bytes expected, %zu bytes got, first difference at byte %zu\n"
                     "  expected from there: \"%s\"\n  got from there:      \"%s\"\n",
                     what, expected.size(), actual.size(), at, visible(expected.substr(at)).c_str(),
                     visible(actual.substr(at)).c_str());
  fuzz_fail(what);
}

#ifdef __GLIBC__

fuzz_input_file::fuzz_input_file(std::string_view bytes)
    : bytes_(bytes), file_(fmemopen(bytes_.data(), bytes_.size(), "rb")) {
  fuzz_check(file_ != nullptr, "fmemopen failed");
}

fuzz_output_file::fuzz_output_file() : file_(open_memstream(&memory_, &size_)) {
  fuzz_check(file_ != nullptr, "open_memstream failed");
}

std::string fuzz_output_file::take() {
  fuzz_check(std::fclose(file_) == 0, "the output could not be closed");
  file_ = nullptr;
  std::string text(memory_, size_);
  std::free(memory_);
  memory_ = nullptr;
  return text;
}

#else

namespace {

std::FILE* temporary_file() {
  std::FILE* file = std::tmpfile();
  fuzz_check(file != nullptr, "no temporary file could be made");
  return file;
}

}  // namespace

fuzz_input_file::fuzz_input_file(std::string_view bytes) : file_(temporary_file()) {
  fuzz_check(
      std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size() && std::fflush(file_) == 0,
      "the temporary file could not be written");
  std::rewind(file_);
}

fuzz_output_file::fuzz_output_file() : file_(temporary_file()) {}

std::string fuzz_output_file::take() {
  fuzz_check(std::fflush(file_) == 0, "the output could not be flushed");
  std::rewind(file_);
  std::string text;
  char piece[4096];
  std::size_t got = 0;
  while ((got = std::fread(piece, 1, sizeof piece, file_)) > 0) {
    text.append(piece, got);
  }
  fuzz_check(std::ferror(file_) == 0, "the output could not be read back");
  (void)std::fclose(file_);
  file_ = nullptr;
  return text;
}

#endif

fuzz_input_file::~fuzz_input_file() {
  (void)std::fclose(file_);
}

fuzz_output_file::~fuzz_output_file() {
  if (file_ != nullptr) {
    (void)std::fclose(file_);
  }
  std::free(memory_);
}
