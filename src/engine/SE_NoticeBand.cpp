#include "engine/SE_NoticeBand.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "engine/SE_NoticeFont.h"

namespace {
constexpr int32_t kPad = 3;
constexpr int32_t kLineHeight = kNoticeGlyphHeight + 1;

// The letters of Latin-1 and Latin Extended-A from U+00C0, as plain letters ('?': none).
constexpr std::string_view kPlainLetters =
    "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTsaaaaaaaceeeeiiiidnooooo/ouuuuyty"
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiIiJjKkkLlLlLlL"
    "lLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";

void PutPixel(TPlatformSurface& frame, int32_t x, int32_t y, uint32_t pixel) {
  const int32_t bytes = BytesPerPixelOf(frame.Format());
  uint8_t* at = frame.Pixels() + int64_t{y} * frame.Pitch() + int64_t{x} * bytes;
  std::memcpy(at, &pixel, static_cast<size_t>(std::min(bytes, 4)));
}

void DrawText(TPlatformSurface& frame, int32_t x, int32_t y, const std::string& text,
              uint32_t pixel) {
  for (const char c : text) {
    const int32_t glyph = static_cast<unsigned char>(c) - kNoticeFirstChar;
    if (glyph >= 0 && glyph < kNoticeGlyphCount)
      for (int32_t row = 0; row < kNoticeGlyphHeight; ++row)
        for (int32_t column = 0; column < kNoticeGlyphWidth; ++column)
          if (kNoticeGlyphs[glyph][row] & (0x40 >> column) && x + column < frame.Width())
            PutPixel(frame, x + column, y + row, pixel);
    x += kNoticeGlyphWidth;
  }
}
}  // namespace

std::string PlainAscii(const std::string& text) {
  std::string plain;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80    ? 1
                          : lead >= 0xF0 ? 4
                          : lead >= 0xE0 ? 3
                          : lead >= 0xC0 ? 2
                                         : 1;
    uint32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (size_t k = 1; k < length && i + k < text.size(); ++k)
      code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += length;
    if (code >= 0x20 && code < 0x7F)
      plain += static_cast<char>(code);
    else if (code >= 0xC0 && code - 0xC0 < kPlainLetters.size())
      plain += kPlainLetters[code - 0xC0];
    else
      plain += '?';
  }
  return plain;
}

void TNoticeBand::Show(const std::vector<std::string>& lines) {
  Lines.clear();
  for (const std::string& line : lines) {
    if (Lines.size() + 1 == kMostLines && lines.size() > kMostLines) {
      Lines.push_back("... and " + std::to_string(lines.size() - Lines.size()) +
                      " more (all of them on stderr)");
      break;
    }
    Lines.push_back(PlainAscii(line));
  }
}

void TNoticeBand::Stamp(TPlatformSurface& frame, TFrameChanges& changes) {
  if (Lines.empty()) {
    if (Covered.Width() > 0) changes.Add(Covered.Left, Covered.Top, Covered.Right, Covered.Bottom);
    Covered = {};
    return;
  }
  const int32_t height =
      std::min(frame.Height(), static_cast<int32_t>(Lines.size()) * kLineHeight + 2 * kPad + 1);
  const TRect band{0, frame.Height() - height, frame.Width(), frame.Height()};
  if (Covered.Width() > 0 && (Covered.Top != band.Top || Covered.Right != band.Right))
    changes.Add(Covered.Left, Covered.Top, Covered.Right, Covered.Bottom);
  Covered = band;
  const uint8_t* first = frame.Pixels() + int64_t{band.Top} * frame.Pitch();
  Saved.assign(first, first + int64_t{height} * frame.Pitch());
  Stamped = true;
  const TPixelFormat& format = frame.Format();
  frame.Fill(&band, PackRgb(format, 48, 0, 0));
  const TRect edge{0, band.Top, band.Right, band.Top + 1};
  frame.Fill(&edge, PackRgb(format, 255, 200, 0));
  const auto columns =
      static_cast<size_t>(std::max(0, (frame.Width() - 2 * kPad) / kNoticeGlyphWidth));
  int32_t y = band.Top + 1 + kPad;
  for (const std::string& line : Lines) {
    if (y + kNoticeGlyphHeight > frame.Height()) break;
    const std::string shown =
        line.size() <= columns ? line : line.substr(0, columns > 3 ? columns - 3 : 0) + "...";
    DrawText(frame, kPad, y, shown, PackRgb(format, 255, 255, 255));
    y += kLineHeight;
  }
  changes.Add(band.Left, band.Top, band.Right, band.Bottom);
}

void TNoticeBand::Unstamp(TPlatformSurface& frame) {
  if (!Stamped) return;
  Stamped = false;
  std::memcpy(frame.Pixels() + int64_t{Covered.Top} * frame.Pitch(), Saved.data(), Saved.size());
}
