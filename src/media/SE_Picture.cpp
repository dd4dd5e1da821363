#include "media/SE_Picture.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include <csetjmp>
// The IJG headers need size_t and FILE declared before them.
#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

namespace {

uint64_t gPixelLimit = kMaxPictureBytes / kPictureBytesPerPixel;

[[noreturn]] void Fail(const char* decoder, const std::string& what) {
  throw TPictureError(what + " (" + decoder + ")");
}

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Every decoder asks here before it allocates, so a header cannot make us reserve gigabytes.
// `data` names what is being decoded until a loader that knows the file names it.
void CheckPictureSize(int64_t width, int64_t height, const char* decoder, const char* data) {
  if (width <= 0 || height <= 0) Fail(decoder, "Picture has no pixels");
  if (width > kMaxPictureSide || height > kMaxPictureSide)
    Fail(decoder, "Picture is larger than 16384 x 16384 pixels");
  if (!PictureFits(width, height)) throw TPictureTooLarge(data, width, height);
}

void Allocate(TBitmap24& picture, int64_t width, int64_t height) {
  picture.Width = static_cast<int32_t>(width);
  picture.Height = static_cast<int32_t>(height);
  picture.Rows.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0);
}

bool TryAllocate(TBitmap24& picture, int64_t width, int64_t height) noexcept {
  try {
    Allocate(picture, width, height);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

uint8_t* MutableRow(TBitmap24& picture, int64_t y) {
  return picture.Rows.data() + static_cast<size_t>(y) * picture.Width * 3;
}

// ---------------------------------------------------------------------------------------------
// BMP

constexpr const char* kBmp = "DecodeBmp";
enum : uint32_t { kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6 };

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
  switch (l.Compression) {
    case kBiRgb:
      if (l.Bits != 1 && l.Bits != 4 && l.Bits != 8 && l.Bits != 16 && l.Bits != 24 &&
          l.Bits != 32)
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

using TPalette = std::array<std::array<uint8_t, 3>, 256>;

// Indices past the stored colours show black, as they would on a palette that was cleared.
TPalette ReadBmpPalette(const uint8_t* d, size_t size, const TBmpLayout& l) {
  TPalette palette{};
  if (l.Bits > 8) return palette;
  const uint32_t full = 1u << l.Bits;
  const uint32_t count = l.ColorsUsed == 0 ? full : std::min(l.ColorsUsed, full);
  if (l.PaletteOffset + static_cast<size_t>(count) * l.PaletteEntryBytes > size)
    Fail(kBmp, "BMP palette runs past the end of the data");
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* e = d + l.PaletteOffset + i * l.PaletteEntryBytes;
    palette[i] = {e[0], e[1], e[2]};
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
    std::memcpy(dst, palette[index].data(), 3);
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

void DecodeBmpRows(const uint8_t* d, const TBmpLayout& l, const TPalette& palette,
                   TBitmap24& out) {
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
// picture are clipped; the data must not end before every pixel row was reached, though the
// markers after the last pixel may be missing.
class TRleDecoder {
 public:
  TRleDecoder(const uint8_t* data, size_t size, bool fourBit, const TPalette& palette,
              TBitmap24& out)
      : Data(data), Size(size), FourBit(fourBit), Palette(palette), Out(out) {}

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
      std::memcpy(MutableRow(Out, Out.Height - 1 - static_cast<int64_t>(Y)) + X * 3,
                  Palette[index].data(), 3);
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

void SetPicturePixelLimit(uint64_t pixels) { gPixelLimit = pixels; }
uint64_t PicturePixelLimit() { return gPixelLimit; }

uint64_t PictureByteLimit() {
  return std::min(gPixelLimit, UINT64_MAX / kPictureBytesPerPixel) * kPictureBytesPerPixel;
}

std::string PictureLimitText() {
  constexpr uint64_t kMiB = uint64_t{1} << 20;
  const uint64_t bytes = PictureByteLimit();
  return bytes % kMiB == 0 ? std::to_string(bytes / kMiB) + " MiB"
                           : std::to_string(bytes) + " bytes";
}

bool PictureFits(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) return true;
  return static_cast<uint64_t>(width) <= gPixelLimit / static_cast<uint64_t>(height);
}

TPictureTooLarge::TPictureTooLarge(const std::string& name, int64_t width, int64_t height)
    : TPictureError("picture too large: " + name + " is " + std::to_string(width) + "x" +
                    std::to_string(height) + ", more than the " + PictureLimitText() + " limit"),
      Width(width),
      Height(height) {}

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
  if (rle) {
    // A stated image size that is too large is common and harmless: the decoder stops at
    // the end of the data and reports it if rows are still missing.
    const size_t length = layout.SizeImage != 0 ? std::min<size_t>(layout.SizeImage, available)
                                                : available;
    TRleDecoder(data + layout.PixelOffset, length, layout.Compression == kBiRle4, palette,
                picture)
        .Run();
  } else {
    DecodeBmpRows(data, layout, palette, picture);
  }
  out = std::move(picture);
}

// ---------------------------------------------------------------------------------------------
// JPEG

namespace {

constexpr const char* kJpeg = "DecodeJpeg";
// A progressive file may hold any number of scans, each a full pass over the picture; real
// encoders write about ten, crafted files thousands.
constexpr int kMaxJpegScans = 500;

struct TJpegGuard {
  jpeg_decompress_struct Info;
  jpeg_error_mgr Error;
  jpeg_progress_mgr Progress;
  jpeg_source_mgr Source;
  bool GaveEndMarker;
  uint32_t ComponentsInScans;  // bit per component that some scan carried
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

// Serves the file from memory. At its end the decoder gets one end marker of ours, so a file
// that merely lacks its own decodes without complaint; data cut short inside a scan then meets
// that marker early, which libjpeg reports as a warning we treat as an error. Asking for more
// after our marker means the file ends inside a marker segment.
constexpr JOCTET kEndMarker[2] = {0xFF, JPEG_EOI};

void JpegInitSource(j_decompress_ptr) {}
void JpegTermSource(j_decompress_ptr) {}

boolean JpegFillInput(j_decompress_ptr info) {
  auto* guard = static_cast<TJpegGuard*>(info->client_data);
  if (guard->GaveEndMarker) ERREXIT(info, JERR_INPUT_EOF);
  guard->GaveEndMarker = true;
  info->src->next_input_byte = kEndMarker;
  info->src->bytes_in_buffer = sizeof kEndMarker;
  return TRUE;
}

void JpegSkipInput(j_decompress_ptr info, long count) {
  jpeg_source_mgr* src = info->src;
  while (count > static_cast<long>(src->bytes_in_buffer)) {
    count -= static_cast<long>(src->bytes_in_buffer);
    JpegFillInput(info);
  }
  if (count > 0) {
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
  }
}

void JpegMemorySource(TJpegGuard& guard, const uint8_t* data, size_t size) {
  jpeg_source_mgr& src = guard.Source;
  src.init_source = JpegInitSource;
  src.fill_input_buffer = JpegFillInput;
  src.skip_input_data = JpegSkipInput;
  src.resync_to_restart = jpeg_resync_to_restart;
  src.term_source = JpegTermSource;
  src.next_input_byte = data;
  src.bytes_in_buffer = size;
  guard.GaveEndMarker = false;
  guard.Info.src = &src;
}

[[noreturn]] void JpegErrorExit(j_common_ptr info) {
  auto* guard = static_cast<TJpegGuard*>(info->client_data);
  info->err->format_message(info, guard->Message);
  std::longjmp(guard->Jump, 1);
}

// libjpeg pads scan data that ends early with gray and carries on; for us the file is
// truncated. Other warnings (stray bytes between markers and the like) are harmless and stay
// quiet.
void JpegEmitMessage(j_common_ptr info, int level) {
  const int code = info->err->msg_code;
  if (level < 0 && (code == JWRN_HIT_MARKER || code == JWRN_JPEG_EOF)) JpegErrorExit(info);
}

void JpegProgress(j_common_ptr info) {
  auto* guard = static_cast<TJpegGuard*>(info->client_data);
  for (int i = 0; i < guard->Info.comps_in_scan; ++i)
    guard->ComponentsInScans |= 1u << guard->Info.cur_comp_info[i]->component_index;
  if (guard->Info.input_scan_number > kMaxJpegScans) {
    std::snprintf(guard->Message, sizeof guard->Message, "JPEG file has too many scans");
    std::longjmp(guard->Jump, 1);
  }
}

// libjpeg hands CMYK out as it is stored; Adobe's files store it inverted (255 = no ink).
void CmykRowToBgr(const uint8_t* src, uint8_t* dst, uint32_t width, bool inverted) {
  for (uint32_t x = 0; x < width; ++x, src += 4, dst += 3) {
    uint32_t c = src[0], m = src[1], y = src[2], k = src[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    dst[0] = static_cast<uint8_t>((y * k + 127) / 255);
    dst[1] = static_cast<uint8_t>((m * k + 127) / 255);
    dst[2] = static_cast<uint8_t>((c * k + 127) / 255);
  }
}

bool JpegFail(TJpegGuard& guard, const char* message) {
  std::snprintf(guard.Message, sizeof guard.Message, "%s", message);
  jpeg_destroy_decompress(&guard.Info);
  return false;
}

// A file of several scans that was cut between two of them decodes without a single warning,
// only blurred or with a colour missing. One that has its own end marker is complete as its
// writer meant it; without one, every scan must have arrived.
bool JpegScansComplete(TJpegGuard& guard) {
  j_decompress_ptr info = &guard.Info;
  if (!guard.GaveEndMarker || !jpeg_has_multiple_scans(info)) return true;
  if (!info->progressive_mode)
    return guard.ComponentsInScans == (1u << info->num_components) - 1;
  for (int c = 0; c < info->num_components; ++c)
    for (int k = 0; k < DCTSIZE2; ++k)
      if (info->coef_bits[c][k] != 0) return false;
  return true;
}

void ReadJpegLines(TJpegGuard& guard, bool cmyk, TBitmap24& picture) {
  j_decompress_ptr info = &guard.Info;
  JSAMPARRAY line = nullptr;
  if (cmyk)
    line = info->mem->alloc_sarray(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                   info->output_width * 4, 1);
  while (info->output_scanline < info->output_height) {
    JSAMPROW row = MutableRow(picture, info->output_scanline);
    if (jpeg_read_scanlines(info, cmyk ? line : &row, 1) != 1) {
      std::snprintf(guard.Message, sizeof guard.Message, "JPEG decoder stalled");
      std::longjmp(guard.Jump, 1);
    }
    if (cmyk) CmykRowToBgr(line[0], row, info->output_width, info->saw_Adobe_marker);
  }
}

// libjpeg reports errors by jumping back here. Nothing in this frame or the helpers it calls
// is left holding a destructor when it does, so the jump skips no cleanup; the rows live in
// the caller's picture.
bool RunJpeg(TJpegGuard& guard, const uint8_t* data, size_t size, TBitmap24& picture) {
  j_decompress_ptr info = &guard.Info;
  info->err = jpeg_std_error(&guard.Error);
  guard.Error.error_exit = JpegErrorExit;
  guard.Error.emit_message = JpegEmitMessage;
  info->client_data = &guard;
  if (setjmp(guard.Jump)) {
    jpeg_destroy_decompress(info);
    return false;
  }
  jpeg_create_decompress(info);
  guard.Progress.progress_monitor = JpegProgress;
  info->progress = &guard.Progress;
  // Without a backing store libjpeg fails cleanly once whole-picture buffers would pass this.
  const uint64_t budget = (64ull << 20) + std::min<uint64_t>(gPixelLimit, 1ull << 32) * 8;
  info->mem->max_memory_to_use = static_cast<long>(budget);
  JpegMemorySource(guard, data, size);
  jpeg_read_header(info, TRUE);
  try {
    CheckPictureSize(info->image_width, info->image_height, kJpeg, "JPEG data");
  } catch (const TPictureError&) {
    jpeg_destroy_decompress(info);
    throw;
  }
  const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
  info->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_start_decompress(info);
  if (!JpegScansComplete(guard)) return JpegFail(guard, "JPEG file ends before its last scan");
  if (!TryAllocate(picture, info->output_width, info->output_height))
    return JpegFail(guard, "Not enough memory for the JPEG picture");
  ReadJpegLines(guard, cmyk, picture);
  // Everything is decoded; a missing end marker is no reason to refuse the picture.
  jpeg_destroy_decompress(info);
  return true;
}

constexpr const char* kPng = "DecodePng";

}  // namespace

void DecodeJpeg(const uint8_t* data, size_t size, TBitmap24& out) {
  if (!data || size < 2 || data[0] != 0xFF || data[1] != 0xD8) Fail(kJpeg, "Not a JPEG file");
  TBitmap24 picture;
  auto guard = std::make_unique<TJpegGuard>();  // value-initialised: all zero
  if (!RunJpeg(*guard, data, size, picture))
    Fail(kJpeg, std::string("JPEG error: ") + guard->Message);
  out = std::move(picture);
}

namespace {

// libpng's simplified reader holds memory until it finishes or is freed; freeing twice is
// harmless, so every way out of the decoder can free it.
struct TPngImage {
  TPngImage() {
    std::memset(&Image, 0, sizeof Image);
    Image.version = PNG_IMAGE_VERSION;
  }
  ~TPngImage() { png_image_free(&Image); }
  TPngImage(const TPngImage&) = delete;
  TPngImage& operator=(const TPngImage&) = delete;
  png_image Image;
};

}  // namespace

void DecodePng(const uint8_t* data, size_t size, TBitmap24& out) {
  TPngImage png;
  png_image& image = png.Image;
  if (!data || !png_image_begin_read_from_memory(&image, data, size))
    Fail(kPng, std::string("PNG error: ") + (data ? image.message : "no data"));
  image.format = PNG_FORMAT_BGR;
  CheckPictureSize(image.width, image.height, kPng, "PNG data");
  TBitmap24 picture;
  if (!TryAllocate(picture, image.width, image.height))
    Fail(kPng, "Not enough memory for the PNG picture");
  const png_color black{0, 0, 0};
  if (!png_image_finish_read(&image, &black, picture.Rows.data(), picture.Width * 3, nullptr))
    Fail(kPng, std::string("PNG error: ") + image.message);
  out = std::move(picture);
}

TPictureKind DetectPictureKind(const uint8_t* data, size_t size) {
  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (!data) return TPictureKind::Unknown;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return TPictureKind::Bmp;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) return TPictureKind::Jpeg;
  if (size >= 8 && std::memcmp(data, kPngSignature, 8) == 0) return TPictureKind::Png;
  return TPictureKind::Unknown;
}

void DecodePicture(const uint8_t* data, size_t size, TBitmap24& out) {
  switch (DetectPictureKind(data, size)) {
    case TPictureKind::Bmp:
      return DecodeBmp(data, size, out);
    case TPictureKind::Jpeg:
      return DecodeJpeg(data, size, out);
    case TPictureKind::Png:
      return DecodePng(data, size, out);
    case TPictureKind::Unknown:
      break;
  }
  Fail("DecodePicture", "Unknown picture format");
}

std::vector<uint8_t> ReadPictureFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file)
    Fail("LoadPictureFile", "Cannot open picture file " + path + ": " + std::strerror(errno));
  const std::streamoff length = file.tellg();
  if (length < 0) Fail("LoadPictureFile", "Cannot read picture file " + path);
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(bytes.data()), length))
    Fail("LoadPictureFile", "Cannot read picture file " + path);
  return bytes;
}

void LoadPictureFile(const std::string& path, TBitmap24& out) {
  const std::vector<uint8_t> bytes = ReadPictureFileBytes(path);
  try {
    DecodePicture(bytes.data(), bytes.size(), out);
  } catch (const TPictureTooLarge& error) {
    throw error.Naming(path);
  }
}
