// fontgen: draws the player's default font sheets from free outline fonts and packs them into
// the resource file the faces are loaded from (Res/Fonts16bit.ger).
//
// A proportional face is found by the player's column scan, so every glyph has to be exactly
// one run of non-empty columns with a blank column after it, in glyph order, wrapping to the
// next sheet row the way the scan wraps. The sheets are checked with the player's own scan,
// in both 16-bit layouts, before anything is written.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "graphics/SE_Convert.h"
#include "platform/PL_Text.h"
#include "resource/SE_FontTable.h"
#include "resource/SE_Resource.h"

namespace {

constexpr const char* kUsage =
    "Usage: fontgen [--verbose] [--mono FONT] [--sans FONT] [--script FONT] OUT.ger\n"
    "Draws the seven default font sheets and writes them as BMP entries into OUT.ger.\n"
    "  --mono    fixed-width font of Currier12\n"
    "  --sans    sans serif font of Arial14, Arial18 and Arial24\n"
    "  --script  decorative font of Papyrus18, Papyrus18white and Papyrus24\n"
    "  --verbose tell the pixel size and sheet size chosen for each face\n";

constexpr const char* kDefaultMono = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
constexpr const char* kDefaultSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kDefaultScript = "/usr/share/fonts/opentype/urw-base35/Z003-MediumItalic.otf";

// Coverage this faint is not worth a column of its own: left in, it would push the neighbours
// of thin glyphs apart by a column of dark dust.
constexpr int kFaintestCoverage = 24;
// Linear coverage makes light text on a dark ground look starved; this lifts the edges.
constexpr double kCoverageGamma = 0.75;
// Blank columns between two glyphs on a sheet; the scan needs one, authors like to see two.
constexpr int32_t kGlyphGap = 2;
// The dimmest channel value that stays non-zero when the player packs the sheet into 5-6-5 or
// 5-5-5 pixels (both drop the low three bits of red and blue; 5-5-5 also of green).
constexpr int kDimmestChannel = 8;

struct TColour {
  uint8_t R, G, B;
};

constexpr TColour kWhite = {255, 255, 255};
constexpr TColour kParchment = {255, 226, 160};

enum class TFontRole { Mono, Sans, Script };

struct TFacePlan {
  const char* Name;
  TFontRole Role;
  int32_t LineHeight;
  int32_t Rows;
  TColour Colour;
};

constexpr TFacePlan kFaces[] = {
    {"Currier12", TFontRole::Mono, kFixedCellHeight, 1, kWhite},
    {"Arial14", TFontRole::Sans, 14, 2, kWhite},
    {"Arial18", TFontRole::Sans, 18, 2, kWhite},
    {"Arial24", TFontRole::Sans, 24, 2, kWhite},
    {"Papyrus18", TFontRole::Script, 18, 2, kParchment},
    {"Papyrus18white", TFontRole::Script, 18, 2, kWhite},
    {"Papyrus24", TFontRole::Script, 24, 3, kParchment},
};

struct TUsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The ink of one glyph: Alpha rows top to bottom; Left and Top place its top-left pixel
// relative to the pen position on the baseline (Top counts upwards).
struct TGlyphInk {
  int32_t Width = 0, Height = 0, Left = 0, Top = 0;
  int32_t Advance = 0;  // 26.6 pixels
  std::vector<uint8_t> Alpha;
  uint8_t& At(int32_t x, int32_t y) { return Alpha[static_cast<size_t>(y) * Width + x]; }
  uint8_t At(int32_t x, int32_t y) const { return Alpha[static_cast<size_t>(y) * Width + x]; }
  int32_t Bottom() const { return Top - Height; }
};

uint32_t CodePointOfGlyph(int32_t glyph) {
  const std::string utf8 = Cp1250ToUtf8(std::string(1, static_cast<char>(kGlyphOrder[glyph])));
  const auto* b = reinterpret_cast<const uint8_t*>(utf8.data());
  if (utf8.size() == 1) return b[0];
  if (utf8.size() == 2) return ((b[0] & 0x1Fu) << 6) | (b[1] & 0x3Fu);
  return ((b[0] & 0x0Fu) << 12) | ((b[1] & 0x3Fu) << 6) | (b[2] & 0x3Fu);
}

class TFreeType {
 public:
  TFreeType() {
    if (FT_Init_FreeType(&Library) != 0) throw std::runtime_error("FreeType does not start");
  }
  ~TFreeType() { FT_Done_FreeType(Library); }
  TFreeType(const TFreeType&) = delete;
  TFreeType& operator=(const TFreeType&) = delete;
  FT_Library Library = nullptr;
};

class TOutlineFont {
 public:
  TOutlineFont(const TFreeType& freeType, const std::string& path) : Path(path) {
    if (FT_New_Face(freeType.Library, path.c_str(), 0, &Face) != 0)
      throw std::runtime_error("cannot load the font " + path);
  }
  ~TOutlineFont() { FT_Done_Face(Face); }
  TOutlineFont(const TOutlineFont&) = delete;
  TOutlineFont& operator=(const TOutlineFont&) = delete;

