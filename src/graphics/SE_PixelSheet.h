#pragma once
// Pictures in the display's pixel format, as memory-mode sprites draw them, and their cuts
// into animation frames. Both are made once and never changed, so every sprite that shows the
// same picture can hold the same one (SE_PictureCache.h).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/SE_MemoryBudget.h"
#include "graphics/SE_Blit.h"
#include "graphics/SE_Display.h"

struct TGEResourceEntry;

// Packed rows of Width x Height pixels in the display's format, and the spans the keyed
// blitters skip by. Its pixels are charged to the memory budget before they are made, under
// the name of the file or entry they come from; a sheet past the budget is a
// TMemoryBudgetError, as a file that cannot be read is an error.
struct TPixelSheet {
  int32_t Width = 0, Height = 0;
  std::vector<uint8_t> Bytes;
  TVisibleSpans Spans;
  std::string Name;
  TMemoryCharge Charge;
};
using TSheetRef = std::shared_ptr<const TPixelSheet>;

// Pixels of a picture that `charge` paid for.
TPixelSheet MakeSheet(int32_t width, int32_t height, std::vector<uint8_t> bytes,
                      int32_t bytesPerPixel, const std::string& name, TMemoryCharge charge);
// A decoded picture converted to the display's format; `name` is its file's.
TPixelSheet SheetFromPicture(const TBitmap24& picture, const TGEDisplay& display,
                             const std::string& name);
// A ".SPR" file: two 16-bit sizes, then 5-6-5 pixels at the display's bytes per pixel. Only
// the bytes the picture needs are read, after its size passed the picture limit.
TPixelSheet ReadSprSheet(const std::string& path, const TGEDisplay& display);
// A raw entry's pixels (8, 15, 16, 24 or 32 bits) as a picture; its data holds at least the
// bytes its image needs, as the resource reader sees to.
TBitmap24 RawToBitmap(const TGEResourceEntry& entry);
// A picture entry (BMP, JPEG or raw pixels) of a resource file; its data is taken over. The
// entry's name stands for it.
TPixelSheet SheetFromEntry(TGEResourceEntry& entry, const TGEDisplay& display);

// The whole frames of a sheet cut into Width x Height cells, packed one after another in the
// order of the cells (row by row), so each frame is a block of its own for the blitters.
// A frame costs its pixels and nothing else, however many there are; frames as wide as the
// sheet are its own rows and cost nothing at all. Frames that do cost are charged to the
// memory budget under the sheet's name.
struct TFrameSheet {
  TSheetRef Sheet;
  int32_t Width = 0, Height = 0;  // of one frame
  int32_t Cols = 0, Rows = 0;
  size_t FrameBytes = 0;
  std::vector<uint8_t> Bytes;  // empty when the frames are the sheet's rows
  TMemoryCharge Charge;        // for Bytes

  int64_t Count() const { return int64_t{Cols} * Rows; }
  // The pixels of frame `index` (0 .. Count() - 1).
  const uint8_t* Frame(int64_t index) const {
    const uint8_t* base = Bytes.empty() ? Sheet->Bytes.data() : Bytes.data();
    return base + static_cast<size_t>(index) * FrameBytes;
  }
};

// Frames of 1 .. sheet width x 1 .. sheet height pixels; the caller checks the sizes.
TFrameSheet CutFrames(TSheetRef sheet, int32_t frameWidth, int32_t frameHeight,
                      int32_t bytesPerPixel);
