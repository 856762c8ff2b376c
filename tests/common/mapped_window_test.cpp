#include "mapped_window.h"
#include "scratch_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#ifndef _WIN32
#include <unistd.h>

namespace {

// A file cut under its window: no signal, whatever page is touched; the
// window says so when the cut took bytes it mapped, and only then.
TEST(MappedWindow, FileCutUnderTheWindowIsSaidAndEndsNoProgram) {
  struct cut_case {
    std::size_t cut_to;
    int reason;
  };
  constexpr std::size_t size = 5 * 4096 + 100;
  const cut_case cases[] = {
      {size, 0},
      {size + 1, 0},  // grown: the window's bytes are all still there
      {3 * 4096, input_shrank},
      {3 * 4096 + 7, input_shrank},
      {0, input_shrank},
  };
  for (const auto& c : cases) {
    const scratch_file file("in", std::string(size, 'x'));
    mapped_window window(file.get());
    const std::string_view bytes = window.map(0, size);
    ASSERT_EQ(bytes.size(), size);
    ASSERT_EQ(ftruncate(fileno(file.get()), static_cast<off_t>(c.cut_to)), 0);
    EXPECT_EQ(window.touch_pages(), c.reason) << "cut to " << c.cut_to;
    // What the cut took reads as zeros, not as the file's bytes.
    EXPECT_EQ(bytes.back(), c.reason == 0 ? 'x' : '\0') << "cut to " << c.cut_to;
  }
}

}  // namespace
#endif
