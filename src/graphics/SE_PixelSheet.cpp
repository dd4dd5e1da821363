#include "graphics/SE_PixelSheet.h"

#include <cstring>

#include "graphics/SE_Convert.h"
#include "image/SE_Picture.h"
#include "platform/PL_Files.h"
#include "resource/SE_Resource.h"

namespace {

uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// The display keeps 5-6-5 data of files and raw entries as it is, unless it is laid out 5-5-5.
void MatchDisplayLayout(std::vector<uint8_t>& pixels, const TGEDisplay& display) {
  if (display.Depth == 16 && display.Is555)
    Convert565To555(pixels.data(), static_cast<int32_t>(pixels.size()));
}

TMemoryCharge ChargeSheet(int64_t width, int64_t height, int32_t bytesPerPixel,
                          const std::string& name) {
  return TMemoryCharge(static_cast<uint64_t>(width) * static_cast<uint64_t>(height) *
                           static_cast<uint64_t>(bytesPerPixel),
                       name);
}

}  // namespace

// Rebuilds a raw block of another depth as a picture, so that it reaches the display's format
// through the same converters as a BMP would. 16-bit data is 5-6-5, 15-bit 5-5-5; the 8-bit
// form starts with 256 colours in 5-6-5.
TBitmap24 RawToBitmap(const TGEResourceEntry& entry) {
  TBitmap24 image;
  image.Width = entry.ImageWidth;
  image.Height = entry.ImageHeight;
  const size_t count = static_cast<size_t>(image.Width) * image.Height;
  image.Rows.resize(count * 3);
  const uint8_t* data = entry.Data.data();
  const auto put565 = [](uint8_t* out, uint16_t v) {
    const uint8_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    out[0] = static_cast<uint8_t>(b << 3 | b >> 2);
    out[1] = static_cast<uint8_t>(g << 2 | g >> 4);
    out[2] = static_cast<uint8_t>(r << 3 | r >> 2);
  };
  for (size_t i = 0; i < count; ++i) {
    uint8_t* out = &image.Rows[i * 3];
    switch (entry.PixelBits) {
      case 8:
        put565(out, ReadLe16(data + 2 * data[512 + i]));
        break;
      case 15: {
        const uint16_t v = ReadLe16(data + 2 * i);
        put565(out, static_cast<uint16_t>((v & 0x7FE0) << 1 | (v & 0x1F)));
        break;
      }
      case 16:
        put565(out, ReadLe16(data + 2 * i));
        break;
      default: {  // 24 and 32: blue, green, red first
        const size_t step = entry.PixelBits / 8;
        std::memcpy(out, data + i * step, 3);
      }
    }
  }
  return image;
}

TPixelSheet MakeSheet(int32_t width, int32_t height, std::vector<uint8_t> bytes,
                      int32_t bytesPerPixel, const std::string& name, TMemoryCharge charge) {
  TPixelSheet sheet;
  sheet.Width = width;
  sheet.Height = height;
  sheet.Bytes = std::move(bytes);
  sheet.Spans = FindVisibleSpans(sheet.Bytes.data(), width, height, bytesPerPixel);
  PackVisibleRows(sheet.Spans, sheet.Bytes.data(), width, bytesPerPixel, name);
  sheet.Name = name;
  sheet.Charge = std::move(charge);
  return sheet;
}

TPixelSheet SheetFromPicture(const TBitmap24& picture, const TGEDisplay& display,
                             const std::string& name) {
  TMemoryCharge charge = ChargeSheet(picture.Width, picture.Height, display.BytesPerPixel, name);
  std::vector<uint8_t> pixels(static_cast<size_t>(picture.Width) * picture.Height *
                              display.BytesPerPixel);
  display.ConvertImageToPixels(picture, pixels.data());
  return MakeSheet(picture.Width, picture.Height, std::move(pixels), display.BytesPerPixel, name,
                   std::move(charge));
}

