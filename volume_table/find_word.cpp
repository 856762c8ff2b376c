#include "find_word.h"

#include "input_file.h"

#include "console_io.h"

#include <algorithm>
#include <utility>

namespace {

constexpr const char* program = "volume_table";

// The one message of a result file that cannot be read. It goes to standard
// output, where the caller looks for it; failing to deliver it is an error.
int report_unreadable_input() {
  const int error = error_of([] {
    (void)std::fputs("sumtally could not be opened\n", stdout);
    return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
  });
  return error == 0 ? 0 : report_failure(program, "standard output", error);
}

}  // namespace

// The two strings are taken by value, as the callers of find_word expect.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
int find_word(std::string path, std::string header, const scan_options& options) {
  return find_word(std::vector<std::string>{std::move(path)}, header, options);
}

int find_word(const std::vector<std::string>& spellings, const std::string& header,
              const scan_options& options) {
  for (const std::string& path : spellings) {
    std::FILE* input = open_input(path);
    if (input == nullptr) {
      continue;
    }
    // Our blocks are the only buffer: stdio's would just copy every byte
    // twice. Set first, as setvbuf must be, before the reader tries a seek.
    (void)std::setvbuf(input, nullptr, _IONBF, 0);
    // The retain limit must cover a header that runs past a block end.
    block_reader in(input, options.block_size, std::max(options.retain_limit, header.size()));
    // A directory opens on Linux, but its first read fails: no file, and
    // nothing was taken from a file that is one.
    if (!in.start()) {
      close_input(input);
      continue;
    }

    std::FILE* output = nullptr;
    const int open_error = error_of([&] {
      output = std::fopen(tables_output_name, "wb");
      return output != nullptr;
    });
    if (open_error != 0) {
      close_input(input);
      return report_failure(program, tables_output_name, open_error);
    }
    // The writer buffers the tables itself; a stdio buffer as well split
    // each of its writes in two.
    (void)std::setvbuf(output, nullptr, _IONBF, 0);
    table_writer out(output);
    copy_tables(in, out, header);
    close_input(input);

    const int error = finish_output(output, out.error());
    if (error != 0) {
      return report_failure(program, tables_output_name, error);
    }
    // Tables after a failed read were never seen: what was copied stays, but
    // the caller must not take it for the whole result.
    return in.error() == 0 ? 0 : report_failure(program, path.c_str(), in.error());
  }
  return report_unreadable_input();
}
