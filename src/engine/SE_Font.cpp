#include "engine/SE_Font.h"

#include <cstring>

#include "base/SE_SafeMath.h"
#include "graphics/SE_PixelSheet.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Process.h"
#include "platform/PL_Text.h"
#include "resource/SE_Resource.h"

namespace {

struct TFace {
  const char* EntryName;
  const char* Key;
};

constexpr TFace kFaces[kFaceCount] = {
    {"Currier12", "CURRIER12"},   {"Arial14", "ARIAL14"},
    {"Arial18", "ARIAL18"},       {"Arial24", "ARIAL24"},
    {"Papyrus18", "PAPYRUS18"},   {"Papyrus18white", "PAPYRUS18WHITE"},
    {"Papyrus24", "PAPYRUS24"}};

// Widths count the quote, the percent sign and every unknown byte as the digit zero.
int32_t MeasuredGlyph(uint8_t byte) {
  const int32_t glyph = GlyphIndexOf(byte);
  return glyph < 0 || byte == '"' || byte == '%' ? 0 : glyph;
}

}  // namespace

std::string ResolveFontFile(const std::string& fileName) {
  const std::string asGiven = ResolveScriptPath(fileName);
  if (IsRegularFile(asGiven)) return asGiven;
  const std::string relative = Cp1250ToUtf8(fileName);
  if (relative.empty() || relative[0] == '/' || relative[0] == '\\') return asGiven;
  const std::string ours = FindDataFile(relative, SelfExecutablePath());
  return ours.empty() ? asGiven : ours;
}

std::string FaceKey(int32_t face) { return kFaces[face].Key; }

std::array<bool, 256> FaceDrawableBytes(const std::string& path, int32_t face) {
  TGEResource resource;
  TGEResourceEntry entry;
  if (!resource.OpenPath(path) || !resource.ReadByName(kFaces[face].EntryName, entry))
    throw TResourceError(resource.ErrorText);
  CheckPictureEntry(entry, true);
  TGEDisplay display;  // 16 bits, 5-6-5: what the player asks for
  const TPixelSheet sheet = SheetFromEntry(entry, display);
  std::optional<TGlyphTable> table;
  if (face != kFixedFace)
    table = ScanGlyphTable(sheet.Bytes.data(), sheet.Width, sheet.Height,
                           sheet.Width * display.BytesPerPixel, display.BytesPerPixel, face);
  std::array<bool, 256> drawable{};
  for (int32_t glyph = 0; glyph < kGlyphCount; ++glyph)
    drawable[kGlyphOrder[glyph]] = !table || table->Width[glyph] > 0;
  return drawable;
}

TGEFont::TGEFont(TGEDisplay& display, const std::string& fileName)
    : Display(display), FileName(ResolveFontFile(fileName)),
      ClipRect{0, 0, display.Width, display.Height} {}

void TGEFont::SetFace(int32_t index) {
  if (index >= 0 && index < kFaceCount) Current = static_cast<uint8_t>(index);
}

int32_t TGEFont::FaceIndex(const std::string& key) {
  for (int32_t i = 0; i < kFaceCount; ++i)
    if (key == kFaces[i].Key) return i;
  return 0;
}

bool TGEFont::LoadFace(int32_t index) {
  if (!Faces[index]) {
    // A sheet that failed reported itself once; the face is not tried again.
    Faces[index] = std::make_unique<TGESprite>(Display, ClipRect.Left, ClipRect.Top,
                                                ClipRect.Right, ClipRect.Bottom);
    TGESprite& sheet = *Faces[index];
    if (sheet.LoadFromResource(FileName, kFaces[index].EntryName, false) && index != kFixedFace) {
      const bool surface = Display.SurfaceMode && sheet.Surface;
      const uint8_t* pixels = surface ? sheet.Surface->Pixels() : sheet.CurrentPixels();
      const int32_t pitch =
          surface ? sheet.Surface->Pitch() : sheet.Width * Display.BytesPerPixel;
      if (pixels)
        Glyphs[index] = ScanGlyphTable(pixels, sheet.Width, sheet.Height, pitch,
                                       Display.BytesPerPixel, index);
    }
  }
  return Faces[index]->Loaded && (index == kFixedFace || Glyphs[index]);
}

TRect TGEFont::GlyphRectOf(int32_t glyph) const {
  return Current == kFixedFace ? FixedGlyphRect(glyph) : GlyphRect(*Glyphs[Current], glyph);
}

void TGEFont::TextOut(int32_t x, int32_t y, const std::string& text) {
  if (!LoadFace(Current)) return;
  // Glyphs only move right, so once one starts past the clip edge the rest of the line is
  // gone too; stopping there also keeps x and the glyph's far edges inside the int32 range.
  if (y >= ClipRect.Bottom) return;
  TGESprite& sheet = *Faces[Current];
  for (unsigned char byte : text) {
    if (x >= ClipRect.Right) return;
    const int32_t glyph = GlyphIndexOf(byte);
    if (glyph < 0) {
      x = SaturatedAdd(x, kBlankAdvance);
      continue;
    }
    const TRect rect = GlyphRectOf(glyph);
    sheet.X = x;
    sheet.Y = y;
    // The sheet's clip rectangle is the font's, so glyphs are cut at the screen's edges.
    if (rect.Width() > 0) sheet.DrawRect(rect);
    x = SaturatedAdd(x, rect.Width() + 1);
  }
}

int32_t TGEFont::TextWidth(const std::string& text) {
  const bool ready = LoadFace(Current);
  // A proportional face without its sheet draws nothing, so it takes no room either.
  if (!ready && Current != kFixedFace) return 0;
  // A text file can be long enough to pass the int32 range.
  int64_t width = 0;
  for (unsigned char byte : text) {
    if (byte == ' ') {
      width += kBlankAdvance;
    } else if (ready) {
      width += GlyphRectOf(MeasuredGlyph(byte)).Width() + 1;
    } else {
      width += kFixedCellWidth + 1;
    }
  }
  return ClampToInt32(width);
}

int32_t TGEFont::LineHeight() {
  if (Current == kFixedFace) return kFixedCellHeight;
  return LoadFace(Current) ? Glyphs[Current]->LineHeight : 0;
}

void TGEFont::SolidTextOut(int32_t x, int32_t y, const std::string& text, uint32_t pixel) {
  if (!LoadFace(kFixedFace)) return;
  TGESprite& sheet = *Faces[kFixedFace];
  TSurfaceDesc target = Display.FrameTarget();
  const int32_t bpp = Display.BytesPerPixel;
  if (y >= target.Height) return;
  for (unsigned char byte : text) {
    // As in TextOut: past the right edge nothing more shows, and x stays in range.
    if (x >= target.Width) return;
    const int32_t glyph = GlyphIndexOf(byte);
    if (glyph < 0) {
      x += kBlankAdvance;
      continue;
    }
    const TRect cell = FixedGlyphRect(glyph);
    for (int32_t row = 0; row < cell.Height(); ++row) {
      const int64_t ty = int64_t{y} + row;
      if (ty < 0 || ty >= target.Height) continue;
      for (int32_t col = 0; col < cell.Width(); ++col) {
        const int64_t tx = int64_t{x} + col;
        if (tx < 0 || tx >= target.Width) continue;
        if (sheet.GetPixel(cell.Left + col, cell.Top + row) == 0) continue;
        std::memcpy(target.Pixels + ty * target.Pitch + tx * bpp, &pixel, bpp);
      }
    }
    Display.NoteDrawn(target, x, y, int64_t{x} + cell.Width(), int64_t{y} + cell.Height());
    x += kFixedCellWidth + 1;
  }
}
