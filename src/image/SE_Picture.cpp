#include "image/SE_Picture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include <csetjmp>
// The IJG headers need size_t and FILE declared before them.
#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

#include "base/SE_Log.h"
#include "base/SE_MemoryBudget.h"
#include "image/SE_PictureDecode.h"
#include "platform/PL_Files.h"
#include "platform/PL_Host.h"

namespace {

uint64_t gPixelLimit = kMaxPictureBytes / kPictureBytesPerPixel;

}  // namespace

namespace PictureDecode {

void Fail(const char* decoder, const std::string& what) {
  throw TPictureError(what + " (" + decoder + ")");
}

void CheckPictureSize(int64_t width, int64_t height, const char* decoder, const char* data) {
  if (width <= 0 || height <= 0) Fail(decoder, "Picture has no pixels");
  if (width > kMaxPictureSide || height > kMaxPictureSide)
    Fail(decoder, "Picture is larger than 16384 x 16384 pixels");
  if (!PictureFits(width, height)) throw TPictureTooLarge(data, width, height);
  // Decoding takes three bytes a pixel before the picture's sheet is charged to the budget: a
  // picture that cannot even be decoded within what is left of it is refused at once.
  const uint64_t rows = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 3;
  if (rows > MemoryLimit() - std::min(MemoryInUse(), MemoryLimit()))
    throw TPictureOverBudget(data, rows);
}

bool TryAllocate(TBitmap24& picture, int64_t width, int64_t height) noexcept {
  try {
    picture.Width = static_cast<int32_t>(width);
    picture.Height = static_cast<int32_t>(height);
    picture.Rows.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

uint8_t* MutableRow(TBitmap24& picture, int64_t y) {
  return picture.Rows.data() + static_cast<size_t>(y) * picture.Width * 3;
}

}  // namespace PictureDecode

using namespace PictureDecode;

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

TPictureOverBudget::TPictureOverBudget(const std::string& name, uint64_t bytes)
    : TPictureError(TMemoryBudgetError(name, bytes).what()), Bytes(bytes) {}

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

// libpng reports errors by jumping back into ReadPng; the message waits here.
struct TPngGuard {
  png_structp Png = nullptr;
  png_infop Info = nullptr;
  const uint8_t* Data = nullptr;
  size_t Size = 0;
  size_t Pos = 0;
  std::vector<png_bytep> Rows;
  char Message[200] = "";
  ~TPngGuard() { png_destroy_read_struct(&Png, &Info, nullptr); }
};

[[noreturn]] void PngError(png_structp png, png_const_charp message) {
  auto* guard = static_cast<TPngGuard*>(png_get_error_ptr(png));
  std::snprintf(guard->Message, sizeof guard->Message, "PNG error: %s", message);
  png_longjmp(png, 1);
}

// Warnings (a damaged ancillary chunk, say) change nothing in the picture.
void PngWarning(png_structp, png_const_charp) {}

void PngRead(png_structp png, png_bytep out, size_t count) {
  auto* guard = static_cast<TPngGuard*>(png_get_io_ptr(png));
  if (guard->Size - guard->Pos < count) png_error(png, "read beyond end of data");
  std::memcpy(out, guard->Data + guard->Pos, count);
  guard->Pos += count;
}

// The colours as any PNG viewer shows them: palettes and small depths expanded, grey made
// colour, the file's gamma (or, without one, sRGB, and linear light for 16 bits) brought to
// the sRGB of the screen, 16 bits scaled to 8, in blue, green, red order with the alpha after.
// Interlaced pictures are put together from their seven passes by libpng.
void SetPngTransforms(png_structp png, png_infop info) {
  const int colourType = png_get_color_type(png, info);
  png_set_expand(png);
  if (!(colourType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
  png_set_alpha_mode_fixed(
      png, PNG_ALPHA_PNG, png_get_bit_depth(png, info) == 16 ? PNG_GAMMA_LINEAR : PNG_DEFAULT_sRGB);
  png_set_alpha_mode_fixed(png, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
  png_set_scale_16(png);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
}

// Nothing in this frame holds a destructor across a libpng call, so the jump back skips no
// cleanup; the rows and their pointers belong to the caller.
bool ReadPng(TPngGuard& guard, TBitmap24& picture, std::vector<uint8_t>& withAlpha) {
  png_structp png = guard.Png;
  png_infop info = guard.Info;
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_benign_errors(png, 1);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  CheckPictureSize(width, height, kPng, "PNG data");
  const bool alpha = (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) ||
                     png_get_valid(png, info, PNG_INFO_tRNS);
  SetPngTransforms(png, info);
  bool allocated = TryAllocate(picture, width, height);
  try {
    if (alpha && allocated) withAlpha.resize(size_t{width} * height * 4);
    if (allocated) guard.Rows.resize(height);
  } catch (const std::bad_alloc&) {
    allocated = false;
  }
  if (!allocated) {
    std::snprintf(guard.Message, sizeof guard.Message, "Not enough memory for the PNG picture");
    return false;
  }
  uint8_t* rows = alpha ? withAlpha.data() : picture.Rows.data();
  const size_t stride = size_t{width} * (alpha ? 4 : 3);
  // The transforms above always give 8-bit BGR or BGRA.
  if (png_get_rowbytes(png, info) != stride) png_error(png, "unexpected PNG row size");
  for (png_uint_32 y = 0; y < height; ++y) guard.Rows[y] = rows + y * stride;
  png_read_image(png, guard.Rows.data());
  return true;
}

// Alpha below a half is the colour key; the rest is drawn opaque. An opaque pixel so dark that
// it would become the key in 5-5-5 or 5-6-5 gets the faintest blue instead, so that nothing the
// picture says is visible turns transparent.
void KeyByAlpha(const uint8_t* bgra, size_t pixels, uint8_t* bgr) {
  for (size_t i = 0; i < pixels; ++i, bgra += 4, bgr += 3) {
    if (bgra[3] < 128) {
      bgr[0] = bgr[1] = bgr[2] = 0;
      continue;
    }
    const bool keyDark = bgra[0] < 8 && bgra[1] < 8 && bgra[2] < 8;
    bgr[0] = keyDark ? 8 : bgra[0];
    bgr[1] = bgra[1];
    bgr[2] = bgra[2];
  }
}

}  // namespace

void DecodePng(const uint8_t* data, size_t size, TBitmap24& out) {
  if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0)
    Fail(kPng, std::string("PNG error: ") + (data ? "Not a PNG file" : "no data"));
  TPngGuard guard;
  guard.Data = data;
  guard.Size = size;
  guard.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &guard, PngError, PngWarning);
  if (guard.Png) guard.Info = png_create_info_struct(guard.Png);
  if (!guard.Info) Fail(kPng, "Not enough memory for the PNG picture");
  png_set_read_fn(guard.Png, &guard, PngRead);
  TBitmap24 picture;
  std::vector<uint8_t> withAlpha;
  if (!ReadPng(guard, picture, withAlpha)) Fail(kPng, guard.Message);
  if (!withAlpha.empty())
    KeyByAlpha(withAlpha.data(), static_cast<size_t>(picture.Width) * picture.Height,
               picture.Rows.data());
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
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error))
    Fail("LoadPictureFile", "Cannot open picture file " + path + ": " + error);
  return bytes;
}

void LoadPictureFile(const std::string& path, TBitmap24& out) {
  const std::vector<uint8_t> bytes = ReadPictureFileBytes(path);
  try {
    DecodePicture(bytes.data(), bytes.size(), out);
  } catch (const TPictureTooLarge& error) {
    throw error.Naming(path);
  } catch (const TPictureOverBudget& error) {
    throw error.Naming(path);
  }
  ReportPictureDamage(path, out);
}

void ReportPictureDamage(const std::string& name, const TBitmap24& picture) {
  if (picture.Damage.empty()) return;
  const std::string line = "picture damaged: " + name + ": " + picture.Damage;
  DebugOutput(line);
  WriteLog(line);
}
