#pragma once
// Decoded pictures shared by the sprites that show them. A presentation often shows one
// picture many times (a button face, a tile, an image per section); each further sprite takes
// the pixels already decoded instead of reading and converting the file again. Only weak
// references are kept here: a picture's memory goes with the last sprite that holds it.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

#include "graphics/SE_PixelSheet.h"

// Where a picture comes from and how it was converted. The file is known by its resolved path
// together with its size and modification time, so a file that was written again is read
// again; Entry is the upper-cased entry name within a resource file, empty for picture files.
struct TPictureKey {
  std::string Path;
  std::string Entry;
  uint64_t FileSize = 0;
  int64_t Modified = 0;  // nanoseconds of the file clock
  int32_t Depth = 0;
  int32_t BytesPerPixel = 0;
  bool Is555 = false;

  // Spelled out rather than a defaulted <=>, which not every standard library gives over
  // std::string members yet.
  auto Tied() const {
    return std::tie(Path, Entry, FileSize, Modified, Depth, BytesPerPixel, Is555);
  }
  friend bool operator<(const TPictureKey& a, const TPictureKey& b) { return a.Tied() < b.Tied(); }
  friend bool operator==(const TPictureKey& a, const TPictureKey& b) {
    return a.Tied() == b.Tied();
  }
};

// The key of the file `path` as it is now, in the display's format; none when the file
// cannot be examined (the picture is then decoded without sharing).
std::optional<TPictureKey> PictureKeyOf(const std::string& path, const std::string& entry,
                                        const TGEDisplay& display);

// The sheet of `key` that a sprite still holds, else what `decode` makes, shared from then on
// for as long as anyone holds it. Without a key, `decode` is simply called.
TSheetRef SharedSheet(const std::optional<TPictureKey>& key,
                      const std::function<TPixelSheet()>& decode);

// The frames of a sheet, shared in the same way by the sprites that cut it alike.
std::shared_ptr<const TFrameSheet> SharedFrames(const TSheetRef& sheet, int32_t frameWidth,
                                                int32_t frameHeight, int32_t bytesPerPixel);

// Sheets and frame cuts that some sprite still holds.
size_t SharedSheetCount();
size_t SharedFrameSheetCount();
