#include "platform/PL_IsoRecords.h"

#include <algorithm>
#include <string_view>

#include "platform/PL_Text.h"

namespace {

constexpr size_t kRecordHead = 33;  // what comes before the name
constexpr size_t kShortestRecord = kRecordHead + 1;
constexpr uint8_t kFolderFlag = 0x02, kAssociatedFlag = 0x04, kMoreExtentsFlag = 0x80;
// A record seldom needs more than one continuation area; a long chain is damaged or a loop.
constexpr int kMaxContinuations = 16;
// POSIX file types, as Rock Ridge records them.
constexpr uint32_t kTypeMask = 0170000, kRegular = 0100000, kDirectory = 0040000;

// Where a record's data lies: after its extended attribute record, if it has one.
void ReadExtent(std::span<const uint8_t> bytes, TIsoRecord& record) {
  record.First = uint64_t{IsoNumber(bytes.data() + 2)} + bytes[1];
  record.Size = IsoNumber(bytes.data() + 10);
}

std::string WithoutVersion(std::string name) {
  const size_t semicolon = name.rfind(';');
  if (semicolon != std::string::npos && semicolon + 1 < name.size() &&
      std::all_of(name.begin() + semicolon + 1, name.end(),
                  [](char c) { return c >= '0' && c <= '9'; }))
    name.erase(semicolon);
  if (name.size() > 1 && name.back() == '.') name.pop_back();
  return name;
}

struct TContinuation {
  bool Any = false;
  uint64_t Sector = 0;
  uint32_t Offset = 0, Length = 0;
};

// What the System Use entries in `area` say about the record: its Rock Ridge name (appended to
// `name`), its kind, and where the entries go on. A damaged entry ends the area.
TContinuation ReadSystemUse(std::span<const uint8_t> area, TIsoRecord& record, std::string& name,
                            bool& named) {
  TContinuation next;
  for (size_t at = 0; at + 4 <= area.size();) {
    const uint8_t* entry = area.data() + at;
    const size_t length = entry[2];
    if (length < 4 || length > area.size() - at) break;
    at += length;
    const std::string_view signature(reinterpret_cast<const char*>(entry), 2);
    if (signature == "ST") break;
    if (signature == "CE") {
      if (length >= 28)
        next = {true, IsoNumber(entry + 4), IsoNumber(entry + 12), IsoNumber(entry + 20)};
    } else if (signature == "NM") {
      record.RockRidge = named = true;
      const uint8_t flags = length > 4 ? entry[4] : 0;
      if (flags & 0x02)
        name = ".";
      else if (flags & 0x04)
        name = "..";
      else if (length > 5)
        name.append(reinterpret_cast<const char*>(entry + 5), length - 5);
    } else if (signature == "PX") {
      record.RockRidge = true;
      const uint32_t type = length >= 12 ? IsoNumber(entry + 4) & kTypeMask : 0;
      record.Link = record.Link || (type != kRegular && type != kDirectory && type != 0);
    } else if (signature == "SL" || signature == "CL") {
      record.RockRidge = record.Link = true;
    } else if (signature == "RR" || signature == "TF" || signature == "PN" || signature == "RE" ||
               signature == "ER") {
      record.RockRidge = true;
    }
  }
  return next;
}

// `bytes` is one whole record: its length byte and name length have been checked.
bool ReadRecord(std::span<const uint8_t> bytes, bool joliet, const TIsoSectorReader& read,
                TIsoRecord& record) {
  const uint8_t nameLength = bytes[32];
  const std::string_view raw(reinterpret_cast<const char*>(bytes.data()) + kRecordHead, nameLength);
  ReadExtent(bytes, record);
  record.Folder = bytes[25] & kFolderFlag;
  record.Piece = bytes[25] & kMoreExtentsFlag;
  const bool dot = nameLength == 1 && static_cast<uint8_t>(raw[0]) <= 1;
  if (dot) {
    record.Name = raw[0] ? ".." : ".";
  } else if (joliet) {
    if (nameLength % 2) return false;
    record.Name = WithoutVersion(Utf16BeToUtf8(raw));
  } else {
    record.Name = WithoutVersion(std::string(raw));
    record.Plain = true;
  }
  if (joliet) return true;  // Rock Ridge entries are in the primary tree only
  // The System Use area starts on an even byte, after the name.
  const size_t systemUse = std::min(bytes.size(), kRecordHead + nameLength + 1 - nameLength % 2);
  std::string name;
  bool named = false;
  TContinuation next = ReadSystemUse(bytes.subspan(systemUse), record, name, named);
  std::vector<uint8_t> sector;
  for (int hop = 0; next.Any && hop < kMaxContinuations; ++hop) {
    sector.resize(kIsoSector);
    if (next.Offset >= kIsoSector || next.Length > kIsoSector - next.Offset ||
        !read(next.Sector, sector.data()))
      break;
    next = ReadSystemUse(std::span(sector).subspan(next.Offset, next.Length), record, name, named);
  }
  if (named && !dot) {
    record.Name = name;
    record.Plain = false;
  }
  return true;
}

}  // namespace

bool ReadIsoRecords(std::span<const uint8_t> extent, bool joliet, const TIsoSectorReader& read,
                    std::vector<TIsoRecord>& records) {
  records.clear();
  for (size_t sector = 0; sector + kIsoSector <= extent.size(); sector += kIsoSector) {
    for (size_t at = 0; at < kIsoSector;) {
      const std::span<const uint8_t> rest = extent.subspan(sector + at, kIsoSector - at);
      const size_t length = rest[0];
      if (length == 0) break;  // the rest of the sector is padding
      TIsoRecord record;
      if (length < kShortestRecord || length > rest.size() || kRecordHead + rest[32] > length ||
          !ReadRecord(rest.first(length), joliet, read, record)) {
        records.clear();
        return false;
      }
      if (!(rest[25] & kAssociatedFlag)) records.push_back(std::move(record));
      at += length;
    }
  }
  return true;
}

uint32_t IsoNumber(const uint8_t* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t{bytes[3]} << 24;
}

TIsoRecord IsoRootRecord(std::span<const uint8_t, 34> bytes) {
  TIsoRecord root;
  root.Name = ".";
  root.Folder = true;
  ReadExtent(bytes, root);
  return root;
}
