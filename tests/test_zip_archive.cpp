// Zip archives made at test time by Python's zipfile (and patched for the hostile ones), read
// through the file layer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <thread>
#include <tuple>

#include "TestSupport.h"
#include "platform/PL_Files.h"

namespace {

struct TMember {
  std::string Name;  // as stored; "X/" for a folder entry
  std::string Bytes;
  bool Deflate = true;
};

// Bytes that deflate about two to one and never repeat within deflate's window.
std::string Pattern(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  uint32_t x = seed | 1;
  for (char& c : bytes) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>('a' + (x >> 28));
  }
  return bytes;
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Writes the archive with Python's zipfile, which writes any name it is given as it is.
std::filesystem::path MakeZip(const TTempFolder& temp, const std::string& name,
                              const std::vector<TMember>& members,
                              const std::string& comment = "") {
  std::string manifest;
  for (size_t i = 0; i < members.size(); ++i) {
    const std::string data = "m" + std::to_string(i);
    temp.Write(data, members[i].Bytes);
    manifest += (members[i].Deflate ? "8\t" : "0\t") + members[i].Name + "\t" + data + "\n";
  }
  temp.Write("manifest", manifest);
  temp.Write("comment", comment);
  const std::string script =
      "import sys, zipfile\n"
      "d = sys.argv[1]\n"
      "with zipfile.ZipFile(d + '/' + sys.argv[2], 'w') as z:\n"
      "  z.comment = open(d + '/comment', 'rb').read()\n"
      "  for line in open(d + '/manifest', encoding='utf-8').read().splitlines():\n"
      "    method, name, data = line.split('\\t')\n"
      "    info = zipfile.ZipInfo(name, (1996, 5, 4, 12, 0, 0))\n"
      "    info.compress_type = int(method)\n"
      "    z.writestr(info, open(d + '/' + data, 'rb').read())\n";
  temp.Write("make.py", script);
  const std::string command =
      "python3 '" + (temp.Path / "make.py").string() + "' '" + temp.Path.string() + "' " + name;
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return temp.Path / name;
}

void Put32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// Damage that sets a 32-bit field of the local header (at `local`) and the central directory
// header (at `central`) of the member B.TXT.
std::function<void(std::string&)> SetField(size_t local, size_t central, uint32_t value) {
  return [=](std::string& zip) {
    for (const auto& [signature, field, nameAt] :
         {std::tuple{std::string("PK\3\4"), local, size_t{30}},
          std::tuple{std::string("PK\1\2"), central, size_t{46}}})
      for (size_t at = zip.find(signature); at != std::string::npos;
           at = zip.find(signature, at + 4))
        if (zip.compare(at + nameAt, 5, "B.TXT") == 0) Put32(zip, at + field, value);
  };
}

std::string Read(TReadFile& file, uint64_t offset, size_t count, int64_t& got) {
  std::string bytes(count, '\0');
  got = file.ReadAt(offset, bytes.data(), count);
  bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return bytes;
}

}  // namespace

