// make_inputs: writes the synthetic inputs of the benchmarks. They are made
// here, from a fixed seed, so that every machine measures the same bytes and
// no sample file has to be shipped or fetched.
//
//   make_inputs result  <path> <size> [--crlf] [--seed N]
//   make_inputs text    <path> <size> [--no-final-newline] [--seed N]
//   make_inputs oneline <path> <size> [--seed N]
//
// <size> is in bytes, with an optional K, M or G suffix (powers of 1024).
// "text" and "oneline" write exactly <size> bytes; "result" stops at the
// first line end at or past it, and never inside a volume table.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view volume_header = "#  num    reg     volume";

// splitmix64: fast, and the same sequence on every platform and compiler,
// which std::uniform_int_distribution does not promise.
class rng {
public:
  explicit rng(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30U)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27U)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31U);
  }
  // Uniform enough in [lo, hi] for test data; the modulo bias is harmless.
  std::uint64_t between(std::uint64_t lo, std::uint64_t hi) { return lo + next() % (hi - lo + 1); }
  std::size_t between_size(std::size_t lo, std::size_t hi) {
    return static_cast<std::size_t>(between(lo, hi));
  }
  bool one_in(std::uint64_t n) { return next() % n == 0; }
  char digit() { return static_cast<char>('0' + next() % 10); }

private:
  std::uint64_t state_;
};

// Buffered writer with large blocks: one fwrite per MiB keeps a
// multi-gigabyte file at disk speed.
class output {
public:
  output(const char* path, bool crlf) : file_(std::fopen(path, "wb")), crlf_(crlf) {
    if (file_ == nullptr) {
      error_ = errno != 0 ? errno : ENOENT;
    }
    buffer_.reserve(block_size);
  }
  output(const output&) = delete;
  output& operator=(const output&) = delete;
  ~output() {
    if (file_ != nullptr) {
      std::fclose(file_);
    }
  }

  int open_error() const { return file_ == nullptr ? error_ : 0; }
  std::uint64_t written() const { return flushed_ + buffer_.size(); }

  void put(std::string_view text) {
    if (buffer_.size() + text.size() > block_size) {
      flush();
    }
    if (text.size() >= block_size) {
      write_through(text);
      return;
    }
    buffer_.insert(buffer_.end(), text.begin(), text.end());
  }
  void put(char c) {
    if (buffer_.size() == block_size) {
      flush();
    }
    buffer_.push_back(c);
  }
  void spaces(std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      put(' ');
    }
  }
  void end_line() {
    if (crlf_) {
      put('\r');
    }
    put('\n');
  }

  // 0, or the reason of the first failed write or of a failed close.
  int close() {
    flush();
    errno = 0;
    if (std::fclose(file_) != 0 && error_ == 0) {
      error_ = errno != 0 ? errno : EIO;
    }
    file_ = nullptr;
    return error_;
  }

private:
  static constexpr std::size_t block_size = std::size_t{1} << 20U;

  void write_through(std::string_view text) {
    errno = 0;
    if (error_ == 0 && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
      error_ = errno != 0 ? errno : EIO;
    }
    flushed_ += text.size();
  }
  void flush() {
    write_through({buffer_.data(), buffer_.size()});
    buffer_.clear();
  }

  std::FILE* file_;
  bool crlf_;
  std::vector<char> buffer_;
  std::uint64_t flushed_ = 0;
  int error_ = 0;
};

// A number in the result files' exponent form, e.g. "3.2051E-04".
void put_exponent(output& out, rng& r) {
  out.put(static_cast<char>('1' + r.next() % 9));
  out.put('.');
  for (int i = 0; i < 4; ++i) {
    out.put(r.digit());
  }
  out.put('E');
  out.put(r.one_in(2) ? '-' : '+');
  out.put('0');
  out.put(r.digit());
}