  void SetPixelSize(int32_t size26) {
    if (FT_Set_Char_Size(Face, 0, size26, 72, 72) != 0)
      throw std::runtime_error("cannot scale the font " + Path);
  }

  // Stands an italic face upright. The player sets glyphs one column apart by their ink, so
  // slanted letters, which lean over each other in normal setting, would come out gappy;
  // upright, a calligraphic hand keeps its rhythm.
  void Straighten() {
    const auto* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(Face, FT_SFNT_POST));
    if (post == nullptr || post->italicAngle == 0) return;
    const double slope = std::tan(post->italicAngle / 65536.0 * std::numbers::pi / 180.0);
    FT_Matrix shear = {0x10000, static_cast<FT_Fixed>(std::lround(slope * 0x10000)), 0, 0x10000};
    FT_Set_Transform(Face, &shear, nullptr);
  }

  // The glyph's anti-aliased coverage, vertically hinted so stems and the x-height stay sharp.
  TGlyphInk Render(uint32_t codePoint) {
    if (FT_Get_Char_Index(Face, codePoint) == 0)
      throw std::runtime_error(Path + " has no glyph for U+" + Hex(codePoint));
    if (FT_Load_Char(Face, codePoint, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0)
      throw std::runtime_error(Path + " cannot draw U+" + Hex(codePoint));
    const FT_GlyphSlot slot = Face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.pitch < 0)
      throw std::runtime_error(Path + " draws U+" + Hex(codePoint) + " in an unexpected layout");
    TGlyphInk ink;
    ink.Width = static_cast<int32_t>(bitmap.width);
    ink.Height = static_cast<int32_t>(bitmap.rows);
    ink.Left = slot->bitmap_left;
    ink.Top = slot->bitmap_top;
    ink.Advance = static_cast<int32_t>(slot->advance.x);
    ink.Alpha.resize(static_cast<size_t>(ink.Width) * ink.Height);
    for (int32_t y = 0; y < ink.Height; ++y)
      std::memcpy(&ink.At(0, y), bitmap.buffer + static_cast<size_t>(y) * bitmap.pitch,
                  static_cast<size_t>(ink.Width));
    return ink;
  }

 private:
  static std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", v);
    return text;
  }

  std::string Path;
  FT_Face Face = nullptr;
};

// Faint coverage goes, the rest is lifted; then the box shrinks to the pixels that are left.
void TidyInk(TGlyphInk& ink) {
  for (uint8_t& a : ink.Alpha) {
    if (a < kFaintestCoverage)
      a = 0;
    else
      a = static_cast<uint8_t>(std::lround(255.0 * std::pow(a / 255.0, kCoverageGamma)));
  }
  auto columnEmpty = [&](int32_t x) {
    for (int32_t y = 0; y < ink.Height; ++y)
      if (ink.At(x, y) != 0) return false;
    return true;
  };
  auto rowEmpty = [&](int32_t y) {
    for (int32_t x = 0; x < ink.Width; ++x)
      if (ink.At(x, y) != 0) return false;
    return true;
  };
  int32_t left = 0, right = ink.Width, top = 0, bottom = ink.Height;
  while (left < right && columnEmpty(left)) ++left;
  while (right > left && columnEmpty(right - 1)) --right;
  while (top < bottom && rowEmpty(top)) ++top;
  while (bottom > top && rowEmpty(bottom - 1)) --bottom;
  if (left == right) throw std::runtime_error("a glyph has no visible pixels at this size");
  TGlyphInk tidy = ink;
  tidy.Width = right - left;
  tidy.Height = bottom - top;
  tidy.Left = ink.Left + left;
  tidy.Top = ink.Top - top;
  tidy.Alpha.assign(static_cast<size_t>(tidy.Width) * tidy.Height, 0);
  for (int32_t y = 0; y < tidy.Height; ++y)
    for (int32_t x = 0; x < tidy.Width; ++x) tidy.At(x, y) = ink.At(left + x, top + y);
  ink = std::move(tidy);
}

