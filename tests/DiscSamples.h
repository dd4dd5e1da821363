#pragma once
// Disc images made at test time: a tree of files with contents of their own, written with
// xorriso, and raw BIN images made from an ISO image as a CD writer's reader would save them.
#include <filesystem>
#include <string>
#include <vector>

struct TSampleFile {
  std::string Path;  // "/"-separated, relative to the tree
  size_t Size = 0;
};

// Bytes that differ with the name and the position, so a read from the wrong place shows.
std::string SampleBytes(const std::string& path, size_t size);
void WriteSampleTree(const std::filesystem::path& folder, const std::vector<TSampleFile>& files);

// Runs `xorriso -as mkisofs -o ISO TREE OPTIONS`; false when xorriso is missing or fails.
bool MakeIso(const std::filesystem::path& tree, const std::filesystem::path& iso,
             const std::string& options);

// The ISO image in 2352-byte sectors: sync, header (minute, second, frame, mode) and the 2048
// bytes, in mode 1 or in mode 2 form 1 (with its subheader); error codes are left zero.
// `audioSectors` of silence follow as an audio track would.
void MakeRawBin(const std::filesystem::path& iso, const std::filesystem::path& bin, int mode,
                size_t audioSectors = 0);
