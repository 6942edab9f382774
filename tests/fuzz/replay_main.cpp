// Runs the fuzz target once over every file in the directories (or files)
// named on the command line: the committed corpus and the inputs of faults
// found earlier, replayed under the sanitizers without libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

void Replay(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>()};
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path root = argv[i];
    if (fs::is_regular_file(root)) {
      Replay(root);
      ++replayed;
      continue;
    }
    if (!fs::is_directory(root)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.') continue;
      Replay(entry.path());
      ++replayed;
    }
  }
  std::printf("replayed %zu inputs\n", replayed);
  // A run that found nothing to replay tests nothing.
  return replayed > 0 ? 0 : 1;
}
