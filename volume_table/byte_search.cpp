#include "byte_search.h"

#include "console_io.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VOLUME_TABLE_SSE2 1
#endif

namespace {

// How far past an occurrence of the text's first byte both bytes are looked
// at before memchr takes over again: long enough that a first byte found
// every few bytes costs one call per stretch, short enough that where it is
// rare the stretch costs nothing to speak of.
constexpr std::size_t stretch = 512;

#ifdef VOLUME_TABLE_SSE2
__m128i load16(const char* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// `c` in every byte. Through a general register: _mm_set1_epi8 went
// through memory, a byte stored and a wider load after it, which the
// processor cannot forward and which stalled a short search for longer than
// the search took.
__m128i repeated(char c) {
  return _mm_set1_epi32(static_cast<int>(0x01010101U * static_cast<unsigned char>(c)));
}

std::uint64_t bits_of(__m128i lanes, std::size_t shift) {
  return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(lanes))} << shift;
}
#endif

}  // namespace

std::size_t text_search::find_in(std::string_view bytes) const {
  const std::size_t n = text_.size();
  if (bytes.size() < n) {
    return std::string_view::npos;
  }
  const char* const data = bytes.data();
  // The text fits from the starts [0, starts).
  const std::size_t starts = bytes.size() - n + 1;
  for (std::size_t at = 0;;) {
    // The first stretch before memchr: where tables follow one another
    // closely, the next header is near, and a call costs more than that.
    const std::size_t to = std::min(starts, at + stretch);
    const std::size_t found = find_between(data, at, to);
    if (found != std::string_view::npos || to == starts) {
      return found;
    }
    const void* const first = std::memchr(data + to, text_.front(), starts - to);
    if (first == nullptr) {
      return std::string_view::npos;
    }
    at = static_cast<std::size_t>(static_cast<const char*>(first) - data);
  }
}

std::size_t text_search::find_between(const char* data, std::size_t at, std::size_t to) const {
  const std::size_t n = text_.size();
#ifdef VOLUME_TABLE_SSE2
  constexpr std::size_t step = 2 * sizeof(__m128i);
  const __m128i first = repeated(text_.front());
  const __m128i last = repeated(text_.back());
  const auto candidates_at = [&](std::size_t start) {
    return _mm_and_si128(_mm_cmpeq_epi8(load16(data + start), first),
                         _mm_cmpeq_epi8(load16(data + start + n - 1), last));
  };
  // The first match among the 32 starts from `start`, the lowest `skip`
  // of them left out.
  const auto match_in_step = [&](std::size_t start, std::size_t skip) {
    const std::uint64_t all = bits_of(candidates_at(start), 0) |
                              bits_of(candidates_at(start + sizeof(__m128i)), sizeof(__m128i));
    for (std::uint64_t starts = all >> skip << skip; starts != 0; starts &= starts - 1) {
      const std::size_t candidate = start + lowest_set_bit(starts);
      if (std::memcmp(data + candidate, text_.data(), n) == 0) {
        return candidate;
      }
    }
    return std::string_view::npos;
  };
  for (; to - at >= step; at += step) {
    const std::size_t found = match_in_step(at, 0);
    if (found != std::string_view::npos) {
      return found;
    }
  }
  // The last starts in one more step that ends at `to`, where there is
  // room before it: a byte loop over them cost as much as all the steps of
  // a short search.
  if (at < to && to >= step) {
    return match_in_step(to - step, at - (to - step));
  }
#endif
  for (; at < to; ++at) {
    if (data[at] == text_.front() && data[at + n - 1] == text_.back() &&
        std::memcmp(data + at, text_.data(), n) == 0) {
      return at;
    }
  }
  return std::string_view::npos;
}

void line_walker::load(std::size_t start) {
  chunk_start_ = start;
  const char* const data = bytes_.data() + start;
  const std::size_t size = std::min(chunk, bytes_.size() - start);
  // Made in locals and stored once: stores to the members in the loop would
  // be repeated, as the bytes read might alias them.
  std::uint64_t newlines = 0;
  std::uint64_t marks = 0;
  std::uint64_t text = 0;
#ifdef VOLUME_TABLE_SSE2
  if (size == chunk) {
    const __m128i mark = repeated(mark_);
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i space = _mm_set1_epi8(' ');
    const __m128i tab = _mm_set1_epi8('\t');
    // Tab to carriage return are the bytes 9 to 13: less a tab, wrapping
    // around below 0, they are the only bytes at most 4.
    const __m128i four = _mm_set1_epi8(4);
    std::uint64_t blanks = 0;
    for (std::size_t k = 0; k < chunk; k += sizeof(__m128i)) {
      const __m128i bytes = load16(data + k);
      const __m128i controls =
          _mm_cmpeq_epi8(_mm_subs_epu8(_mm_sub_epi8(bytes, tab), four), _mm_setzero_si128());
      newlines |= bits_of(_mm_cmpeq_epi8(bytes, newline), k);
      marks |= bits_of(_mm_cmpeq_epi8(bytes, mark), k);
      blanks |= bits_of(_mm_or_si128(_mm_cmpeq_epi8(bytes, space), controls), k);
    }
    text = ~blanks;
  } else
#endif
  {
    for (std::size_t k = 0; k < size; ++k) {
      newlines |= std::uint64_t{data[k] == '\n'} << k;
      marks |= std::uint64_t{data[k] == mark_} << k;
      text |= std::uint64_t{!is_classic_space(data[k])} << k;
    }
  }
  newlines_ = newlines;
  marks_ = marks;
  text_ = text;
}
