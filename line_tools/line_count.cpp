// line_count: writes the number of lines of "shieldmat.tmp" to "linecounts.tmp".
#include "console_io.h"
#include "count_file_lines.h"

namespace {
constexpr const char* program = "line_count";
constexpr const char* input_name = "shieldmat.tmp";
constexpr const char* output_name = "linecounts.tmp";
}  // namespace

int main() {
  const line_total total = count_file_lines(input_name);
  if (total.read_error != 0) {
    return report_failure(program, input_name, total.read_error);
  }
  return write_value(program, output_name, total.lines);
}
