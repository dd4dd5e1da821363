#include "TestSupport.h"

#include <unistd.h>

#include <fstream>

TTempFolder::TTempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "veke-test-XXXXXX").string();
  Path = mkdtemp(pattern.data());
}

TTempFolder::~TTempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(Path, ec);
}

std::filesystem::path TTempFolder::Write(const std::string& relative,
                                         const std::string& content) const {
  std::filesystem::path file = Path / relative;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
  return file;
}
