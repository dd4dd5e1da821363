#pragma once
// The input files of the command-line tools. Only regular files are read: a folder cannot be,
// and a device such as /dev/zero would be read for ever.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

// The whole file, or std::runtime_error "cannot read PATH: REASON".
inline std::string ReadInputFile(const std::string& path) {
  const auto fail = [&path](const std::string& reason) {
    throw std::runtime_error("cannot read " + path + ": " + reason);
  };
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error) fail(error.message());
  if (std::filesystem::is_directory(status)) fail("it is a folder, not a file");
  if (!std::filesystem::is_regular_file(status))
    fail("not a regular file (a device, pipe or socket)");
  std::ifstream file(path, std::ios::binary);
  if (!file) fail(std::strerror(errno));
  std::string bytes;
  try {
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure&) {
    fail(std::strerror(errno));
  }
  if (file.bad()) fail(std::strerror(errno));
  return bytes;
}
