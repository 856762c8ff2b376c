// make_inputs: writes the synthetic inputs of the benchmarks. They are made
// here, from a fixed seed, so that every machine measures the same bytes and
// no sample file has to be shipped or fetched.
//
//   make_inputs result  <path> <size>  a result file: numeric sections and a
//                                      volume table every few thousand lines
//   make_inputs tables  <path> <size>  a result file of volume tables only:
//                                      every eighth line a header, most of
//                                      the file copied out
//   make_inputs text    <path> <size>  lines of very different lengths, the
//                                      last one without a newline
//   make_inputs oneline <path> <size>  any bytes but a newline
//
// <size> is in bytes, with an optional K, M or G suffix (powers of 1024).
// "text" and "oneline" write exactly <size> bytes; "result" and "tables"
// stop at the first table end at or past it.
#include "console_io.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view volume_header = "#  num    reg     volume";

// splitmix64: the same sequence on every platform and compiler, which the
// standard distributions do not promise.
class rng {
public:
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30U)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27U)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31U);
  }
  // Uniform enough in [lo, hi] for test data.
  std::size_t between(std::size_t lo, std::size_t hi) {
    return lo + static_cast<std::size_t>(next() % (hi - lo + 1));
  }
  bool one_in(std::uint64_t n) { return next() % n == 0; }

private:
  std::uint64_t state_ = 20240601;
};

// Writes in blocks of a MiB, which keeps a gigabyte file at disk speed, and
// remembers the first failure.
class output {
public:
  explicit output(const char* path) {
    error_ = error_of([&] {
      file_ = std::fopen(path, "wb");
      return file_ != nullptr;
    });
  }
  output(const output&) = delete;
  output& operator=(const output&) = delete;
  ~output() { close(); }

  [[nodiscard]] std::uint64_t written() const { return flushed_ + buffer_.size(); }
  void put(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= block_size) {
      flush();
    }
  }
  void put(char c) { put(std::string_view(&c, 1)); }
  void put_spaces(std::size_t n) { buffer_.append(n, ' '); }

  // 0, or the reason of the first failed write or of a failed close.
  int close() {
    if (file_ != nullptr) {
      flush();
      error_ = finish_output(file_, error_);
      file_ = nullptr;
    }
    return error_;
  }

private:
  static constexpr std::size_t block_size = std::size_t{1} << 20U;
  void flush() {
    if (error_ == 0) {
      error_ = error_of(
          [&] { return std::fwrite(buffer_.data(), 1, buffer_.size(), file_) == buffer_.size(); });
    }
    flushed_ += buffer_.size();
    buffer_.clear();
  }

  std::FILE* file_ = nullptr;
  std::string buffer_;
  std::uint64_t flushed_ = 0;
  int error_ = 0;
};

// A number in the result files' exponent form, e.g. "3.2051E-04".
void put_number(output& out, rng& r) {
  char text[16];
  (void)std::snprintf(text, sizeof text, "%d.%04dE%c0%d", static_cast<int>(r.between(1, 9)),
                      static_cast<int>(r.between(0, 9999)), r.one_in(2) ? '-' : '+',
                      static_cast<int>(r.between(0, 9)));
  out.put(text);
}

void put_right(output& out, std::size_t value, std::size_t width) {
  const std::string digits = std::to_string(value);
  out.put_spaces(digits.size() < width ? width - digits.size() : 0);
  out.put(digits);
}

// A volume table: the header, indented by none to eight columns, then six to
// twelve rows with no blank line between them.
void put_volume_table(output& out, rng& r) {
  out.put("\n [ Region volumes ]\n");
  out.put_spaces(r.between(0, 8));
  out.put(volume_header);
  out.put('\n');
  for (std::size_t row = 1, rows = r.between(6, 12); row <= rows; ++row) {
    put_right(out, row, r.between(4, 10));
    put_right(out, r.between(1, 9999), 8);
    out.put_spaces(3);
    put_number(out, r);
    out.put('\n');
  }
}

