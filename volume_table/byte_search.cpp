#include "byte_search.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

constexpr std::size_t not_found = std::string_view::npos;

// memchr skips to the text's first byte; with SSE2 (every x86-64 has it, and
// our i686 build asks for it) the 512 starts from there are then tested 32 at
// a time by the text's first and last bytes together. In a file with a "#" on
// every line, a memchr and a compare for each "#" made the whole scan a third
// slower.
std::size_t find_text(std::string_view bytes, std::string_view text) {
  std::size_t at = 0;
#ifdef __SSE2__
  const std::size_t n = text.size();
  const __m128i first = _mm_set1_epi8(text.front());
  const __m128i last = _mm_set1_epi8(text.back());
  // Bit i: the first and last bytes match for the start at + k + i.
  const auto starts = [&](std::size_t k) {
    const char* const p = bytes.data() + at + k;
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_and_si128(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), first),
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 1)), last))));
  };
  while ((at = bytes.find(text.front(), at)) != not_found && bytes.size() - at >= n + 31) {
    for (const std::size_t stop = at + 512; at < stop && bytes.size() - at >= n + 31; at += 32) {
      for (std::uint32_t mask = starts(0) | starts(16) << 16U; mask != 0; mask &= mask - 1) {
        const std::size_t start = at + static_cast<std::size_t>(__builtin_ctz(mask));
        if (bytes.compare(start, n, text) == 0) {
          return start;
        }
      }
    }
  }
  at = std::min(at, bytes.size());
#endif
  const std::size_t hit = bytes.substr(at).find(text);
  return hit == not_found ? not_found : at + hit;
}

// Eight bytes at a time: a line that runs on for blocks is searched end to
// end here, which a byte loop made most of the time of a long line.
std::size_t find_last_newline(std::string_view bytes) {
  constexpr std::uint64_t ones = 0x0101010101010101U;
  std::size_t end = bytes.size();
  for (; end >= sizeof(std::uint64_t); end -= sizeof(std::uint64_t)) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes.data() + end - sizeof word, sizeof word);
    // A byte of `word ^ newlines` is zero where `word` holds a newline.
    const std::uint64_t x = word ^ (ones * '\n');
    if (((x - ones) & ~x & (ones << 7U)) != 0) {
      break;
    }
  }
  return bytes.substr(0, end).rfind('\n');
}
