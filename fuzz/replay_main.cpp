// Runs a fuzz target over saved inputs, for builds without libFuzzer: each
// file given, and each file in each directory given, in name order. The name
// goes out before the input runs, so a crash shows which input it was.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

// libFuzzer fixes the name.
// NOLINTNEXTLINE(readability-identifier-naming)
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

// The inputs named by one argument; false when it names neither a file nor
// a directory, which is a mistake in the command rather than an empty corpus.
bool collect(const fs::path& arg, std::vector<fs::path>& inputs) {
  std::error_code error;
  if (fs::is_regular_file(arg, error)) {
    inputs.push_back(arg);
    return true;
  }
  if (!fs::is_directory(arg, error)) {
    return false;
  }
  std::vector<fs::path> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(arg, error)) {
    if (entry.is_regular_file(error)) {
      found.push_back(entry.path());
    }
  }
  std::sort(found.begin(), found.end());
  inputs.insert(inputs.end(), found.begin(), found.end());
  return !error;
}

bool read_bytes(const fs::path& name, std::vector<char>& bytes) {
  std::ifstream file(name, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!collect(argv[i], inputs)) {
      (void)std::fprintf(stderr, "replay: %s: no such file or directory\n", argv[i]);
      return 2;
    }
  }
  // A corpus that went missing must not pass as one that passed.
  if (inputs.empty()) {
    (void)std::fprintf(stderr, "replay: no inputs\n");
    return 2;
  }
  std::vector<char> bytes;
  for (const fs::path& name : inputs) {
    (void)std::printf("replay: %s\n", name.string().c_str());
    (void)std::fflush(stdout);
    if (!read_bytes(name, bytes)) {
      (void)std::fprintf(stderr, "replay: %s: could not be read\n", name.string().c_str());
      return 2;
    }
    // libFuzzer never passes a null pointer, even for an empty input.
    static const std::uint8_t empty = 0;
    const auto* data = bytes.empty() ? &empty : reinterpret_cast<const std::uint8_t*>(bytes.data());
    (void)LLVMFuzzerTestOneInput(data, bytes.size());
  }
  (void)std::printf("replay: %zu inputs ran\n", inputs.size());
  return 0;
}
