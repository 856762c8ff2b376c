#include "count_file_lines.h"

#include "console_io.h"
#include "mapped_window.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace {

#if defined(__SSE2__) || defined(_M_X64)
// Each lane is at most 255, so the two halves' sums are at most 2,040 each:
// their total fits the low 32 bits, which 32-bit x86 can move out too
// (_mm_cvtsi128_si64 exists only on x86-64).
std::uint64_t sum_lanes(__m128i lanes) {
  const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
  return static_cast<std::uint32_t>(
      _mm_cvtsi128_si32(_mm_add_epi64(sums, _mm_unpackhi_epi64(sums, sums))));
}

// Sixty-four bytes a step, in four sixteen-byte lanes: each compare adds one
// to a byte lane per newline, and the lanes are summed before any of them
// can pass 255. Four lanes rather than one let the processor overlap the
// compares, which halves the time of the count; it then keeps up with the
// reads that feed it.
std::uint64_t count_newlines(const char* data, std::size_t size) {
  constexpr std::size_t lane_limit = 255;
  constexpr std::size_t step = 4 * sizeof(__m128i);
  const __m128i newline = _mm_set1_epi8('\n');
  const auto newlines_at = [&](std::size_t at) {
    return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)), newline);
  };
  std::uint64_t newlines = 0;
  std::size_t i = 0;
  while (size - i >= step) {
    const std::size_t rounds = std::min((size - i) / step, lane_limit);
    __m128i a = _mm_setzero_si128();
    __m128i b = a;
    __m128i c = a;
    __m128i d = a;
    for (std::size_t r = 0; r < rounds; ++r, i += step) {
      a = _mm_sub_epi8(a, newlines_at(i));
      b = _mm_sub_epi8(b, newlines_at(i + 16));
      c = _mm_sub_epi8(c, newlines_at(i + 32));
      d = _mm_sub_epi8(d, newlines_at(i + 48));
    }
    newlines += sum_lanes(a) + sum_lanes(b) + sum_lanes(c) + sum_lanes(d);
  }
  for (; i < size; ++i) {
    newlines += data[i] == '\n' ? 1U : 0U;
  }
  return newlines;
}
#else
// Elsewhere (64-bit ARM, 32-bit x86 without SSE2) the same byte lanes in
// plain C++, which GCC and clang turn into vector compares and subtracts
// for any target; a loop that added each compare to one 64-bit total
// became a load of one byte at a time, at a third of the speed.
std::uint64_t count_newlines(const char* data, std::size_t size) {
  constexpr std::size_t lane_limit = 255;
  constexpr std::size_t lanes = 64;
  std::uint64_t newlines = 0;
  std::size_t i = 0;
  while (size - i >= lanes) {
    const std::size_t rounds = std::min((size - i) / lanes, lane_limit);
    std::uint8_t counts[lanes] = {};
    for (std::size_t r = 0; r < rounds; ++r, i += lanes) {
      for (std::size_t lane = 0; lane < lanes; ++lane) {
        counts[lane] = static_cast<std::uint8_t>(counts[lane] + (data[i + lane] == '\n' ? 1 : 0));
      }
    }
    for (const std::uint8_t count : counts) {
      newlines += count;
    }
  }
  for (; i < size; ++i) {
    newlines += data[i] == '\n' ? 1U : 0U;
  }
  return newlines;
}
#endif

}  // namespace

line_total count_file_lines(const char* name) {
  std::FILE* file = std::fopen(name, "rb");
  if (file == nullptr) {
    return {};
  }
  // Reads go straight into our block; a stdio buffer would only copy twice.
  // Set first, as setvbuf must be.
  (void)std::setvbuf(file, nullptr, _IONBF, 0);
  line_total total;
  if (!is_directory(file)) {
    total =
        count_stream_lines(file, default_block_size,
                           mappable_size(file) >= default_window_size ? default_window_size : 0);
  }
  // The file was only read: closing it cannot lose anything.
  (void)std::fclose(file);
  return total;
}

namespace {

// Counts the lines read from where `file` stands, into `total`.
void read_lines(std::FILE* file, std::size_t block_size, line_total& total, char& last) {
  block_size = std::clamp<std::size_t>(block_size, 1, std::size_t{1} << 30);
  const page_buffer buffer(block_size);
  char* const block = buffer.data();
  for (;;) {
    const std::size_t got = read_block(file, block, block_size, total.read_error);
    if (got == 0) {
      // A read that fails, first or later, leaves the count short.
      return;
    }
    total.lines += count_newlines(block, got);
    last = block[got - 1];
  }
}

// Counts windows of a mapped file for as long as they are sound. True when
// that reached the end of the file; otherwise `offset` is where reading
// has to go on: at the window that was cut short or would not map, which
// is then read as if it had never been mapped.
bool count_mapped_lines(std::FILE* file, std::size_t window_size, line_total& total, char& last,
                        std::uint64_t& offset) {
  mapped_window window(file);
  for (;;) {
    const std::string_view bytes = window.map(offset, window_size);
    if (bytes.empty()) {
      return !window.failed();
    }
    const std::uint64_t newlines = count_newlines(bytes.data(), bytes.size());
    if (window.spoiled() != 0) {
      return false;
    }
    total.lines += newlines;
    last = bytes.back();
    offset += bytes.size();
  }
}

}  // namespace

line_total count_stream_lines(std::FILE* file, std::size_t block_size, std::size_t window_size) {
  line_total total;
  char last = '\n';
  std::uint64_t offset = offset_of(file);
  const bool mapped = window_size > 0 && mappable_size(file) > 0 &&
                      count_mapped_lines(file, window_size, total, last, offset);
  if (!mapped) {
    if (offset > 0) {
      total.read_error = error_of([&] { return seek_to(file, offset); });
    }
    if (total.read_error == 0) {
      read_lines(file, block_size, total, last);
    }
  }
  if (last != '\n') {
    ++total.lines;
  }
  return total;
}

int write_value(const char* program, const char* name, std::uint64_t value) {
  std::FILE* file = nullptr;
  int error = error_of([&] {
    file = std::fopen(name, "wb");
    return file != nullptr;
  });
  if (file != nullptr) {
    error = finish_output(file, error_of([&] {
                            return std::fprintf(file, "%llu",
                                                static_cast<unsigned long long>(value)) >= 0;
                          }));
  }
  return error == 0 ? 0 : report_failure(program, name, error);
}