// The scan ends a glyph at its first blank column, so glyphs that come apart ('"', or an
// accent set beside its letter) get a faint pixel in each blank column, level with the
// strongest ink of the column before: it reads as edge smoothing, not as a mark.
void BridgeGaps(TGlyphInk& ink) {
  int32_t strongestRow = 0;
  for (int32_t x = 0; x < ink.Width; ++x) {
    int32_t best = -1;
    for (int32_t y = 0; y < ink.Height; ++y)
      if (ink.At(x, y) > 0 && (best < 0 || ink.At(x, y) > ink.At(x, best))) best = y;
    if (best >= 0)
      strongestRow = best;
    else
      ink.At(x, strongestRow) = 1;
  }
}

// The pixel of `colour` at coverage `alpha`, never so dim that the 16-bit packing turns a
// visible pixel into the transparent key.
void Shade(uint8_t* bgr, TColour colour, uint8_t alpha) {
  if (alpha == 0) return;
  int r = (colour.R * alpha + 127) / 255, g = (colour.G * alpha + 127) / 255,
      b = (colour.B * alpha + 127) / 255;
  const int brightest = std::max({colour.R, colour.G, colour.B});
  if (std::max({r, g, b}) < kDimmestChannel) {
    auto lift = [&](int c) { return (kDimmestChannel * c + brightest - 1) / brightest; };
    r = lift(colour.R), g = lift(colour.G), b = lift(colour.B);
  }
  bgr[0] = static_cast<uint8_t>(std::max<int>(bgr[0], b));
  bgr[1] = static_cast<uint8_t>(std::max<int>(bgr[1], g));
  bgr[2] = static_cast<uint8_t>(std::max<int>(bgr[2], r));
}

// A sheet as blue, green, red rows from the top.
struct TSheet {
  int32_t Width = 0, Height = 0;
  std::vector<uint8_t> Bgr;
  TSheet(int32_t width, int32_t height)
      : Width(width), Height(height), Bgr(static_cast<size_t>(width) * height * 3, 0) {}
  uint8_t* Pixel(int32_t x, int32_t y) {
    return Bgr.data() + (static_cast<size_t>(y) * Width + x) * 3;
  }

  // Puts the ink's top-left pixel at (x, y), cutting it at the sheet's edges.
  void Draw(const TGlyphInk& ink, int32_t x, int32_t y, TColour colour) {
    for (int32_t row = 0; row < ink.Height; ++row)
      for (int32_t col = 0; col < ink.Width; ++col)
        if (x + col >= 0 && x + col < Width && y + row >= 0 && y + row < Height)
          Shade(Pixel(x + col, y + row), colour, ink.At(col, row));
  }
};

struct TGlyphSet {
  int32_t Size26 = 0;
  std::vector<TGlyphInk> Glyphs;
  int32_t Ascent = 0, Descent = 0;  // the highest ink above and the lowest below the baseline
};

TGlyphSet RenderGlyphs(TOutlineFont& font, int32_t size26) {
  TGlyphSet set;
  set.Size26 = size26;
  font.SetPixelSize(size26);
  for (int32_t g = 0; g < kGlyphCount; ++g) {
    TGlyphInk ink = font.Render(CodePointOfGlyph(g));
    TidyInk(ink);
    set.Ascent = g == 0 ? ink.Top : std::max(set.Ascent, ink.Top);
    set.Descent = g == 0 ? -ink.Bottom() : std::max(set.Descent, -ink.Bottom());
    set.Glyphs.push_back(std::move(ink));
  }
  return set;
}

// The largest size, in eighths of a pixel, at which every glyph, accented capitals and
// descenders alike, fits one sheet row (and, for the fixed face, one cell's width).
TGlyphSet FitGlyphs(TOutlineFont& font, int32_t lineHeight, int32_t cellWidth) {
  for (int32_t size26 = lineHeight * 64; size26 >= 4 * 64; size26 -= 8) {
    TGlyphSet set = RenderGlyphs(font, size26);
    if (set.Ascent + set.Descent > lineHeight) continue;
    if (cellWidth > 0 && std::any_of(set.Glyphs.begin(), set.Glyphs.end(),
                                     [&](const TGlyphInk& ink) { return ink.Width > cellWidth; }))
      continue;
    return set;
  }
  throw std::runtime_error("no size of the font fits a line of " + std::to_string(lineHeight));
}

struct TPlacement {
  int32_t Row = 0, X = 0;
};

