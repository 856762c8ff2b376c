#pragma once

#include <string>

// Every match of the ECMAScript regular expression `pattern` in `text`
// replaced by the ECMAScript format string `replacement`.
std::string do_replace(const std::string& text, const std::string& pattern,
                       const std::string& replacement);
