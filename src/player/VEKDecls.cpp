#include "player/VEKDecls.h"

#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "platform/PL_Files.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Text.h"

namespace {
int32_t KeywordCode(const std::string& keyword,
                    std::initializer_list<std::pair<const char*, int32_t>> table,
                    int32_t otherwise) {
  for (const auto& [word, code] : table)
    if (keyword == word) return code;
  return otherwise;
}
}  // namespace

int32_t RenderModeCode(const std::string& keyword) {
  return KeywordCode(keyword, {{"WIRED", 1}, {"TEXTMAP", 2}, {"SPRTEXTMAP", 3}, {"PHONG", 5}}, 0);
}

int32_t MappingCode(const std::string& keyword) {
  return KeywordCode(keyword,
                     {{"NORMALSXY", 1},
                      {"OBJECTSXY", 4},
                      {"OBJECTSYX", 8},
                      {"OBJECTSXZ", 12},
                      {"OBJECTSZY", 20},
                      {"OBJECTSNEGXY", 5},
                      {"OBJECTSNEGXZ", 13},
                      {"STOREDUV", 0},
                      {"SPHERE", 2},
                      {"CILINDER", 3}},
                     2);
}

namespace {
// A text object's file: its lines, each ended with a carriage return and a line feed. Like
// any input/output error while the script is read, a file that cannot be read ends the play.
std::string ReadTextObjectFile(const std::string& name) {
  const std::string path = ResolveScriptPath(name);
  std::string bytes, error;
  if (!IsRegularFile(path) || !ReadWholeFile(path, bytes, error))
    throw std::runtime_error("cannot read the text file " + Cp1250ToUtf8(name));
  const std::string text = DecodeTextFile(bytes);
  std::string joined;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    joined += text.substr(start, end - start) + "\r\n";
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return joined;
}
}  // namespace

bool NamesTextFile(const std::string& text) { return text.empty() || text.front() != '"'; }

std::string TextObjectContent(const std::string& text) {
  if (NamesTextFile(text)) return ReadTextObjectFile(text);
  const size_t last = text.rfind('"');
  return last > 0 ? text.substr(1, last - 1) : text.substr(1);
}
