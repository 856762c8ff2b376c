// The block-wise line count against counting newlines one by one. The first
// two input bytes choose the block size, whether the file is mapped and
// where in the file counting starts; the bytes after them are the file.
#include "count_file_lines.h"
#include "fuzz_support.h"

#include <algorithm>
#include <string_view>

// libFuzzer fixes the name.
// NOLINTNEXTLINE(readability-identifier-naming)
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_input input(data, size);
  const std::size_t block_size = 1U + input.take_byte();
  const std::uint8_t start_byte = input.take_byte();
  const std::string_view text = input.rest();
  const std::size_t start = text.empty() ? 0 : start_byte % (text.size() + 1);

  const std::string_view counted = text.substr(start);
  const auto newlines =
      static_cast<std::uint64_t>(std::count(counted.begin(), counted.end(), '\n'));
  const std::uint64_t expected = newlines + (!counted.empty() && counted.back() != '\n' ? 1U : 0U);

  const fuzz_input_file file(text);
  fuzz_check(std::fseek(file.get(), static_cast<long>(start), SEEK_SET) == 0, "could not seek");
  // Half the inputs are mapped, a window of the block size at a time.
  const std::size_t window_size = (start_byte & 0x80U) != 0 ? block_size : 0;
  const line_total total = count_stream_lines(file.get(), block_size, window_size);
  fuzz_check(total.read_error == 0, "count_stream_lines reported a read error");
  if (total.lines != expected) {
    (void)std::fprintf(stderr, "%llu lines expected, %llu counted, block %zu, from byte %zu\n",
                       static_cast<unsigned long long>(expected),
                       static_cast<unsigned long long>(total.lines), block_size, start);
    fuzz_fail("count_stream_lines");
  }
  return 0;
}
