#include "console_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdint>

namespace {

TEST(ConsoleIo, ClassicSpaceIsWhatTheClassicLocaleCallsSpace) {
  ASSERT_NE(std::setlocale(LC_CTYPE, "C"), nullptr);
  for (int c = -1; c < 256; ++c) {
    EXPECT_EQ(is_classic_space(c), std::isspace(c) != 0) << c;
  }
  // A char from a byte string is signed on x86: no high byte is a space.
  EXPECT_FALSE(is_classic_space(static_cast<char>(0x85)));
  EXPECT_FALSE(is_classic_space(static_cast<char>(0xa0)));
}

TEST(ConsoleIo, ErrorOfIsErrnoOrEioWhenErrnoSaysNothing) {
  struct error_case {
    bool succeeds;
    int errno_set;
    int reason;
  };
  const error_case cases[] = {
      {true, 0, 0},
      {true, ENOSPC, 0},  // errno left over from a success means nothing
      {false, ENOSPC, ENOSPC},
      {false, 0, EIO},
  };
  for (const auto& c : cases) {
    errno = EBADF;  // stale: must be cleared before the call
    EXPECT_EQ(error_of([&] {
                if (c.errno_set != 0) {
                  errno = c.errno_set;
                }
                return c.succeeds;
              }),
              c.reason)
        << c.succeeds << " " << c.errno_set;
  }
}

TEST(ConsoleIo, PageBufferStartsAPage) {
  for (const std::size_t size : {1U, 4095U, 4096U, 100000U}) {
    const page_buffer buffer(size);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % page_buffer::page_size, 0U);
    EXPECT_EQ(buffer.size(), size);
    // Every byte of it can be written, which AddressSanitizer checks.
    std::fill_n(buffer.data(), size, 'x');
  }
}

}  // namespace
