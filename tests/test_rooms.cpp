// The house rules of src/, checked on the sources themselves: a room includes only the rooms
// below it, no file and its header take part in a circle of includes, and each outside library
// is reached from one place.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSourceRoot = fs::path(VEKE_SOURCE_DIR) / "src";

std::vector<std::string> Rooms() {
  std::vector<std::string> rooms;
  std::stringstream list(VEKE_ROOMS);
  for (std::string room; std::getline(list, room, ',');) rooms.push_back(room);
  return rooms;
}

struct TInclude {
  std::string From;  // "room/File.cpp"
  std::string Name;  // as written between the quotes or brackets
  bool Quoted = false;
};

std::vector<TInclude> AllIncludes() {
  static const std::regex kInclude(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
  std::vector<TInclude> includes;
  for (const auto& entry : fs::recursive_directory_iterator(kSourceRoot)) {
    if (!entry.is_regular_file()) continue;
    const std::string from = fs::relative(entry.path(), kSourceRoot).generic_string();
    std::ifstream file(entry.path());
    for (std::string line; std::getline(file, line);) {
      std::smatch match;
      if (std::regex_search(line, match, kInclude))
        includes.push_back({from, match[2], match[1] == "\""});
    }
  }
  return includes;
}

std::string RoomOf(const std::string& path) { return path.substr(0, path.find('/')); }
// A header and its source are one unit: a circle through either is a circle.
std::string UnitOf(const std::string& path) { return path.substr(0, path.rfind('.')); }

TEST(Rooms, IncludesPointDownwardsOnly) {
  const std::vector<std::string> rooms = Rooms();
  std::map<std::string, size_t> level;
  for (size_t i = 0; i < rooms.size(); ++i) level[rooms[i]] = i;
  for (const auto& entry : fs::directory_iterator(kSourceRoot))
    EXPECT_TRUE(level.count(entry.path().filename().string()))
        << entry.path() << " is no room of the house plan";
  for (const TInclude& include : AllIncludes()) {
    if (!include.Quoted) continue;
    ASSERT_TRUE(fs::exists(kSourceRoot / include.Name)) << include.From << ": " << include.Name;
    const std::string from = RoomOf(include.From), to = RoomOf(include.Name);
    EXPECT_LE(level[from], level[to]) << include.From << " reaches up to " << include.Name;
  }
}

TEST(Rooms, NoCircleOfIncludes) {
  std::map<std::string, std::set<std::string>> edges;
  for (const TInclude& include : AllIncludes())
    if (include.Quoted && UnitOf(include.From) != UnitOf(include.Name))
      edges[UnitOf(include.From)].insert(UnitOf(include.Name));
  // Depth-first walk; a unit met again while it is still on the path closes a circle.
  std::map<std::string, int> state;  // 1: on the path, 2: done
  std::vector<std::string> path;
  std::function<void(const std::string&)> visit = [&](const std::string& unit) {
    state[unit] = 1;
    path.push_back(unit);
    for (const std::string& next : edges[unit]) {
      if (state[next] == 1) {
        std::string circle;
        for (auto it = std::find(path.begin(), path.end(), next); it != path.end(); ++it)
          circle += *it + " -> ";
        ADD_FAILURE() << "circle: " << circle << next;
      } else if (state[next] == 0) {
        visit(next);
      }
    }
    path.pop_back();
    state[unit] = 2;
  };
  for (const auto& [unit, targets] : edges)
    if (state[unit] == 0) visit(unit);
}

TEST(Rooms, OutsideLibrariesStayInTheirRoom) {
  struct TLibrary {
    const char* Name;
    std::regex Headers;
    std::vector<std::string> Places;  // rooms ("platform/") or files that may include them
  };
  const std::vector<TLibrary> libraries = {
      {"SDL", std::regex(R"(^SDL2?[/_.])"), {"platform/"}},
      {"FFmpeg", std::regex(R"(^lib(avcodec|avformat|avutil|avdevice|avfilter|swscale|swresample)/)"),
       {"audio/SE_FFmpeg.h"}},
      {"libpng", std::regex(R"(^png\.h$)"), {"image/"}},
      {"libjpeg", std::regex(R"(^(jpeglib|jerror|jconfig|jmorecfg)\.h$)"), {"image/"}},
      {"zlib", std::regex(R"(^zlib\.h$)"), {"resource/"}},
      {"libcdio", std::regex(R"(^cdio/)"), {"platform/PL_DiscImage.cpp"}},
      {"libzip", std::regex(R"(^zip\.h$)"), {"platform/PL_ZipArchive.cpp"}},
      {"libsystemd", std::regex(R"(^systemd/)"), {"platform/PL_ServiceNotify.cpp"}},
      {"FreeType", std::regex(R"(^(ft2build\.h|freetype/))"), {}},
  };
  for (const TInclude& include : AllIncludes()) {
    if (include.Quoted) continue;
    for (const TLibrary& library : libraries) {
      if (!std::regex_search(include.Name, library.Headers)) continue;
      EXPECT_TRUE(std::any_of(library.Places.begin(), library.Places.end(),
                              [&](const std::string& place) {
                                return include.From.starts_with(place);
                              }))
          << include.From << " includes " << library.Name << " (" << include.Name << ")";
    }
  }
  // The FFmpeg helper is for the decoders' and the encoder's own sources only.
  for (const TInclude& include : AllIncludes()) {
    if (include.Name != "audio/SE_FFmpeg.h") continue;
    EXPECT_TRUE(include.From.ends_with(".cpp") &&
                (RoomOf(include.From) == "audio" || RoomOf(include.From) == "video"))
        << include.From;
  }
}

}  // namespace
