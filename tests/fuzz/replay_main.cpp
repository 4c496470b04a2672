// SPDX-License-Identifier: GPL-3.0-or-later
// Replays fuzzing inputs through a fuzz target without libFuzzer, so that the corpora run as ordinary tests in every
// build. Usage: TARGET FOLDER... With --seeds FOLDER, checks instead that each seed directly in FOLDER is read, or
// refused when its name starts with "refused_" (the inputs the fuzzer found, in found/, may be either).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
// Whether the target's reader accepts the input; targets without a reader leave it out.
extern "C" __attribute__((weak)) bool VelmoraFuzzInputIsRead(const uint8_t *data, size_t size);

namespace {

std::string ReadAll(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int CheckSeeds(const char *folder) {
  if (VelmoraFuzzInputIsRead == nullptr) {
    std::printf("this target has no reader to check its seeds with\n");
    return 1;
  }
  size_t checked = 0, wrong = 0;
  for (const auto &entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || name[0] == '.') continue;
    const std::string data = ReadAll(entry.path());
    const bool refused = name.rfind("refused_", 0) == 0;
    if (VelmoraFuzzInputIsRead(reinterpret_cast<const uint8_t *>(data.data()), data.size()) == refused) {
      std::printf("%s: %s\n", name.c_str(), refused ? "read, though named refused_" : "refused");
      ++wrong;
    }
    ++checked;
  }
  std::printf("%zu seeds checked, %zu wrong\n", checked, wrong);
  return checked == 0 || wrong != 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 3 && std::string(argv[1]) == "--seeds") return CheckSeeds(argv[2]);
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    for (const auto &entry : std::filesystem::recursive_directory_iterator(argv[i])) {
      if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.') continue;
      const std::string data = ReadAll(entry.path());
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.data()), data.size());
      ++replayed;
    }
  }
  std::printf("%zu inputs replayed\n", replayed);
  return replayed == 0 ? 1 : 0;  // a corpus that went missing must not pass
}