// Numeric sections of a hundred to a thousand rows of 60 to 100 bytes, each
// under a bracketed title and mostly a "#" column line, a blank line now
// and then, and a volume table every few thousand lines.
void write_result(output& out, std::uint64_t size, rng& r) {
  out.put(" Synthetic result file for the benchmarks\n [ Title ]\n   Layered shield\n");
  while (out.written() < size) {
    for (std::size_t lines = r.between(2000, 6000), rows = 0; lines > 0; lines -= rows) {
      rows = std::min(lines, r.between(100, 1000));
      out.put(r.one_in(2) ? "\n [ Track length ]\n" : "\n [ Energy deposit ]\n");
      if (!r.one_in(4)) {
        out.put(" #  e-lower     e-upper     neutron     photon      r.err\n");
      }
      for (std::size_t row = 0; row < rows; ++row) {
        out.put_spaces(r.between(1, 3));
        for (std::size_t field = 0, fields = r.between(5, 8); field < fields; ++field) {
          out.put_spaces(2);
          put_number(out, r);
        }
        out.put(r.one_in(200) ? "\n\n" : "\n");
      }
    }
    put_volume_table(out, r);
  }
}

// Tables of six rows, one title line between them: the copy's own cost
// shows, not the search's. The rows' few leading blanks go, as those of
// real tables do.
void write_tables(output& out, std::uint64_t size, rng& r) {
  out.put(" Synthetic result file of volume tables\n");
  while (out.written() < size) {
    out.put(" [ Volumes ]\n");
    out.put_spaces(r.between(0, 8));
    out.put(volume_header);
    out.put('\n');
    for (std::size_t row = 1; row <= 6; ++row) {
      out.put_spaces(r.between(1, 2));
      put_right(out, row, 5);
      put_right(out, r.between(1, 9999), 8);
      out.put_spaces(3);
      put_number(out, r);
      out.put_spaces(3);
      put_number(out, r);
      out.put('\n');
    }
  }
}

// Mostly short lines, some long, now and then empty or ended by CR LF, and
// rarely one longer than any read block; the last one is cut to end exactly
// at `size`, without a newline.
void write_text(output& out, std::uint64_t size, rng& r) {
  std::string pool(std::size_t{1} << 20U, ' ');
  for (char& c : pool) {
    c = static_cast<char>(' ' + r.next() % 95);
  }
  while (out.written() < size) {
    const std::uint64_t kind = r.next() % 1000;
    std::size_t length = kind < 50    ? 0
                         : kind < 750 ? r.between(1, 80)
                         : kind < 995 ? r.between(81, 400)
                         : kind < 999 ? r.between(401, 8000)
                                      : r.between(100000, 400000);
    const std::string_view end = length > 0 && r.one_in(20) ? "\r\n" : "\n";
    const std::uint64_t left = size - out.written();
    const bool last = length + end.size() >= left;
    length = last ? static_cast<std::size_t>(left) : length;
    out.put(std::string_view(pool).substr(r.between(0, pool.size() - length), length));
    out.put(last ? "" : end);
  }
}

// Any byte but a newline, '#' and '\r' as often as any other: a binary file
// given by mistake.
void write_one_line(output& out, std::uint64_t size, rng& r) {
  std::string pool(std::size_t{1} << 20U, ' ');
  for (char& c : pool) {
    c = static_cast<char>(r.next() & 0xffU);
    c = c == '\n' ? '\0' : c;
  }
  while (out.written() < size) {
    // A varying start keeps blocks from repeating at a fixed period.
    const std::size_t start = r.between(0, pool.size() / 2);
    const auto length = static_cast<std::size_t>(
        std::min<std::uint64_t>(size - out.written(), pool.size() - start));
    out.put(std::string_view(pool).substr(start, length));
  }
}

bool parse_size(const char* text, std::uint64_t& size) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, 10);
  const std::string_view suffix = end;
  const unsigned shift = suffix == "K" ? 10 : suffix == "M" ? 20 : suffix == "G" ? 30 : 0;
  if (errno == ERANGE || end == text || text[0] == '-' || (shift == 0 && !suffix.empty()) ||
      value > (UINT64_MAX >> shift)) {
    return false;
  }
  size = static_cast<std::uint64_t>(value) << shift;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t size = 0;
  const std::string_view kind = argc == 4 ? argv[1] : "";
  if ((kind != "result" && kind != "tables" && kind != "text" && kind != "oneline") ||
      !parse_size(argv[3], size)) {
    (void)std::fputs("usage: make_inputs result|tables|text|oneline <path> <size>[K|M|G]\n",
                     stderr);
    return 2;
  }
  output out(argv[2]);
  rng r;
  if (kind == "result") {
    write_result(out, size, r);
  } else if (kind == "tables") {
    write_tables(out, size, r);
  } else if (kind == "text") {
    write_text(out, size, r);
  } else {
    write_one_line(out, size, r);
  }
  if (const int error = out.close(); error != 0) {
    (void)std::fprintf(stderr, "make_inputs: %s: %s\n", argv[2], std::strerror(error));
    return 1;
  }
  return 0;
}
