#include "PictureSamples.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
// The IJG headers need size_t and FILE declared before them.
#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

TBgr PixelAt(const TBitmap24& picture, int32_t x, int32_t y) {
  const uint8_t* p = picture.Row(y) + x * 3;
  return {p[0], p[1], p[2]};
}

TBitmap24 MakePattern(int32_t width, int32_t height) {
  TBitmap24 picture{width, height, {}, {}};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      picture.Rows.insert(
          picture.Rows.end(),
          {static_cast<uint8_t>(40 + 160 * x / std::max(1, width - 1)),
           static_cast<uint8_t>(30 + 180 * y / std::max(1, height - 1)),
           static_cast<uint8_t>(200 - 100 * (x + y) / std::max(1, width + height - 2))});
  return picture;
}

namespace {

void Put(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> 8 * i));
}

}  // namespace

std::vector<uint8_t> WriteBmp(const TBmpFile& bmp) {
  std::vector<uint8_t> h;  // everything after the 14-byte file header
  Put(h, bmp.HeaderSize, 4);
  const int side = bmp.HeaderSize == 12 ? 2 : 4;
  Put(h, static_cast<uint32_t>(bmp.Width), side);
  Put(h, static_cast<uint32_t>(bmp.TopDown ? -bmp.Height : bmp.Height), side);
  Put(h, 1, 2), Put(h, bmp.Bits, 2);
  if (bmp.HeaderSize != 12) {
    for (uint32_t v : {bmp.Compression, bmp.SizeImage, 2835u, 2835u, bmp.ColorsUsed, 0u})
      Put(h, v, 4);
    if (bmp.HeaderSize > 40)
      for (uint32_t m : bmp.Masks) Put(h, m, 4);
    h.resize(bmp.HeaderSize, 0);
    if (bmp.HeaderSize == 40)
      for (uint32_t m : bmp.Masks) Put(h, m, 4);
  }
  for (const TBgr& c : bmp.Palette) {
    h.insert(h.end(), c.begin(), c.end());
    if (bmp.HeaderSize != 12) h.push_back(0);
  }
  std::vector<uint8_t> file{'B', 'M'};
  Put(file, static_cast<uint32_t>(14 + h.size() + bmp.Pixels.size()), 4);
  Put(file, 0, 4), Put(file, static_cast<uint32_t>(14 + h.size()), 4);
  file.insert(file.end(), h.begin(), h.end());
  file.insert(file.end(), bmp.Pixels.begin(), bmp.Pixels.end());
  return file;
}

std::vector<uint8_t> ClaimingRleBmp(int32_t width, int32_t height) {
  TBmpFile bmp(width, height, 8, false, 1);
  bmp.Palette.assign(256, TBgr{0, 0, 0});
  bmp.Pixels = {0x00, 0x01};
  bmp.SizeImage = 2;
  return WriteBmp(bmp);
}

std::vector<uint8_t> PackRows(int32_t width, int32_t height, int bits, bool topDown,
                              const std::function<uint32_t(int32_t, int32_t)>& value) {
  const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
  std::vector<uint8_t> rows(stride * height, 0);
  for (int32_t r = 0; r < height; ++r)
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t v = value(x, topDown ? r : height - 1 - r);
      uint8_t* at = rows.data() + r * stride + x * bits / 8;
      if (bits < 8) *at |= static_cast<uint8_t>(v << (8 - bits - (x * bits) % 8));
      for (int b = 0; b < bits / 8; ++b) at[b] = static_cast<uint8_t>(v >> 8 * b);
    }
  return rows;
}

