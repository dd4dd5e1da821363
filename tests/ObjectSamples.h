#pragma once
// Pictures and a font file drawn by hand for the tests of fonts, buttons, script objects and
// effects. Every pixel value is chosen so that a pixel of a frame tells which picture, face
// or glyph put it there.
#include <cstdint>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/SE_DDraw.h"
#include "engine/SE_Font.h"
#include "platform/PL_Paths.h"
#include "resource/SE_FontTable.h"
#include "resource/SE_Resource.h"

namespace samples {

// An SPR picture: width and height as 16-bit numbers, then 5-6-5 pixels row by row.
inline std::string SprBytes(int32_t width, int32_t height,
                            const std::function<uint16_t(int32_t, int32_t)>& pixel) {
  std::string bytes{char(width & 255), char(width >> 8), char(height & 255), char(height >> 8)};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const uint16_t v = pixel(x, y);
      bytes += char(v & 255);
      bytes += char(v >> 8);
    }
  return bytes;
}

inline std::string SolidSpr(int32_t width, int32_t height, uint16_t value) {
  return SprBytes(width, height, [value](int32_t, int32_t) { return value; });
}

// Colours of the sample pictures (5-6-5).
constexpr uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kGrey = 0x8410;

// The hand-made font file. Face 0 is a strip of 7 x 13 cells, every pixel inked except the
// top-left one of each cell. The proportional faces put glyphs 0..47 on the first row and
// 48..95 on the second, glyph g being 1 + g % 4 columns wide and followed by one blank column;
// a glyph fills the whole height of its row except its own top-left pixel.
constexpr int32_t kSampleLineHeight[kFaceCount] = {13, 10, 12, 16, 9, 11, 10};
constexpr int32_t GlyphWidth(int32_t glyph) { return 1 + glyph % 4; }
// A pixel of glyph g of face f: the face in the red bits, the glyph in the low bits.
constexpr uint16_t Ink(int32_t face, int32_t glyph) {
  return static_cast<uint16_t>(face << 11 | (glyph + 1));
}
constexpr int32_t kRowGlyphs = 48;
// The width of a row of 48 glyphs: 12 times the four widths 1 to 4, each with its gap.
constexpr int32_t kSheetWidth = 12 * (2 + 3 + 4 + 5);

inline const char* const kEntryNames[] = {"Currier12", "Arial14",        "Arial18",  "Arial24",
                                          "Papyrus18", "Papyrus18white", "Papyrus24"};

inline TResourceWriteEntry RawEntry(const std::string& name, int32_t width, int32_t height,
                                    const std::vector<uint16_t>& pixels) {
  TResourceWriteEntry entry;
  entry.Name = name;
  entry.Kind = kResourceRaw;
  entry.PixelBits = 16;
  entry.ImageWidth = width;
  entry.ImageHeight = height;
  entry.FrameWidth = width;
  entry.FrameHeight = height;
  for (uint16_t v : pixels) {
    entry.Payload.push_back(v & 255);
    entry.Payload.push_back(v >> 8);
  }
  return entry;
}

inline TResourceWriteEntry FixedSheet() {
  const int32_t width = kFixedCellWidth * kGlyphCount;
  std::vector<uint16_t> pixels(static_cast<size_t>(width) * kFixedCellHeight);
  for (int32_t y = 0; y < kFixedCellHeight; ++y)
    for (int32_t x = 0; x < width; ++x)
      if (x % kFixedCellWidth != 0 || y != 0)
        pixels[static_cast<size_t>(y) * width + x] = Ink(0, x / kFixedCellWidth);
  return RawEntry(kEntryNames[0], width, kFixedCellHeight, pixels);
}

inline TResourceWriteEntry ProportionalSheet(int32_t face) {
  const int32_t lineHeight = kSampleLineHeight[face];
  // Face 6 keeps three rows on its sheet; the third stays blank here.
  const int32_t height = lineHeight * (face == kThreeRowFace ? 3 : 2);
  std::vector<uint16_t> pixels(static_cast<size_t>(kSheetWidth) * height);
  for (int32_t row = 0; row < 2; ++row) {
    int32_t x = 0;
    for (int32_t g = row * kRowGlyphs; g < (row + 1) * kRowGlyphs; ++g) {
      for (int32_t c = 0; c < GlyphWidth(g); ++c)
        for (int32_t y = 0; y < lineHeight; ++y)
          if (c != 0 || y != 0)
            pixels[static_cast<size_t>(row * lineHeight + y) * kSheetWidth + x + c] = Ink(face, g);
      x += GlyphWidth(g) + 1;
    }
  }
  return RawEntry(kEntryNames[face], kSheetWidth, height, pixels);
}

// Writes the font file with every face except those in `missing`.
inline std::string WriteFontFile(const TTempFolder& folder, const std::string& name,
                                 const std::set<int32_t>& missing = {}) {
  std::vector<TResourceWriteEntry> entries;
  if (!missing.count(0)) entries.push_back(FixedSheet());
  for (int32_t face = 1; face < kFaceCount; ++face)
    if (!missing.count(face)) entries.push_back(ProportionalSheet(face));
  const std::string path = (folder.Path / name).string();
  WriteResourceFile(path, entries);
  return path;
}

// The width of a text of spaces and mapped characters in a proportional sample face.
inline int32_t SampleWidth(const std::string& text) {
  int32_t width = 0;
  for (unsigned char c : text) width += c == ' ' ? 8 : GlyphWidth(GlyphIndexOf(c)) + 1;
  return width;
}

// Relative names of a test are looked up in its own folder, as a script's are.
class TScriptFolderScope {
 public:
  explicit TScriptFolderScope(const std::string& folder) : Saved(ScriptFolder()) {
    SetScriptFolder(folder);
  }
  ~TScriptFolderScope() { SetScriptFolder(Saved); }

 private:
  std::string Saved;
};

// A pixel of the frame being composed (or of the last one, between frames).
inline uint32_t FramePixel(TGEDDraw& display, int32_t x, int32_t y) {
  const TSurfaceDesc target = display.FrameTarget();
  uint16_t v = 0;
  std::memcpy(&v, target.Pixels + static_cast<int64_t>(y) * target.Pitch + x * 2, 2);
  return v;
}

inline void FillFrame(TGEDDraw& display, uint16_t value) {
  const TSurfaceDesc target = display.FrameTarget();
  for (int32_t y = 0; y < target.Height; ++y)
    for (int32_t x = 0; x < target.Width; ++x)
      std::memcpy(target.Pixels + static_cast<int64_t>(y) * target.Pitch + x * 2, &value, 2);
}

}  // namespace samples