// Fills rows from the left with `widths`, wrapping where the scan wraps; false when they need
// more than `rows` rows of `sheetWidth`.
bool PlaceRows(const std::vector<int32_t>& widths, int32_t rows, int32_t sheetWidth,
               std::vector<TPlacement>& placements) {
  placements.assign(widths.size(), TPlacement{});
  int32_t row = 0, x = 0;
  for (size_t g = 0; g < widths.size(); ++g) {
    if (x + widths[g] > sheetWidth) {
      ++row;
      x = 0;
    }
    if (row >= rows || widths[g] > sheetWidth) return false;
    placements[g] = TPlacement{row, x};
    const int32_t end = x + widths[g];
    x = end + kGlyphGap;
    // The scan leaves a row as soon as a glyph ends within two columns of the right edge.
    if (end + 2 >= sheetWidth) {
      ++row;
      x = 0;
    }
  }
  // After the last glyph that would be a row the sheet does not have.
  return row < rows;
}

// The narrowest sheet that holds the glyphs in `rows` rows, which makes the rows as even as
// the glyph order allows. Counted up rather than halved: the rule for the last glyph makes
// "fits" jump back and forth as the width grows.
int32_t BalancedSheetWidth(const std::vector<int32_t>& widths, int32_t rows,
                           std::vector<TPlacement>& placements) {
  int32_t total = 0;
  for (int32_t w : widths) total += w + kGlyphGap;
  for (int32_t width = total / rows; width <= total + 3; ++width)
    if (PlaceRows(widths, rows, width, placements)) return width;
  throw std::runtime_error("the glyphs do not fit any sheet");
}

struct TBuiltFace {
  TSheet Sheet;
  std::vector<TPlacement> Placements;  // empty for the fixed face
  std::vector<int32_t> Widths;
  int32_t Size26 = 0;
};

TBuiltFace BuildFixedFace(TOutlineFont& font, const TFacePlan& plan) {
  const TGlyphSet set = FitGlyphs(font, kFixedCellHeight, kFixedCellWidth);
  TBuiltFace face{TSheet(kFixedCellWidth * kGlyphCount, kFixedCellHeight), {}, {}, set.Size26};
  const int32_t slack = kFixedCellHeight - set.Ascent - set.Descent;
  const int32_t baseline = set.Ascent + slack / 2;
  for (int32_t g = 0; g < kGlyphCount; ++g) {
    const TGlyphInk& ink = set.Glyphs[g];
    // The font's own placement in a cell centred on its advance, pushed inside the cell
    // when its ink would stick out.
    const int32_t origin =
        static_cast<int32_t>(std::lround((kFixedCellWidth * 64 - ink.Advance) / 2.0 / 64.0));
    const int32_t x = std::clamp(origin + ink.Left, 0, kFixedCellWidth - ink.Width);
    face.Sheet.Draw(ink, kFixedCellWidth * g + x, baseline - ink.Top, plan.Colour);
  }
  return face;
}

TBuiltFace BuildProportionalFace(TOutlineFont& font, const TFacePlan& plan) {
  TGlyphSet set = FitGlyphs(font, plan.LineHeight, 0);
  std::vector<int32_t> widths;
  for (TGlyphInk& ink : set.Glyphs) {
    BridgeGaps(ink);
    widths.push_back(ink.Width);
  }
  std::vector<TPlacement> placements;
  const int32_t sheetWidth = BalancedSheetWidth(widths, plan.Rows, placements);
  TBuiltFace face{TSheet(sheetWidth, plan.LineHeight * plan.Rows), placements, widths, set.Size26};
  const int32_t slack = plan.LineHeight - set.Ascent - set.Descent;
  const int32_t baseline = set.Ascent + slack / 2;
  for (int32_t g = 0; g < kGlyphCount; ++g) {
    const int32_t rowTop = placements[g].Row * plan.LineHeight;
    face.Sheet.Draw(set.Glyphs[g], placements[g].X, rowTop + baseline - set.Glyphs[g].Top,
                    plan.Colour);
  }
  return face;
}

