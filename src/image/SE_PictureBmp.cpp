// The BMP decoder.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "image/SE_Picture.h"
#include "image/SE_PictureDecode.h"

using namespace PictureDecode;

namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

constexpr const char* kBmp = "DecodeBmp";
enum : uint32_t {
  kBiRgb = 0,
  kBiRle8 = 1,
  kBiRle4 = 2,
  kBiBitfields = 3,
  kBiJpeg = 4,
  kBiAlphaBitfields = 6
};

// One colour channel of a 16- or 32-bit pixel, widened to 8 bits with rounding so that a
// full channel of any width becomes 255.
struct TMaskChannel {
  uint32_t Mask = 0;
  int Shift = 0;
  uint64_t Max = 0;

  explicit TMaskChannel(uint32_t mask = 0) : Mask(mask) {
    Shift = mask ? __builtin_ctz(mask) : 0;
    Max = mask >> Shift;
  }
  uint8_t Get(uint32_t pixel) const {
    if (Max == 0) return 0;
    const uint64_t value = (pixel & Mask) >> Shift;
    return static_cast<uint8_t>((value * 255 + Max / 2) / Max);
  }
};

struct TBmpLayout {
  int64_t Width = 0;
  int64_t Height = 0;
  bool TopDown = false;
  uint32_t Bits = 0;
  uint32_t Compression = kBiRgb;
  uint32_t SizeImage = 0;
  uint32_t ColorsUsed = 0;
  uint32_t Masks[3] = {0, 0, 0};  // red, green, blue
  size_t PaletteOffset = 0;
  size_t PaletteEntryBytes = 4;
  size_t PixelOffset = 0;
  bool Os2Info = false;  // the 64-byte header of OS/2 2.x
};

bool KnownHeaderSize(uint32_t size) {
  return size == 12 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 ||
         size == 124;
}

void ReadBitfieldMasks(const uint8_t* d, size_t size, uint32_t headerSize, TBmpLayout& l) {
  // OS/2 2.x headers give these compression values other meanings (Huffman, RLE24).
  if (headerSize == 64) Fail(kBmp, "Unsupported OS/2 BMP compression");
  size_t at = 14 + 40;
  if (headerSize == 40) {
    // A plain info header keeps its masks right behind it, in front of any palette.
    const size_t maskBytes = l.Compression == kBiAlphaBitfields ? 16 : 12;
    if (at + maskBytes > size) Fail(kBmp, "BMP colour masks run past the end of the data");
    l.PaletteOffset += maskBytes;
  }
  for (int i = 0; i < 3; ++i) l.Masks[i] = Get32(d + at + 4 * i);
}

void CheckBmpFormat(const TBmpLayout& l) {
  // OS/2 2.x numbers two compressions of its own like Windows' bit fields and JPEG; the one
  // for a single bit is Huffman 1D whoever wrote the header.
  if (l.Compression == kBiBitfields && (l.Os2Info || l.Bits == 1))
    Fail(kBmp, "BMP Huffman 1D compression is not supported");
  if (l.Compression == kBiJpeg && (l.Os2Info || l.Bits == 24))
    Fail(kBmp, "BMP RLE24 compression is not supported");
  switch (l.Compression) {
    case kBiRgb:
      if (l.Bits != 1 && l.Bits != 4 && l.Bits != 8 && l.Bits != 16 && l.Bits != 24 && l.Bits != 32)
        Fail(kBmp, "Unsupported BMP bit depth " + std::to_string(l.Bits));
      return;
    case kBiRle8:
    case kBiRle4:
      if (l.Bits != (l.Compression == kBiRle8 ? 8u : 4u))
        Fail(kBmp, "BMP run-length compression does not match its bit depth");
      if (l.TopDown) Fail(kBmp, "Top-down BMP cannot be run-length compressed");
      return;
    case kBiBitfields:
    case kBiAlphaBitfields:
      if (l.Bits != 16 && l.Bits != 32) Fail(kBmp, "BMP bit fields need 16 or 32 bits");
      return;
    default:
      Fail(kBmp, "Unsupported BMP compression " + std::to_string(l.Compression));
  }
}