TEST(ZipArchive, GoodArchivesListAndReadByteForByte) {
  const std::string big = Pattern(12 << 20, 7), bigStored = Pattern(9 << 20, 8);
  const std::string small = Pattern(70001, 3), text = "[MAIN]\r\nSHOW(A)\r\n";
  struct TCase {
    std::string Label;
    std::vector<TMember> Members;
    std::string Comment, WantLabel;
    std::map<std::string, std::set<std::string>> Folders;
    std::map<std::string, const std::string*> Files;
  };
  const std::vector<TCase> cases = {
      {"stored, explicit and implied folders",
       {{"SHOW.VEK", text, false},
        {"EMPTY/", "", false},
        {"PICS/", "", false},
        {"PICS/SUB/A.BMP", small, false},
        {"#.BMP", small}},
       "DEMODISC\r\nmade in 1996",
       "DEMODISC",
       {{"", {"SHOW.VEK", "EMPTY", "PICS", "ő.BMP"}},
        {"EMPTY", {}},
        {"PICS", {"SUB"}},
        {"PICS/SUB", {"A.BMP"}}},
       {{"SHOW.VEK", &text}, {"PICS/SUB/A.BMP", &small}, {"ő.BMP", &small}}},
      {"deflated, backslashes, large entries",
       {{"SHOW.VEK", text},
        {"VIDEO\\INTRO.AVI", big},
        {"SOUND\\MUSIC.MP3", bigStored, false},
        {"SOUND\\FX\\CLICK.WAV", small},
        {"SOUND/", ""},
        {"KÉPEK/ű.BMP", small}},
       "a comment far longer than any disc's label would be",
       "",
       {{"", {"SHOW.VEK", "VIDEO", "SOUND", "KÉPEK"}},
        {"KÉPEK", {"ű.BMP"}},
        {"SOUND", {"MUSIC.MP3", "FX"}},
        {"SOUND/FX", {"CLICK.WAV"}}},
       {{"SHOW.VEK", &text},
        {"VIDEO/INTRO.AVI", &big},
        {"SOUND/MUSIC.MP3", &bigStored},
        {"SOUND/FX/CLICK.WAV", &small},
        {"KÉPEK/ű.BMP", &small}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Label);
    TTempFolder temp;
    // Python writes names in UTF-8 and marks them so; a DOS zip tool of Central European
    // Windows wrote "ő" as the byte 0x8B of code page 852, unmarked.
    const std::filesystem::path zip = MakeZip(temp, "disc.zip", c.Members, c.Comment);
    std::string raw = ReadBytes(zip);
    for (size_t at; (at = raw.find("#.BMP")) != std::string::npos;) raw[at] = '\x8B';
    temp.Write("disc.zip", raw);
    std::string error;
    const std::string point = MountContainer(zip.string(), error);
    ASSERT_NE(point, "") << error;
    auto container = ContainerOf(point);
    ASSERT_TRUE(container);
    EXPECT_EQ(container->Kind, "zip archive");
    EXPECT_EQ(container->Label, c.WantLabel);
    EXPECT_TRUE(container->Skipped.empty());
    EXPECT_EQ(container->FileCount, c.Files.size());
    for (const auto& [folder, want] : c.Folders) {
      std::vector<std::string> names;
      ASSERT_TRUE(ListFolder(point + "/" + folder, names)) << folder;
      EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), want) << folder;
    }
    for (const auto& [name, bytes] : c.Files) {
      SCOPED_TRACE(name);
      EXPECT_EQ(FileInfoOf(point + "/" + name).Size, bytes->size());
      auto file = OpenReadFile(point + "/" + name, error);
      ASSERT_TRUE(file) << error;
      const uint64_t size = bytes->size();
      // Forward, skipping ahead, back across what was kept and back to the start, and past
      // the end: the steps of a demuxer that seeks.
      for (uint64_t offset : {size / 2 + 13, size / 2 + 4099, size - 7, size / 5 + 1,
                              size / 2 - 300000 * (size > 1000000), uint64_t{1}, size, size / 3}) {
        const size_t count = 100003;
        int64_t got;
        const std::string read = Read(*file, offset, count, got);
        const uint64_t want = offset >= size ? 0 : std::min<uint64_t>(count, size - offset);
        ASSERT_EQ(got, static_cast<int64_t>(want)) << offset;
        EXPECT_TRUE(read == bytes->substr(std::min(offset, size), want)) << offset;
      }
    }
    // A video, its sound and the pictures are read from the same archive at once.
    std::vector<std::thread> readers;
    std::vector<std::string> wholes(c.Files.size());
    auto whole = wholes.begin();
    for (const auto& [name, bytes] : c.Files)
      readers.emplace_back([&, path = point + "/" + name, out = &*whole++] {
        std::string error;
        auto file = OpenReadFile(path, error);
        for (int64_t got = 1; file && got > 0;) out->append(Read(*file, out->size(), 65536, got));
      });
    for (std::thread& reader : readers) reader.join();
    whole = wholes.begin();
    for (const auto& [name, bytes] : c.Files) EXPECT_TRUE(*whole++ == *bytes) << name;
  }
}