// Runs the player's scan over the sheet as the player would hold it and demands exactly the
// layout that was drawn.
void CheckScan(const TBuiltFace& face, int32_t faceIndex, const TFacePlan& plan) {
  const TSheet& sheet = face.Sheet;
  std::vector<uint8_t> pixels(static_cast<size_t>(sheet.Width) * sheet.Height * 2);
  for (TRowConverter convert : {Convert24To565, Convert24To555}) {
    for (int32_t y = 0; y < sheet.Height; ++y)
      convert(sheet.Width, y, pixels.data(),
              sheet.Bgr.data() + static_cast<size_t>(y) * sheet.Width * 3);
    const TGlyphTable table =
        ScanGlyphTable(pixels.data(), sheet.Width, sheet.Height, sheet.Width * 2, 2, faceIndex);
    bool good = table.RowCount == plan.Rows && table.LineHeight == plan.LineHeight;
    for (int32_t g = 0; good && g < kGlyphCount; ++g)
      good = table.X[g] == face.Placements[g].X && table.Width[g] == face.Widths[g] &&
             table.RowOf(g) == face.Placements[g].Row;
    if (!good) throw std::runtime_error(std::string("the scan misreads the sheet ") + plan.Name);
  }
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A plain 24-bit BMP file, rows from the bottom, each padded to four bytes.
std::vector<uint8_t> EncodeBmp24(const TSheet& sheet) {
  const uint32_t rowBytes = (static_cast<uint32_t>(sheet.Width) * 3 + 3) & ~3u;
  const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(sheet.Height);
  const uint32_t headers = 14 + 40;
  std::vector<uint8_t> out;
  out.reserve(headers + imageBytes);
  out.push_back('B');
  out.push_back('M');
  Put32(out, headers + imageBytes);
  Put32(out, 0);
  Put32(out, headers);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(sheet.Width));
  Put32(out, static_cast<uint32_t>(sheet.Height));
  Put16(out, 1);   // planes
  Put16(out, 24);  // bits per pixel
  Put32(out, 0);   // no compression
  Put32(out, imageBytes);
  Put32(out, 2835);  // 72 dots per inch
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  for (int32_t y = sheet.Height - 1; y >= 0; --y) {
    const uint8_t* row = sheet.Bgr.data() + static_cast<size_t>(y) * sheet.Width * 3;
    out.insert(out.end(), row, row + static_cast<size_t>(sheet.Width) * 3);
    out.resize(out.size() + (rowBytes - static_cast<uint32_t>(sheet.Width) * 3), 0);
  }
  return out;
}

TResourceWriteEntry SheetEntry(const char* name, const TSheet& sheet) {
  TResourceWriteEntry entry;
  entry.Name = name;
  entry.Kind = kResourceBmp;
  entry.PixelBits = 24;
  entry.ImageWidth = entry.FrameWidth = sheet.Width;
  entry.ImageHeight = entry.FrameHeight = sheet.Height;
  entry.Payload = EncodeBmp24(sheet);
  return entry;
}

struct TOptions {
  bool Verbose = false;
  std::string Mono = kDefaultMono, Sans = kDefaultSans, Script = kDefaultScript;
  std::string Output;
};

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw TUsageError(arg + " needs a font file");
      return argv[++i];
    };
    if (arg == "--verbose")
      options.Verbose = true;
    else if (arg == "--mono")
      options.Mono = value();
    else if (arg == "--sans")
      options.Sans = value();
    else if (arg == "--script")
      options.Script = value();
    else if (arg.starts_with("--") || !options.Output.empty())
      throw TUsageError("unexpected " + arg);
    else
      options.Output = arg;
  }
  if (options.Output.empty()) throw TUsageError("no output file");
  return options;
}

void Generate(const TOptions& options) {
  TFreeType freeType;
  TOutlineFont mono(freeType, options.Mono), sans(freeType, options.Sans),
      script(freeType, options.Script);
  script.Straighten();
  std::vector<TResourceWriteEntry> entries;
  for (int32_t i = 0; i < static_cast<int32_t>(std::size(kFaces)); ++i) {
    const TFacePlan& plan = kFaces[i];
    TOutlineFont& font = plan.Role == TFontRole::Mono   ? mono
                         : plan.Role == TFontRole::Sans ? sans
                                                        : script;
    const TBuiltFace face =
        i == kFixedFace ? BuildFixedFace(font, plan) : BuildProportionalFace(font, plan);
    if (i != kFixedFace) CheckScan(face, i, plan);
    if (options.Verbose)
      std::printf("%-15s %6.3f px  sheet %dx%d\n", plan.Name, face.Size26 / 64.0, face.Sheet.Width,
                  face.Sheet.Height);
    entries.push_back(SheetEntry(plan.Name, face.Sheet));
  }
  const std::filesystem::path output(options.Output);
  if (output.has_parent_path()) std::filesystem::create_directories(output.parent_path());
  WriteResourceFile(options.Output, entries);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    Generate(ParseOptions(argc, argv));
    return 0;
  } catch (const TUsageError& e) {
    std::fprintf(stderr, "fontgen: %s\n%s", e.what(), kUsage);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fontgen: %s\n", e.what());
    return 1;
  }
}
