#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Searches of bytes in memory for the table scan, sixteen bytes at a time
// where the processor has SSE2 (every x86-64, and the i686 build, which
// asks for it), a byte at a time elsewhere.

// The index of the lowest set bit of `bits`, which must not be 0.
inline std::size_t lowest_set_bit(std::uint64_t bits) {
#if defined(__GNUC__)
  return static_cast<std::size_t>(__builtin_ctzll(bits));
#else
  std::size_t n = 0;
  for (; (bits & 1U) == 0; bits >>= 1U) {
    ++n;
  }
  return n;
#endif
}

// Looks for one text. A stretch of starts is looked at by the text's first
// and last bytes together, 32 starts at once: where the first byte is common
// ("#" heads every line of some files) both at the text's distance apart are
// still rare, so the full comparison seldom runs, where a call for each
// first byte made the search ten times slower. Past a stretch without the
// text, the C library's memchr skips to the next first byte: where that byte
// is rare nothing is faster, as the library picks a vector search for the
// processor at run time.
class text_search {
public:
  // `text` must not be empty, and must outlive the search.
  explicit text_search(std::string_view text) : text_(text) {}

  // The index of the first occurrence of the text wholly inside `bytes`,
  // or std::string_view::npos.
  [[nodiscard]] std::size_t find_in(std::string_view bytes) const;

  [[nodiscard]] std::size_t size() const { return text_.size(); }
  [[nodiscard]] char front() const { return text_.front(); }

private:
  // The first start in [at, to) of `data` where the text begins, or npos;
  // the text must fit in the data from every start before `to`.
  std::size_t find_between(const char* data, std::size_t at, std::size_t to) const;

  std::string_view text_;
};

// Finds the line ends, the non-blank bytes and one marked byte value in a
// stretch in memory from bit masks of 64 bytes at a time, so that a line
// costs a few bit operations instead of searches of its own. Meant for
// walking forwards through consecutive lines: it keeps the masks of the last
// 64 bytes it looked at.
class line_walker {
public:
  static constexpr std::size_t chunk = 64;

  line_walker(std::string_view bytes, char mark) : bytes_(bytes), mark_(mark) {}

  // The index of the first byte at or after `at` that is not classic
  // whitespace, or the size of the stretch if there is none.
  std::size_t next_text(std::size_t at) {
    while (at < bytes_.size()) {
      const std::size_t offset = reach(at);
      const std::uint64_t ahead = text_ >> offset;
      if (ahead != 0) {
        return at + lowest_set_bit(ahead);
      }
      at += chunk - offset;
    }
    return bytes_.size();
  }

  struct line_end {
    std::size_t newline;  // its index, or the size of the stretch if none
    bool marked;          // whether a marked byte comes before it
  };

  // Where the line that goes on at `at` ends.
  line_end end_of_line(std::size_t at) {
    bool marked = false;
    while (at < bytes_.size()) {
      const std::size_t offset = reach(at);
      const std::uint64_t newlines = newlines_ >> offset;
      const std::uint64_t marks = marks_ >> offset;
      if (newlines != 0) {
        // The bits up to the first newline.
        const std::uint64_t line = newlines ^ (newlines - 1);
        return {at + lowest_set_bit(newlines), marked || (marks & line) != 0};
      }
      marked = marked || marks != 0;
      at += chunk - offset;
    }
    return {bytes_.size(), marked};
  }

private:
  // Makes the masks kept those of the 64 bytes that hold `at`; returns how
  // far into them `at` is. Bits past the end of the stretch are never set.
  std::size_t reach(std::size_t at) {
    const std::size_t start = at - at % chunk;
    if (start != chunk_start_) {
      load(start);
    }
    return at - start;
  }

  // Makes the masks of the 64 bytes (fewer at the end) from `start` on.
  void load(std::size_t start);

  std::string_view bytes_;
  char mark_;
  std::size_t chunk_start_ = std::string_view::npos;
  std::uint64_t newlines_ = 0;
  std::uint64_t text_ = 0;
  std::uint64_t marks_ = 0;
};