TEST(ZipArchive, HostileArchivesAreRefusedOrKeptInside) {
  const std::string small = Pattern(5000, 1), wide = Pattern(40000, 2);
  const std::vector<TMember> plain = {{"A.TXT", small}, {"B.TXT", wide}};
  struct TCase {
    std::string Label;
    std::vector<TMember> Members;
    std::function<void(std::string&)> Damage = nullptr;
    std::string OpenError = "";                 // part of the refusal; "" when it mounts
    std::vector<std::string> WantSkipped = {};  // when it mounts
    std::string Unreadable = "";                // a listed entry that must not open or read
    std::string OpensNot = "";                  // part of the reason it does not open
  };
  const std::vector<TCase> cases = {
      {"cut in half", plain, [](std::string& z) { z.resize(z.size() / 2); }, "truncated"},
      {"no end record", plain, [](std::string& z) { z.replace(z.rfind("PK\5\6"), 4, "XXXX"); },
       "truncated"},
      {"directory points past the end", plain,
       [](std::string& z) { Put32(z, z.rfind("PK\5\6") + 16, 0x7fffffff); }, "damaged"},
      {"bomb", plain, SetField(22, 24, 0xfff00000), "B.TXT"},
      {"names that step out",
       {{"../x", small},
        {"/abs", small},
        {"C:\\x", small},
        {"a/../b", small},
        {"a//b", small},
        {"./A.TXT", small}},
       nullptr,
       "",
       {"../x", "/abs", "C:\\x", "a/../b", "a//b"}},
      {"encrypted", plain, SetField(6, 8, 0x00080001), "", {"B.TXT (encrypted)"}},
      {"bad CRC", plain, SetField(14, 16, 0x12345678), "", {}, "B.TXT"},
      {"bad CRC of a large stored entry",
       {{"A.TXT", small}, {"B.TXT", Pattern(9 << 20, 4), false}},
       SetField(14, 16, 0x12345678),
       "",
       {},
       "B.TXT"},
      {"stored entry holding nothing states 9 MiB",
       {{"A.TXT", small}, {"B.TXT", wide, false}},
       [](std::string& z) {
         SetField(18, 20, 0)(z);
         SetField(22, 24, 9 << 20)(z);
       },
       "",
       {},
       "B.TXT",
       "sizes differ"},
      {"entry's own header past the end",
       plain,
       [](std::string& z) { Put32(z, z.rfind("B.TXT") - 4, 0x7fff0000); },
       "",
       {},
       "B.TXT",
       "damaged"},
      {"entry's data past the end",
       plain,
       [](std::string& z) { z.replace(z.find("B.TXT") - 4, 2, "\xff\xff"); },
       "",
       {},
       "B.TXT"},
      {"states more than it holds", plain, SetField(22, 24, 40100), "", {}, "B.TXT"},
      {"states less than it holds", plain, SetField(22, 24, 39000), "", {}, "B.TXT"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Label);
    TTempFolder temp;
    const std::filesystem::path path = MakeZip(temp, "x.zip", c.Members);
    std::string bytes = ReadBytes(path);
    if (c.Damage) c.Damage(bytes);
    temp.Write("x.zip", bytes);
    std::string error;
    auto container = OpenZipArchive(path.string(), error);
    if (!c.OpenError.empty()) {
      EXPECT_FALSE(container);
      EXPECT_NE(error.find(c.OpenError), std::string::npos) << error;
      continue;
    }
    ASSERT_TRUE(container) << error;
    EXPECT_EQ(container->Skipped, c.WantSkipped);
    EXPECT_TRUE(container->Find("A.TXT"));
    for (const std::string& skipped : c.WantSkipped) EXPECT_FALSE(container->Find(skipped));
    EXPECT_FALSE(container->Find("x"));
    EXPECT_FALSE(container->Find("b"));
    if (c.Unreadable.empty()) continue;
    const TContainer::TEntry* entry = container->Find(c.Unreadable);
    ASSERT_TRUE(entry);
    auto file = container->Open(*entry, error);
    EXPECT_EQ(!file, !c.OpensNot.empty());
    if (!file) {
      EXPECT_NE(error.find(c.OpensNot), std::string::npos) << error;
      continue;
    }
    std::string buffer(entry->Size + 100, '\0');
    EXPECT_EQ(file->ReadAt(0, buffer.data(), buffer.size()), -1);
    EXPECT_EQ(file->ReadAt(10, buffer.data(), 10), -1);
  }
}