TBmpLayout ParseBmpHeaders(const uint8_t* d, size_t size) {
  // The file size field is often wrong in files from real writers; every part we read is
  // checked against the bytes we have instead.
  if (size < 18 || d[0] != 'B' || d[1] != 'M') Fail(kBmp, "Not a BMP file");
  TBmpLayout l;
  l.PixelOffset = Get32(d + 10);
  const uint32_t headerSize = Get32(d + 14);
  if (!KnownHeaderSize(headerSize))
    Fail(kBmp, "Unsupported BMP header size " + std::to_string(headerSize));
  if (14 + static_cast<size_t>(headerSize) > size)
    Fail(kBmp, "BMP header runs past the end of the data");
  const uint8_t* h = d + 14;
  l.PaletteOffset = 14 + headerSize;
  l.Os2Info = headerSize == 64;
  if (headerSize == 12) {
    l.Width = Get16(h + 4);
    l.Height = Get16(h + 6);
    l.Bits = Get16(h + 10);
    l.PaletteEntryBytes = 3;
  } else {
    l.Width = static_cast<int32_t>(Get32(h + 4));
    l.Height = static_cast<int32_t>(Get32(h + 8));
    l.Bits = Get16(h + 14);
    l.Compression = Get32(h + 16);
    l.SizeImage = Get32(h + 20);
    l.ColorsUsed = Get32(h + 32);
  }
  if (l.Height < 0) {
    l.TopDown = true;
    l.Height = -l.Height;
  }
  CheckPictureSize(l.Width, l.Height, kBmp, "BMP data");
  CheckBmpFormat(l);
  if (l.Compression == kBiBitfields || l.Compression == kBiAlphaBitfields) {
    ReadBitfieldMasks(d, size, headerSize, l);
  } else if (l.Bits == 16) {
    l.Masks[0] = 0x7C00, l.Masks[1] = 0x03E0, l.Masks[2] = 0x001F;
  } else if (l.Bits == 32) {
    l.Masks[0] = 0xFF0000, l.Masks[1] = 0xFF00, l.Masks[2] = 0xFF;
  }
  if (l.PixelOffset < 14 + static_cast<size_t>(headerSize) || l.PixelOffset > size)
    Fail(kBmp, "BMP pixel data offset lies outside the file");
  return l;
}

// Indices past the stored colours show black, as they would on a palette that was cleared;
// the highest index used tells whether any pixel went past them.
struct TPalette {
  std::array<std::array<uint8_t, 3>, 256> Colours{};
  uint32_t Count = 0;
  mutable uint32_t HighestUsed = 0;

  const uint8_t* operator[](unsigned index) const {
    HighestUsed = std::max<uint32_t>(HighestUsed, index);
    return Colours[index].data();
  }
  // The damage text when some pixel used an index past the stored colours.
  std::string Overrun() const {
    if (Count == 0 || HighestUsed < Count) return {};
    return "BMP pixels use palette index " + std::to_string(HighestUsed) + " of a palette of " +
           std::to_string(Count) + " colours; they show black";
  }
};

TPalette ReadBmpPalette(const uint8_t* d, size_t size, const TBmpLayout& l) {
  TPalette palette;
  if (l.Bits > 8) return palette;
  const uint32_t full = 1u << l.Bits;
  palette.Count = l.ColorsUsed == 0 ? full : std::min(l.ColorsUsed, full);
  if (l.PaletteOffset + static_cast<size_t>(palette.Count) * l.PaletteEntryBytes > size)
    Fail(kBmp, "BMP palette runs past the end of the data");
  for (uint32_t i = 0; i < palette.Count; ++i) {
    const uint8_t* e = d + l.PaletteOffset + i * l.PaletteEntryBytes;
    palette.Colours[i] = {e[0], e[1], e[2]};
  }
  return palette;
}

