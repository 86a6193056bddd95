// Runs a fuzz target over saved inputs without libFuzzer: every file named, and every file in each
// directory named (in name order), once each. A target that finds a fault aborts, so a clean exit
// means every input passed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <corpus directory or input file>...\n", argv[0]);
    return 2;
  }
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const fs::path named = argv[i];
    std::error_code ec;
    if (fs::is_directory(named, ec)) {
      std::vector<fs::path> files;
      for (const auto& entry : fs::directory_iterator(named)) {
        if (entry.is_regular_file()) {
          files.push_back(entry.path());
        }
      }
      std::sort(files.begin(), files.end());
      if (files.empty()) {
        std::fprintf(stderr, "%s: no inputs\n", named.c_str());
        return 2;
      }
      inputs.insert(inputs.end(), files.begin(), files.end());
    } else if (fs::is_regular_file(named, ec)) {
      inputs.push_back(named);
    } else {
      std::fprintf(stderr, "%s: not found\n", named.c_str());
      return 2;
    }
  }
  for (const auto& path : inputs) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
      std::fprintf(stderr, "%s: cannot read\n", path.c_str());
      return 2;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    std::fprintf(stderr, "%s (%zu bytes)\n", path.c_str(), bytes.size());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::fprintf(stderr, "%zu inputs replayed\n", inputs.size());
  return 0;
}
