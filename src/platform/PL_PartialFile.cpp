#include "platform/PL_PartialFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

std::string PartialNameFor(const std::string& path) {
  const std::filesystem::path final(path);
  const std::string name = "." + final.stem().string() + ".partial" + final.extension().string();
  return (final.parent_path() / name).string();
}

bool CommitPartial(const std::string& partial, const std::string& path, std::string& error) {
  if (std::rename(partial.c_str(), path.c_str()) == 0) return true;
  error = path + ": " + std::strerror(errno);
  DiscardPartial(partial);
  return false;
}

void DiscardPartial(const std::string& partial) { std::remove(partial.c_str()); }