void DecodeIndexedRow(const uint8_t* src, uint8_t* dst, int64_t width, uint32_t bits,
                      const TPalette& palette) {
  for (int64_t x = 0; x < width; ++x, dst += 3) {
    unsigned index;
    if (bits == 8) {
      index = src[x];
    } else if (bits == 4) {
      index = (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
    } else {
      index = (src[x >> 3] >> (7 - (x & 7))) & 0x01;
    }
    std::memcpy(dst, palette[index], 3);
  }
}

void DecodeMaskedRow(const uint8_t* src, uint8_t* dst, int64_t width, uint32_t bits,
                     const TMaskChannel (&channels)[3]) {
  const size_t step = bits / 8;
  for (int64_t x = 0; x < width; ++x, src += step, dst += 3) {
    const uint32_t pixel = bits == 16 ? Get16(src) : Get32(src);
    dst[0] = channels[2].Get(pixel);
    dst[1] = channels[1].Get(pixel);
    dst[2] = channels[0].Get(pixel);
  }
}

uint64_t BmpStride(const TBmpLayout& l) {
  return (static_cast<uint64_t>(l.Width) * l.Bits + 31) / 32 * 4;
}

void DecodeBmpRows(const uint8_t* d, const TBmpLayout& l, const TPalette& palette, TBitmap24& out) {
  const uint64_t stride = BmpStride(l);
  const TMaskChannel channels[3] = {TMaskChannel(l.Masks[0]), TMaskChannel(l.Masks[1]),
                                    TMaskChannel(l.Masks[2])};
  for (int64_t r = 0; r < l.Height; ++r) {
    const uint8_t* src = d + l.PixelOffset + r * stride;
    uint8_t* dst = MutableRow(out, l.TopDown ? r : l.Height - 1 - r);
    if (l.Bits <= 8) {
      DecodeIndexedRow(src, dst, l.Width, l.Bits, palette);
    } else if (l.Bits == 24) {
      std::memcpy(dst, src, static_cast<size_t>(l.Width) * 3);
    } else {
      DecodeMaskedRow(src, dst, l.Width, l.Bits, channels);
    }
  }
}

// Run-length data draws bottom-up from the lower left corner. Runs and deltas that leave the
// picture are clipped, and noted as damage; the data must not end before every pixel row was
// reached, though the markers after the last pixel may be missing.
class TRleDecoder {
 public:
  TRleDecoder(const uint8_t* data, size_t size, bool fourBit, const TPalette& palette,
              TBitmap24& out)
      : Data(data), Size(size), FourBit(fourBit), Palette(palette), Out(out) {}

  bool PastRow = false;  // pixels beyond the right edge
  bool PastTop = false;  // a delta beyond the last row

  void Run() {
    const uint64_t width = static_cast<uint64_t>(Out.Width);
    const uint64_t height = static_cast<uint64_t>(Out.Height);
    while (Y < height) {
      if (Size - Pos < 2) {
        if (Y + 1 == height && X >= width) return;
        Fail(kBmp, "BMP run-length data ends before the end of the bitmap");
      }
      const uint8_t count = Data[Pos], value = Data[Pos + 1];
      Pos += 2;
      if (count > 0) {
        for (unsigned i = 0; i < count; ++i)
          Put(FourBit ? ((i & 1) ? value & 0x0F : value >> 4) : value);
      } else if (value == 0) {
        X = 0;
        ++Y;
      } else if (value == 1) {
        return;
      } else if (value == 2) {
        if (Size - Pos < 2) Fail(kBmp, "BMP run-length delta runs past the end of the data");
        X += Data[Pos];
        Y += Data[Pos + 1];
        Pos += 2;
        // A delta may skip to the end of a row or of the picture, not beyond.
        PastRow |= X > width;
        PastTop |= Y > height || (Y == height && X > 0);
      } else {
        Absolute(value);
      }
    }
  }

 private:
  void Absolute(unsigned count) {
    const size_t bytes = FourBit ? (count + 1) / 2 : count;
    const size_t padded = (bytes + 1) & ~static_cast<size_t>(1);
    if (Size - Pos < bytes) Fail(kBmp, "BMP run-length literal runs past the end of the data");
    const uint8_t* p = Data + Pos;
    for (unsigned i = 0; i < count; ++i)
      Put(FourBit ? ((i & 1) ? p[i / 2] & 0x0F : p[i / 2] >> 4) : p[i]);
    // The pad byte of the last literal may be missing; nothing needs it.
    Pos += std::min(padded, Size - Pos);
  }

  void Put(unsigned index) {
    if (X < static_cast<uint64_t>(Out.Width) && Y < static_cast<uint64_t>(Out.Height))
      std::memcpy(MutableRow(Out, Out.Height - 1 - static_cast<int64_t>(Y)) + X * 3, Palette[index],
                  3);
    else
      PastRow = true;
    ++X;
  }

  const uint8_t* Data;
  size_t Size;
  bool FourBit;
  const TPalette& Palette;
  TBitmap24& Out;
  size_t Pos = 0;
  uint64_t X = 0;
  uint64_t Y = 0;
};

}  // namespace

void DecodeBmp(const uint8_t* data, size_t size, TBitmap24& out) {
  if (!data) size = 0;
  const TBmpLayout layout = ParseBmpHeaders(data, size);
  const TPalette palette = ReadBmpPalette(data, size, layout);
  const bool rle = layout.Compression == kBiRle8 || layout.Compression == kBiRle4;
  // Checked before allocating, so a header alone cannot make us reserve the whole picture.
  const size_t available = size - layout.PixelOffset;
  if (!rle && BmpStride(layout) * static_cast<uint64_t>(layout.Height) > available)
    Fail(kBmp, "BMP pixel data runs past the end of the data");
  TBitmap24 picture;
  if (!TryAllocate(picture, layout.Width, layout.Height))
    Fail(kBmp, "Not enough memory for the BMP picture");
  std::vector<std::string> damage;
  if (rle) {
    // A stated image size that is too large is common and harmless: the decoder stops at
    // the end of the data and reports it if rows are still missing.
    const size_t length =
        layout.SizeImage != 0 ? std::min<size_t>(layout.SizeImage, available) : available;
    TRleDecoder decoder(data + layout.PixelOffset, length, layout.Compression == kBiRle4, palette,
                        picture);
    decoder.Run();
    if (decoder.PastRow) damage.push_back("BMP run-length data runs past the end of a row");
    if (decoder.PastTop) damage.push_back("BMP run-length data runs past the top of the picture");
  } else {
    DecodeBmpRows(data, layout, palette, picture);
  }
  if (std::string overrun = palette.Overrun(); !overrun.empty()) damage.push_back(overrun);
  for (const std::string& what : damage)
    picture.Damage += (picture.Damage.empty() ? "" : "; ") + what;
  out = std::move(picture);
}
