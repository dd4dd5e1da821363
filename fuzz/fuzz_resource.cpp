// Feeds arbitrary bytes to the resource reader: it must list and load every entry or stop with
// TResourceError, and must never read outside the file or allocate what the file cannot hold.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/SE_Picture.h"
#include "resource/SE_Resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Run-length and JPEG entries can state pictures far larger than their bytes.
  static const bool limited = (SetPicturePixelLimit(4u << 20), true);
  (void)limited;
  try {
    TGEResource resource;
    if (!resource.OpenMemory(std::vector<uint8_t>(data, data + size))) return 0;
    const std::vector<TGEResourceHeader> headers = resource.ListEntries();
    for (const TGEResourceHeader& header : headers) {
      TGEResourceEntry entry;
      try {
        if (resource.ReadByName(header.Name, entry) && entry.Image &&
            (entry.Image->Width != entry.ImageWidth || entry.Image->Height != entry.ImageHeight ||
             entry.Image->Rows.size() != static_cast<size_t>(entry.ImageWidth) *
                                             static_cast<size_t>(entry.ImageHeight) * 3))
          __builtin_trap();  // the header promised the sprite loader a different picture
      } catch (const TResourceError&) {
      }
    }
  } catch (const TResourceError&) {
  }
  return 0;
}