TPixelSheet ReadSprSheet(const std::string& path, const TGEDisplay& display) {
  std::string error;
  const std::unique_ptr<TReadFile> file = OpenReadFile(path, error);
  if (!file) throw TPictureError("cannot open " + path);
  const uint64_t length = file->Size();
  uint8_t head[4];
  if (length < 4 || file->ReadAt(0, head, sizeof head) != sizeof head)
    throw TPictureError(path + " has no picture size");
  const int32_t width = ReadLe16(head), height = ReadLe16(head + 2);
  if (width == 0 || height == 0) throw TPictureError(path + " holds an empty picture");
  if (!PictureFits(width, height)) throw TPictureTooLarge(path, width, height);
  const uint64_t need = static_cast<uint64_t>(width) * height * display.BytesPerPixel;
  const uint64_t stored = length - 4;
  if (stored < need)
    throw TPictureError(path + " holds " + std::to_string(stored) + " bytes of pixels, its " +
                        std::to_string(width) + "x" + std::to_string(height) + " picture needs " +
                        std::to_string(need));
  TMemoryCharge charge = ChargeSheet(width, height, display.BytesPerPixel, path);
  std::vector<uint8_t> pixels(need);
  if (file->ReadAt(4, pixels.data(), need) != static_cast<int64_t>(need))
    throw TPictureError("cannot read " + path);
  MatchDisplayLayout(pixels, display);
  return MakeSheet(width, height, std::move(pixels), display.BytesPerPixel, path,
                   std::move(charge));
}

TPixelSheet SheetFromEntry(TGEResourceEntry& entry, const TGEDisplay& display) {
  if (entry.Kind != kResourceRaw || entry.PixelBits != display.Depth)
    return SheetFromPicture(entry.Kind == kResourceRaw ? RawToBitmap(entry) : *entry.Image,
                            display, entry.Name);
  // Already in the display's depth: the data itself becomes the sheet.
  TMemoryCharge charge =
      ChargeSheet(entry.ImageWidth, entry.ImageHeight, display.BytesPerPixel, entry.Name);
  std::vector<uint8_t> pixels = std::move(entry.Data);
  pixels.resize(RawImageBytes(entry.ImageWidth, entry.ImageHeight, entry.PixelBits));
  MatchDisplayLayout(pixels, display);
  return MakeSheet(entry.ImageWidth, entry.ImageHeight, std::move(pixels), display.BytesPerPixel,
                   entry.Name, std::move(charge));
}

TFrameSheet CutFrames(TSheetRef sheet, int32_t frameWidth, int32_t frameHeight,
                      int32_t bytesPerPixel) {
  TFrameSheet frames;
  frames.Width = frameWidth;
  frames.Height = frameHeight;
  frames.Cols = sheet->Width / frameWidth;
  frames.Rows = sheet->Height / frameHeight;
  frames.FrameBytes = static_cast<size_t>(frameWidth) * frameHeight * bytesPerPixel;
  frames.Sheet = std::move(sheet);
  if (frameWidth == frames.Sheet->Width) return frames;
  const size_t rowBytes = static_cast<size_t>(frameWidth) * bytesPerPixel;
  const size_t sheetRowBytes = static_cast<size_t>(frames.Sheet->Width) * bytesPerPixel;
  frames.Charge = TMemoryCharge(frames.FrameBytes * static_cast<uint64_t>(frames.Count()),
                                frames.Sheet->Name);
  frames.Bytes.resize(frames.FrameBytes * static_cast<size_t>(frames.Count()));
  uint8_t* to = frames.Bytes.data();
  for (int32_t j = 0; j < frames.Rows; ++j)
    for (int32_t k = 0; k < frames.Cols; ++k)
      for (int32_t b = 0; b < frameHeight; ++b, to += rowBytes)
        std::memcpy(to,
                    frames.Sheet->Bytes.data() +
                        (static_cast<size_t>(j) * frameHeight + b) * sheetRowBytes + k * rowBytes,
                    rowBytes);
  return frames;
}