void put_right(output& out, std::uint64_t value, std::size_t width) {
  const std::string digits = std::to_string(value);
  if (digits.size() < width) {
    out.spaces(width - digits.size());
  }
  out.put(digits);
}

// A tally row: five to eight numbers in 12-column fields, 60 to 100 bytes.
void put_numeric_row(output& out, rng& r) {
  const std::size_t fields = r.between_size(5, 8);
  out.spaces(r.between_size(1, 3));
  for (std::size_t i = 0; i < fields; ++i) {
    out.spaces(2);
    put_exponent(out, r);
  }
  out.end_line();
}

void put_title(output& out, std::string_view name, std::uint64_t tally) {
  out.put(" [ ");
  out.put(name);
  out.put(", tally ");
  out.put(std::to_string(tally));
  out.put(" ]");
  out.end_line();
}

// A volume table: the exact header, indented anywhere from none to eight
// columns, then six to twelve rows with no blank line between them, so that
// the benchmark can also check the copied tables against `grep -A6`.
void put_volume_table(output& out, rng& r, std::uint64_t tally) {
  out.end_line();
  put_title(out, "Region volumes", tally);
  out.spaces(r.between_size(0, 8));
  out.put(volume_header);
  out.end_line();
  const std::uint64_t rows = r.between(6, 12);
  for (std::uint64_t i = 1; i <= rows; ++i) {
    put_right(out, i, r.between_size(4, 10));
    put_right(out, r.between(1, 9999), 8);
    out.spaces(3);
    put_exponent(out, r);
    out.end_line();
  }
}

// Mostly numeric sections of a few hundred rows, each under a bracketed
// title with at most one '#' column line, some blank lines, and a volume
// table every few thousand lines.
int write_result(const char* path, std::uint64_t size, bool crlf, rng& r) {
  output out(path, crlf);
  if (out.open_error() != 0) {
    return out.open_error();
  }
  out.put(" Synthetic result file for the benchmarks");
  out.end_line();
  out.put(" [ Title ]");
  out.end_line();
  out.put("   Layered shield, generated rows");
  out.end_line();
  out.put(" [ Parameters ]");
  out.end_line();
  for (const char* name : {"maxcas", "maxbch", "emin", "emax", "icntl"}) {
    out.put("   ");
    out.put(name);
    out.put("   =   ");
    put_exponent(out, r);
    out.end_line();
  }
  std::uint64_t tally = 1;
  while (out.written() < size) {
    std::uint64_t until_table = r.between(2000, 6000);
    while (until_table > 0 && out.written() < size) {
      const std::uint64_t rows = std::min(until_table, r.between(100, 1000));
      out.end_line();
      put_title(out, r.one_in(2) ? "Track length" : "Energy deposit", tally++);
      if (!r.one_in(4)) {
        out.put(" #  e-lower     e-upper     neutron     photon      r.err");
        out.end_line();
      }
      for (std::uint64_t i = 0; i < rows && out.written() < size; ++i) {
        put_numeric_row(out, r);
        if (r.one_in(200)) {
          out.end_line();
        }
      }
      until_table -= rows;
    }
    put_volume_table(out, r, tally++);
  }
  return out.close();
}

// Printable bytes without a newline, from which the text lines are cut.
std::string printable_pool(rng& r, std::size_t size) {
  std::string pool(size, ' ');
  for (char& c : pool) {
    c = static_cast<char>(' ' + r.next() % 95);
  }
  return pool;
}

// Lines of very different lengths: mostly short, some long, now and then
// empty or ended by CR LF, and rarely one longer than any read block.
std::size_t text_line_length(rng& r) {
  const std::uint64_t kind = r.next() % 1000;
  if (kind < 50) {
    return 0;
  }
  if (kind < 750) {
    return r.between_size(1, 80);
  }
  if (kind < 995) {
    return r.between_size(81, 400);
  }
  if (kind < 999) {
    return r.between_size(401, 8000);
  }
  return r.between_size(100000, 400000);
}

