#pragma once
// Bitmap fonts: seven faces, each a sheet in a resource file loaded on first use. Black
// pixels of a sheet are transparent, so glyphs are drawn with the sprite's keyed drawing.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "graphics/SE_Sprite.h"
#include "resource/SE_FontTable.h"

class TGEDisplay;

constexpr int32_t kFaceCount = 7;
// The advance of a space, and of any byte the sheets have no glyph for.
constexpr int32_t kBlankAdvance = 8;

// Finds a font file: as scripts name it (the script's folder, then the current one), then
// among the program's own data files, so the default font is found from anywhere.
std::string ResolveFontFile(const std::string& fileName);

// The key by which scripts choose a face ("ARIAL14").
std::string FaceKey(int32_t face);
// Which code page 1250 bytes a face of the font file at `path` draws, told without a display:
// the glyphs its sheet holds as a 16-bit display scans them. Throws TResourceError or
// TPictureError when the file or the face's sheet cannot be read.
std::array<bool, 256> FaceDrawableBytes(const std::string& path, int32_t face);

class TGEFont {
 public:
  TGEFont(TGEDisplay& display, const std::string& fileName);

  void SetFace(int32_t index);
  // The face whose key equals `key` exactly; any other text gives face 0.
  static int32_t FaceIndex(const std::string& key);
  void TextOut(int32_t x, int32_t y, const std::string& text);
  int32_t TextWidth(const std::string& text);
  int32_t LineHeight();
  // Face 0's glyphs in one solid colour (a pixel in the display's format), for the display's
  // own plain text.
  void SolidTextOut(int32_t x, int32_t y, const std::string& text, uint32_t pixel);

  TGEDisplay& Display;
  std::string FileName;
  uint8_t Current = 0;
  TRect ClipRect;

 private:
  // Loads the face on its first use; false when its sheet is not there.
  bool LoadFace(int32_t index);
  // The sheet rectangle of a glyph of the current face; empty when there is none.
  TRect GlyphRectOf(int32_t glyph) const;

  std::array<std::unique_ptr<TGESprite>, kFaceCount> Faces;
  std::array<std::optional<TGlyphTable>, kFaceCount> Glyphs;
};
