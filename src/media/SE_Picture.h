#pragma once
// Picture decoding: BMP, JPEG and PNG files into 24-bit rows of blue, green, red bytes. Every
// decoder checks each size a file states against the bytes it really has and throws
// TPictureError instead of reading or writing past a buffer.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "media/SE_Display.h"

class TPictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// No side of a picture may exceed this; a larger one is an error, not an allocation.
constexpr int32_t kMaxPictureSide = 16384;

// The most pixels one picture may have (default kMaxPictureSide squared). Fuzzers lower it so
// a tiny run-length file cannot make every run allocate hundreds of megabytes.
void SetPicturePixelLimit(uint64_t pixels);
uint64_t PicturePixelLimit();

// A complete BMP file: 1, 4 and 8 bits with a palette, 8- and 4-bit run-length encoding,
// 16 bits (5-5-5 or bit fields), 24 bits, 32 bits (plain or bit fields); bottom-up and
// top-down; OS/2 core headers and the info headers up to version 5. Pixels that run-length
// data leaves out stay black, the transparent colour.
void DecodeBmp(const uint8_t* data, size_t size, TBitmap24& out);

// A complete JPEG file (baseline or progressive; grayscale, YCbCr, RGB, CMYK or YCCK).
// A file that ends before its last scan or scanline is an error, a missing end marker is not.
void DecodeJpeg(const uint8_t* data, size_t size, TBitmap24& out);

// A complete PNG file; transparent parts are laid over black.
void DecodePng(const uint8_t* data, size_t size, TBitmap24& out);

enum class TPictureKind { Unknown, Bmp, Jpeg, Png };

// Recognises a picture by its first bytes ("BM", the JPEG start marker, the PNG signature).
TPictureKind DetectPictureKind(const uint8_t* data, size_t size);

// Decodes by content; an unknown format is a TPictureError.
void DecodePicture(const uint8_t* data, size_t size, TBitmap24& out);

// Reads a whole file; a missing or unreadable file is a TPictureError naming it.
std::vector<uint8_t> ReadPictureFileBytes(const std::string& path);

// Reads a picture file and decodes it by content, whatever its extension says.
void LoadPictureFile(const std::string& path, TBitmap24& out);
