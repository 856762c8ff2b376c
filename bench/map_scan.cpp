// map_scan: the floor of a scan on this machine. Maps a whole file at once
// and passes over every byte once, as fast as it can, and prints what it
// found, so that the benchmark can check it:
//
//   map_scan hashes   <path>   the number of '#' bytes, found by memchr
//   map_scan newlines <path>   the number of newlines, counted 16 bytes at a step
//
// No program that reads the file can be faster than this, but for the
// cost of its own work.
#include <sys/mman.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

std::uint64_t count_hashes(const char* data, std::size_t size) {
  std::uint64_t hashes = 0;
  for (const char* at = data;
       (at = static_cast<const char*>(
            std::memchr(at, '#', static_cast<std::size_t>(data + size - at)))) != nullptr;
       ++at) {
    ++hashes;
  }
  return hashes;
}

std::uint64_t count_newlines(const char* data, std::size_t size) {
  std::uint64_t newlines = 0;
  std::size_t i = 0;
#ifdef __SSE2__
  const __m128i newline = _mm_set1_epi8('\n');
  while (size - i >= 16) {
    __m128i lanes = _mm_setzero_si128();
    for (int round = 0; round < 255 && size - i >= 16; ++round, i += 16) {
      lanes = _mm_sub_epi8(
          lanes,
          _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i)), newline));
    }
    const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
    newlines += static_cast<std::uint32_t>(
        _mm_cvtsi128_si32(_mm_add_epi64(sums, _mm_unpackhi_epi64(sums, sums))));
  }
#endif
  for (; i < size; ++i) {
    newlines += data[i] == '\n' ? 1U : 0U;
  }
  return newlines;
}

}  // namespace

int main(int argc, char** argv) {
  const bool hashes = argc == 3 && std::strcmp(argv[1], "hashes") == 0;
  if (argc != 3 || (!hashes && std::strcmp(argv[1], "newlines") != 0)) {
    (void)std::fputs("usage: map_scan hashes|newlines <path>\n", stderr);
    return 2;
  }
  const int fd = open(argv[2], O_RDONLY);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0) {
    std::perror(argv[2]);
    return 1;
  }
  const auto size = static_cast<std::size_t>(st.st_size);
  std::uint64_t found = 0;
  if (size > 0) {
    // Populated in the one call: the floor pays no fault per page.
    void* const mapped = mmap(nullptr, size, PROT_READ, MAP_SHARED | MAP_POPULATE, fd, 0);
    if (mapped == MAP_FAILED) {
      std::perror(argv[2]);
      return 1;
    }
    const auto* const data = static_cast<const char*>(mapped);
    found = hashes ? count_hashes(data, size) : count_newlines(data, size);
  }
  (void)std::printf("%llu\n", static_cast<unsigned long long>(found));
  return 0;
}
