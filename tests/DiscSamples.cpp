#include "DiscSamples.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

std::string SampleBytes(const std::string& path, size_t size) {
  uint32_t state = 2166136261u;
  for (char c : path) state = (state ^ static_cast<uint8_t>(c)) * 16777619u;
  std::string bytes(size, '\0');
  for (char& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<char>(state >> 23);
  }
  return bytes;
}

void WriteSampleTree(const fs::path& folder, const std::vector<TSampleFile>& files) {
  for (const TSampleFile& file : files) {
    const fs::path target = folder / file.Path;
    fs::create_directories(target.parent_path());
    std::ofstream(target, std::ios::binary) << SampleBytes(file.Path, file.Size);
  }
}

bool MakeIso(const fs::path& tree, const fs::path& iso, const std::string& options) {
  // Options last: after "--" xorriso takes its own commands.
  const std::string command = "xorriso -as mkisofs -o '" + iso.string() + "' '" + tree.string() +
                              "' " + options + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

void MakeRawBin(const fs::path& iso, const fs::path& bin, int mode, size_t audioSectors) {
  std::ifstream in(iso, std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ofstream out(bin, std::ios::binary);
  auto bcd = [](size_t n) { return static_cast<char>(((n / 10) << 4) | (n % 10)); };
  for (size_t sector = 0; sector * 2048 < data.size(); ++sector) {
    std::string raw(2352, '\0');
    raw.replace(1, 10, 10, '\xFF');
    const size_t address = sector + 150;  // the two seconds before the first track
    raw[12] = bcd(address / 4500);
    raw[13] = bcd(address / 75 % 60);
    raw[14] = bcd(address % 75);
    raw[15] = static_cast<char>(mode);
    raw.replace(mode == 1 ? 16 : 24, 2048, data, sector * 2048, 2048);
    out << raw;
  }
  out << std::string(audioSectors * 2352, '\0');
}