int write_text(const char* path, std::uint64_t size, bool final_newline, rng& r) {
  output out(path, false);
  if (out.open_error() != 0) {
    return out.open_error();
  }
  const std::string pool = printable_pool(r, std::size_t{1} << 20U);
  const std::string_view view = pool;
  std::uint64_t left = size;
  // The last line is cut to land exactly on `size`.
  while (left > 0) {
    std::size_t length = text_line_length(r);
    const bool crlf = length > 0 && r.one_in(20);
    const std::uint64_t with_end = length + (crlf ? 2 : 1);
    if (with_end >= left) {
      length = static_cast<std::size_t>(final_newline ? left - 1 : left);
      out.put(view.substr(r.between_size(0, pool.size() - length), length));
      if (final_newline) {
        out.put('\n');
      }
      break;
    }
    out.put(view.substr(r.between_size(0, pool.size() - length), length));
    out.put(crlf ? "\r\n" : "\n");
    left -= with_end;
  }
  return out.close();
}

// Any byte but a newline: a binary file given by mistake. '#' and '\r'
// appear as often as any other byte.
int write_one_line(const char* path, std::uint64_t size, rng& r) {
  output out(path, false);
  if (out.open_error() != 0) {
    return out.open_error();
  }
  std::string pool(std::size_t{1} << 20U, ' ');
  for (char& c : pool) {
    c = static_cast<char>(r.next() & 0xffU);
    if (c == '\n') {
      c = '\0';
    }
  }
  const std::string_view view = pool;
  std::uint64_t left = size;
  while (left > 0) {
    // A varying start keeps blocks from repeating at a fixed period.
    const std::size_t start = r.between_size(0, pool.size() / 2);
    const std::size_t length =
        static_cast<std::size_t>(std::min<std::uint64_t>(left, pool.size() - start));
    out.put(view.substr(start, length));
    left -= length;
  }
  return out.close();
}

bool parse_size(const char* text, std::uint64_t& size) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (errno != 0 || end == text || text[0] == '-') {
    return false;
  }
  unsigned shift = 0;
  if (*end == 'K' || *end == 'k') {
    shift = 10;
  } else if (*end == 'M' || *end == 'm') {
    shift = 20;
  } else if (*end == 'G' || *end == 'g') {
    shift = 30;
  } else if (*end != '\0') {
    return false;
  }
  if (shift != 0 && end[1] != '\0') {
    return false;
  }
  if (value > (UINT64_MAX >> shift)) {
    return false;
  }
  size = static_cast<std::uint64_t>(value) << shift;
  return true;
}

int usage() {
  std::fputs(
      "usage: make_inputs result  <path> <size> [--crlf] [--seed N]\n"
      "       make_inputs text    <path> <size> [--no-final-newline] [--seed N]\n"
      "       make_inputs oneline <path> <size> [--seed N]\n"
      "<size> in bytes, optionally with a K, M or G suffix\n",
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
  std::uint64_t size = 0;
  if (!parse_size(argv[3], size)) {
    return usage();
  }
  bool crlf = false;
  bool final_newline = true;
  std::uint64_t seed = 20240601;
  for (int i = 4; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--crlf" && kind == "result") {
      crlf = true;
    } else if (option == "--no-final-newline" && kind == "text") {
      final_newline = false;
    } else if (option == "--seed" && i + 1 < argc && parse_size(argv[i + 1], seed)) {
      ++i;
    } else {
      return usage();
    }
  }

  rng r(seed);
  int error = 0;
  if (kind == "result") {
    error = write_result(path, size, crlf, r);
  } else if (kind == "text") {
    error = write_text(path, size, final_newline, r);
  } else if (kind == "oneline") {
    error = write_one_line(path, size, r);
  } else {
    return usage();
  }
  if (error != 0) {
    std::fprintf(stderr, "make_inputs: %s: %s\n", path, std::strerror(error));
    return 1;
  }
  return 0;
}
