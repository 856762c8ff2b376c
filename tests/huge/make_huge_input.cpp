// make_huge_input: writes the multi-gigabyte inputs of the huge-input checks
// at test time, in 1 MiB writes, so that nothing that large is ever stored.
//
//   make_huge_input newlines <path> <count>
//       <count> newline bytes: that many empty lines.
//   make_huge_input volume <path> <examined-lines> <header-line>
//       A result file: a first line, which is never examined, then
//       <examined-lines> non-blank lines, all "x" except a volume table whose
//       header is examined line <header-line> (counted from 1). Its seven
//       rows follow with blank lines among them; only six belong to the table.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// Five bytes, so that with a header indented by two blanks the header's '#'
// is the last byte before offset 2^32 when it sits at examined line
// 2^31 - 3: a header split at a 4 GiB boundary, where a 32-bit offset would
// wrap and every power-of-two block ends.
constexpr std::string_view first_line = "huge\n";
constexpr std::string_view header_line = "  #  num    reg     volume\n";
// Blank lines are not examined and must not count as rows.
constexpr std::string_view table_rows[] = {
    "\t1   101   1.0000E+02\n",   " \n",
    "  2   102   2.0000E+02\n",   "\r\n",
    "3   103   3.0000E+02\n",     "\n",
    " \t 4   104   4.0000E+02\n", "5   105   5.0000E+02\n",
    "6   106   6.0000E+02\n",     "  7   107   7.0000E+02\n",
};
constexpr std::uint64_t non_blank_rows = 7;

class writer {
public:
  explicit writer(const char* path) : file_(std::fopen(path, "wb")) {
    if (file_ == nullptr) {
      error_ = errno != 0 ? errno : ENOENT;
    }
  }
  writer(const writer&) = delete;
  writer& operator=(const writer&) = delete;
  ~writer() {
    if (file_ != nullptr) {
      std::fclose(file_);
    }
  }

  void put(std::string_view bytes) {
    errno = 0;
    if (error_ == 0 && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
      error_ = errno != 0 ? errno : EIO;
    }
  }
  // `count` copies of `unit`, in blocks of about 1 MiB.
  void repeat(std::string_view unit, std::uint64_t count) {
    const std::uint64_t per_block = (std::uint64_t{1} << 20U) / unit.size();
    std::string block;
    for (std::uint64_t i = 0; i < std::min(count, per_block); ++i) {
      block += unit;
    }
    while (count > 0 && error_ == 0) {
      const std::uint64_t now = std::min(count, per_block);
      put(std::string_view(block).substr(0, static_cast<std::size_t>(now * unit.size())));
      count -= now;
    }
  }
  int close() {
    if (file_ == nullptr) {
      return error_;
    }
    errno = 0;
    if (std::fclose(file_) != 0 && error_ == 0) {
      error_ = errno != 0 ? errno : EIO;
    }
    file_ = nullptr;
    return error_;
  }

private:
  std::FILE* file_;
  int error_ = 0;
};

bool parse_count(const char* text, std::uint64_t& value) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long parsed = std::strtoull(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || text[0] == '-') {
    return false;
  }
  value = parsed;
  return true;
}

int usage() {
  std::fputs(
      "usage: make_huge_input newlines <path> <count>\n"
      "       make_huge_input volume <path> <examined-lines> <header-line>\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    return usage();
  }
  const std::string_view kind = argv[1];
  const char* path = argv[2];
  std::uint64_t count = 0;
  if (!parse_count(argv[3], count)) {
    return usage();
  }
  writer out(path);
  if (kind == "newlines" && argc == 4) {
    out.repeat("\n", count);
  } else if (kind == "volume" && argc == 5) {
    std::uint64_t header = 0;
    if (!parse_count(argv[4], header) || header == 0 || header + non_blank_rows > count) {
      return usage();
    }
    out.put(first_line);
    out.repeat("x\n", header - 1);
    out.put(header_line);
    for (const std::string_view row : table_rows) {
      out.put(row);
    }
    out.repeat("x\n", count - header - non_blank_rows);
  } else {
    return usage();
  }
  const int error = out.close();
  if (error != 0) {
    std::fprintf(stderr, "make_huge_input: %s: %s\n", path, std::strerror(error));
    return 1;
  }
  return 0;
}
