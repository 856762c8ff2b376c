// point_count: writes the number of dynamics points of "runphits.bat", one
// per five lines, to "dynamics_points.tmp".
#include "console_io.h"
#include "count_file_lines.h"

namespace {
constexpr const char* program = "point_count";
constexpr const char* input_name = "runphits.bat";
constexpr const char* output_name = "dynamics_points.tmp";
constexpr unsigned lines_per_point = 5;
}  // namespace

int main() {
  const line_total total = count_file_lines(input_name);
  if (total.read_error != 0) {
    return report_failure(program, input_name, total.read_error);
  }
  return write_value(program, output_name, total.lines / lines_per_point);
}
