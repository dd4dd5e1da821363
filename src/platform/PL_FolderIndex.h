#pragma once
// Folders read once and kept as an index of their entries' case-folded names, so a name the
// script writes in another letter case than the file (every unquoted name is upper-cased) is
// found without reading the folder again. A folder whose modification time changed is read
// anew, so a file added while play goes on is seen.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The entry of `folder` whose name equals `name` once both are folded by `fold`, the first as
// the folder lists them; false when there is none or the folder cannot be read.
bool FindInFolderIndex(const std::string& folder, std::string_view name,
                       const std::function<std::u32string(std::string_view)>& fold,
                       std::string& entry);

// How many times folders have been read into the index since the program started.
uint64_t FolderIndexReads();
