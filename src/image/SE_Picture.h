#pragma once
// Picture decoding: BMP, JPEG and PNG files into 24-bit rows of blue, green, red bytes. Every
// decoder checks each size a file states against the bytes it really has and throws
// TPictureError instead of reading or writing past a buffer.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/SE_Bitmap24.h"

class TPictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// No side of a picture may exceed this; a larger one is an error, not an allocation.
constexpr int32_t kMaxPictureSide = 16384;

// A decoded picture may take at most 256 MiB, counted at 4 bytes a pixel whatever the file
// stores: that is its widest form (32-bit display pixels), and it makes a picture load or fail
// alike on every display. So a picture has at most 64 Mi pixels (8192 x 8192, for example).
// Every reader checks the size a header claims against it before it allocates or inflates
// anything, so a small file cannot make us take gigabytes.
constexpr uint64_t kPictureBytesPerPixel = 4;
constexpr uint64_t kMaxPictureBytes = uint64_t{256} << 20;

// The most pixels one picture may have (default kMaxPictureBytes / kPictureBytesPerPixel).
// Fuzzers lower it so a tiny run-length file cannot make every run allocate a lot.
void SetPicturePixelLimit(uint64_t pixels);
uint64_t PicturePixelLimit();
// The limit in decoded bytes, and as the error texts show it ("256 MiB").
uint64_t PictureByteLimit();
std::string PictureLimitText();

// Whether a width x height picture stays within the decoded-size limit.
bool PictureFits(int64_t width, int64_t height);

// A picture over the decoded-size limit. Its text names the picture and the limit: "picture
// too large: NAME is 16384x16384, more than the 256 MiB limit". Decoders only know the format;
// loaders that know the file throw it again under the file's name (Naming).
class TPictureTooLarge : public TPictureError {
 public:
  TPictureTooLarge(const std::string& name, int64_t width, int64_t height);
  TPictureTooLarge Naming(const std::string& name) const { return {name, Width, Height}; }

  int64_t Width;
  int64_t Height;
};

// A picture whose decoding would go past the memory budget (base/SE_MemoryBudget.h), refused
// before anything is decoded. Its text is the budget's, naming the picture and the budget.
class TPictureOverBudget : public TPictureError {
 public:
  TPictureOverBudget(const std::string& name, uint64_t bytes);
  TPictureOverBudget Naming(const std::string& name) const { return {name, Bytes}; }

  uint64_t Bytes;
};

// A complete BMP file: 1, 4 and 8 bits with a palette, 8- and 4-bit run-length encoding,
// 16 bits (5-5-5 or bit fields), 24 bits, 32 bits (plain or bit fields); bottom-up and
// top-down; OS/2 core headers and the info headers up to version 5. Pixels that run-length
// data leaves out stay black, the transparent colour. Runs that leave the picture and palette
// indices past the stored colours are drawn as far as they go and named in `out.Damage`.
void DecodeBmp(const uint8_t* data, size_t size, TBitmap24& out);

// A complete JPEG file (baseline or progressive; grayscale, YCbCr, RGB, CMYK or YCCK).
// A file that ends before its last scan or scanline is an error, a missing end marker is not.
void DecodeJpeg(const uint8_t* data, size_t size, TBitmap24& out);

// A complete PNG file. Where it has alpha (a channel or a transparent colour), pixels below 128
// become black, the colour key, and the others opaque: black ones turn the faintest blue
// (0, 0, 8), so they stay visible.
void DecodePng(const uint8_t* data, size_t size, TBitmap24& out);

enum class TPictureKind { Unknown, Bmp, Jpeg, Png };

// Recognises a picture by its first bytes ("BM", the JPEG start marker, the PNG signature).
TPictureKind DetectPictureKind(const uint8_t* data, size_t size);

// Decodes by content; an unknown format is a TPictureError.
void DecodePicture(const uint8_t* data, size_t size, TBitmap24& out);

// Reads a whole file; a missing or unreadable file is a TPictureError naming it.
std::vector<uint8_t> ReadPictureFileBytes(const std::string& path);

// Reads a picture file and decodes it by content, whatever its extension says. A picture
// over the limit is a TPictureTooLarge naming the file, one past the budget a
// TPictureOverBudget naming it; damage it is shown despite is reported.
void LoadPictureFile(const std::string& path, TBitmap24& out);

// Says on stderr and in the log what a picture that is shown anyway has wrong: "picture
// damaged: NAME: WHAT". Nothing for a whole picture.
void ReportPictureDamage(const std::string& name, const TBitmap24& picture);
