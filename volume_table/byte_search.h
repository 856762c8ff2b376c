#pragma once

#include <cstddef>
#include <string_view>

// Searches over the bytes of a block, as fast as the scan needs them: each
// byte of the result file passes through one of these.

// Where `text`, which is not empty, first lies wholly in `bytes`, or npos.
std::size_t find_text(std::string_view bytes, std::string_view text);

// The offset of the last newline in `bytes`, or npos.
std::size_t find_last_newline(std::string_view bytes);
