#pragma once
// The directory records of an ISO 9660 folder. They are read here rather than by libiso9660,
// whose Rock Ridge reading trusts the lengths a damaged record states and reads and writes
// outside its buffers.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

constexpr size_t kIsoSector = 2048;

struct TIsoRecord {
  // The Rock Ridge name; else the Joliet or plain name without its version (";1") and without
  // the dot of a name that has no extension ("README.;1"). "." and ".." for the folder itself
  // and its parent.
  std::string Name;
  uint64_t First = 0, Size = 0;  // the data's first sector and its length in bytes
  bool Folder = false;
  bool RockRidge = false;  // the record carries Rock Ridge entries
  bool Plain = false;      // an ISO 9660 name, upper case by the standard, which players match
                           // in either letter case
  // Rock Ridge symbolic links, device files, and links to folders moved elsewhere (deeper than
  // 8 levels), which the mount does not follow.
  bool Link = false;
  bool Piece = false;  // one of the extents of a file stored in several
};

// Reads one 2048-byte sector of the image, for Rock Ridge entries continued outside a record.
using TIsoSectorReader = std::function<bool(uint64_t sector, uint8_t* bytes)>;

// The records of a folder's extent (whole sectors), in their order. False when the extent is not
// made of whole records, each inside its sector with its name inside the record, or a Joliet name
// is half a character; `records` is then empty. Associated files (the resource forks of Mac discs)
// are left out.
bool ReadIsoRecords(std::span<const uint8_t> extent, bool joliet, const TIsoSectorReader& read,
                    std::vector<TIsoRecord>& records);

// A 32-bit number as ISO 9660 stores it (and Rock Ridge too): read from its little-endian half.
uint32_t IsoNumber(const uint8_t* bytes);

// The root folder's record, as a volume descriptor holds it (34 bytes from byte 156).
TIsoRecord IsoRootRecord(std::span<const uint8_t, 34> bytes);