namespace {

[[noreturn]] void JpegAbort(j_common_ptr info) {
  char message[JMSG_LENGTH_MAX];
  info->err->format_message(info, message);
  std::fprintf(stderr, "test JPEG helper: %s\n", message);
  std::abort();
}

std::vector<uint8_t> Compress(int32_t width, int32_t height, int components, J_COLOR_SPACE space,
                              const uint8_t* pixels, const TJpegOptions& options, bool adobe) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  error.error_exit = JpegAbort;
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = components;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  if (options.Gray) jpeg_set_colorspace(&info, JCS_GRAYSCALE);
  info.write_Adobe_marker = adobe;
  jpeg_set_quality(&info, options.Quality, TRUE);
  if (options.Progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(pixels) + size_t{info.next_scanline} * width * components;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

}  // namespace

std::vector<uint8_t> EncodeJpeg(const TBitmap24& picture, const TJpegOptions& options) {
  return Compress(picture.Width, picture.Height, 3, JCS_EXT_BGR, picture.Rows.data(), options,
                  false);
}

std::vector<uint8_t> EncodeCmykJpeg(std::array<uint8_t, 4> stored, bool adobeMarker) {
  std::vector<uint8_t> pixels;
  for (int i = 0; i < 64; ++i) pixels.insert(pixels.end(), stored.begin(), stored.end());
  return Compress(8, 8, 4, JCS_CMYK, pixels.data(), {}, adobeMarker);
}

TBitmap24 ReferenceJpegDecode(const std::vector<uint8_t>& jpeg) {
  jpeg_decompress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  error.error_exit = JpegAbort;
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  TBitmap24 picture{
      static_cast<int32_t>(info.output_width), static_cast<int32_t>(info.output_height), {}, {}};
  picture.Rows.resize(size_t{info.output_width} * info.output_height * 3);
  while (info.output_scanline < info.output_height) {
    uint8_t* row = picture.Rows.data() + size_t{info.output_scanline} * picture.Width * 3;
    jpeg_read_scanlines(&info, &row, 1);
    for (int32_t x = 0; x < picture.Width; ++x) std::swap(row[x * 3], row[x * 3 + 2]);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return picture;
}

std::vector<uint8_t> EncodePng(const TBitmap24& picture) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.Width);
  image.height = static_cast<png_uint_32>(picture.Height);
  image.format = PNG_FORMAT_BGR;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, picture.Rows.data(), 0, nullptr);
  std::vector<uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, picture.Rows.data(), 0, nullptr)) {
    std::fprintf(stderr, "test PNG helper: %s\n", image.message);
    std::abort();
  }
  out.resize(size);
  return out;
}

std::vector<uint8_t> EncodePng16(int32_t width, int32_t height, int colourType, bool interlaced) {
  const int channels = colourType == PNG_COLOR_TYPE_GRAY         ? 1
                       : colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                       : colourType == PNG_COLOR_TYPE_RGB        ? 3
                                                                 : 4;
  // Every sample different in its low byte too, so rows that a reader mixes up show.
  std::vector<uint8_t> rows(size_t(width) * height * channels * 2);
  for (size_t i = 0; i < rows.size() / 2; ++i) {
    const uint32_t value = (i * 7919u + i / (size_t(width) * channels) * 4099u) & 0xFFFF;
    rows[2 * i] = uint8_t(value >> 8);
    rows[2 * i + 1] = uint8_t(value);
  }
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) std::abort();
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, size_t size) {
        auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        bytes->insert(bytes->end(), data, data + size);
      },
      nullptr);
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 16, colourType,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_bytep> pointers(static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) pointers[y] = &rows[size_t(y) * width * channels * 2];
  png_set_rows(png, info, pointers.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

namespace {

void PutBigEndian(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> 8 * (bytes - 1 - i));
}

}  // namespace

std::vector<uint8_t> WithJpegSize(std::vector<uint8_t> jpeg, int32_t width, int32_t height) {
  const uint8_t marker[] = {0xFF, 0xC0};
  const auto sof = std::search(jpeg.begin(), jpeg.end(), marker, marker + 2);
  if (sof == jpeg.end() || jpeg.end() - sof < 9) std::abort();
  PutBigEndian(&*sof + 5, static_cast<uint32_t>(height), 2);
  PutBigEndian(&*sof + 7, static_cast<uint32_t>(width), 2);
  return jpeg;
}

std::vector<uint8_t> WithPngSize(std::vector<uint8_t> png, uint32_t width, uint32_t height) {
  // Signature, then the IHDR chunk: length, type, width, height, five more bytes, checksum.
  constexpr size_t kType = 12, kData = 16, kCrc = 29;
  if (png.size() < kCrc + 4) std::abort();
  PutBigEndian(&png[kData], width, 4);
  PutBigEndian(&png[kData + 4], height, 4);
  PutBigEndian(&png[kCrc], static_cast<uint32_t>(crc32(0, &png[kType], kCrc - kType)), 4);
  return png;
}
