// ger: lists, extracts and packs the player's resource files (.ger) for presentation authors.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "graphics/SE_Convert.h"
#include "graphics/SE_PixelSheet.h"
#include "image/SE_Picture.h"
#include "image/SE_PngWriter.h"
#include "platform/PL_Text.h"
#include "resource/SE_Resource.h"
#include "ToolFiles.h"

namespace {

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "Usage: ger list FILE.ger\n"
    "       ger extract FILE.ger NAME [OUT] [--png]\n"
    "       ger pack OUT.ger [OPTIONS] NAME=PATH ...\n"
    "\n"
    "list     shows every entry: name, kind, image size, frame size, pixel bits, size after\n"
    "         inflating, bytes stored, and whether it is compressed.\n"
    "extract  writes an entry's data, inflated, to OUT (default: NAME with an extension that\n"
    "         fits its kind). BMP and JPEG entries come out as the files they were packed from.\n"
    "         With --png a picture entry (BMP, JPEG, raw pixels, or a data entry holding an\n"
    "         SPR picture) is written as an RGB PNG instead (default name NAME.png).\n"
    "pack     writes a new resource file with the given entries, in order; each PATH must be a\n"
    "         regular file (not a folder or a device). An option applies to every entry after it:\n"
    "  --auto         kind from the file's content: BMP, JPEG, PNG (as --raw), else --data\n"
    "  --bmp          a BMP picture, stored as it is (kind 1)\n"
    "  --jpeg         a JPEG picture, stored as it is (kind 2)\n"
    "  --raw          any BMP, JPEG or PNG picture as 16-bit 5-6-5 pixels (kind 3)\n"
    "  --object       a 3D object file (or any bytes) as it is, as a raw entry (kind 3)\n"
    "  --data         the file's bytes (kind 4)\n"
    "  --data5        the file's bytes (kind 5)\n"
    "  --compress     zlib-compress raw and data entries (pictures never are)\n"
    "  --no-compress  store them as they are (the default)\n"
    "  --frames WxH   animation frame size of picture entries; --frames auto (the default)\n"
    "                 makes it the image size\n"
    "Names hold at most 40 characters and are matched without regard to letter case.\n"
    "\n"
    "Exit status: 0 on success, 1 when a file cannot be read or written, is damaged, or has\n"
    "no such entry, 2 when the command line is wrong.\n";

struct TUsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct TToolError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) throw TToolError("cannot write " + path);
}

std::string KindName(uint8_t kind) {
  switch (kind) {
    case kResourceBmp:
      return "bmp";
    case kResourceJpeg:
      return "jpeg";
    case kResourceRaw:
      return "raw";
    case kResourceData4:
      return "data4";
    case kResourceData5:
      return "data5";
    default:
      return "other" + std::to_string(kind);
  }
}

std::string KindExtension(uint8_t kind) {
  switch (kind) {
    case kResourceBmp:
      return ".bmp";
    case kResourceJpeg:
      return ".jpg";
    case kResourceRaw:
      return ".raw";
    case kResourceData4:
    case kResourceData5:
      return ".dat";
    default:
      return ".bin";
  }
}

void OpenOrFail(TGEResource& resource, const std::string& path) {
  if (!resource.OpenPath(path)) throw TToolError(path + ": " + resource.ErrorText);
}

std::string Dimensions(int32_t width, int32_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

int List(const std::vector<std::string>& args) {
  if (args.size() != 1) throw TUsageError("list takes one file");
  TGEResource resource;
  OpenOrFail(resource, args[0]);
  std::printf("%-40s %-7s %11s %11s %4s %10s %10s %s\n", "NAME", "KIND", "IMAGE", "FRAME",
              "BITS", "SIZE", "STORED", "COMPRESSED");
  for (const TGEResourceHeader& h : resource.ListEntries()) {
    std::printf("%-40s %-7s %11s %11s %4d %10u %10u %s\n", Cp1250ToUtf8(h.Name).c_str(),
                KindName(h.Kind).c_str(), Dimensions(h.ImageWidth, h.ImageHeight).c_str(),
                Dimensions(h.FrameWidth, h.FrameHeight).c_str(), h.PixelBits, h.Size,
                h.StoredSize(), h.Compressed ? "yes" : "no");
  }
  return 0;
}

// A default output name must stay in the current folder whatever the entry is called.
std::string SafeFileName(const std::string& name) {
  std::string safe = Cp1250ToUtf8(name);
  for (char& c : safe)
    if (c == '/' || c == '\\') c = '_';
  if (safe.empty() || safe == "." || safe == "..") safe = "entry";
  return safe;
}

// A data entry that holds an SPR picture: two 16-bit sizes, then 5-6-5 pixels.
bool SprAsRaw(TGEResourceEntry& entry) {
  const std::vector<uint8_t>& d = entry.Data;
  if (d.size() < 4) return false;
  const int32_t width = d[0] | d[1] << 8, height = d[2] | d[3] << 8;
  if (width == 0 || height == 0 || d.size() - 4 < uint64_t{2} * width * height) return false;
  entry.ImageWidth = width;
  entry.ImageHeight = height;
  entry.PixelBits = 16;
  entry.Data.erase(entry.Data.begin(), entry.Data.begin() + 4);
  return true;
}

void ExtractPng(TGEResource& resource, const std::string& file, const std::string& name,
                const std::string& out) {
  TGEResourceEntry entry;
  if (!resource.ReadByName(name, entry))
    throw TToolError(file + ": " + Cp1250ToUtf8(resource.ErrorText));
  TBitmap24 picture;
  const bool rawImage = entry.Kind == kResourceRaw && entry.PixelBits != 0;
  if (entry.Image)
    picture = std::move(*entry.Image);
  else if (rawImage || (entry.Kind != kResourceRaw && SprAsRaw(entry)))
    picture = RawToBitmap(entry);
  else
    throw TToolError(Cp1250ToUtf8(entry.Name) + " holds no picture to write as PNG");
  std::string error;
  if (!WritePngBgr(out, picture.Width, picture.Height, picture.Rows.data(), error))
    throw TToolError(error);
  std::printf("%s -> %s (%dx%d PNG)\n", Cp1250ToUtf8(entry.Name).c_str(), out.c_str(),
              picture.Width, picture.Height);
}

int Extract(std::vector<std::string> args) {
  const auto png = std::find(args.begin(), args.end(), "--png");
  const bool asPng = png != args.end();
  if (asPng) args.erase(png);
  if (args.size() != 2 && args.size() != 3)
    throw TUsageError("extract takes FILE NAME [OUT] [--png]");
  TGEResource resource;
  OpenOrFail(resource, args[0]);
  const std::string name = Utf8ToCp1250(args[1]);
  if (asPng) {
    ExtractPng(resource, args[0], name, args.size() == 3 ? args[2] : SafeFileName(name) + ".png");
    return 0;
  }
  TGEResourceHeader header;
  std::vector<uint8_t> payload;
  if (!resource.ReadPayloadByName(name, header, payload))
    throw TToolError(args[0] + ": " + Cp1250ToUtf8(resource.ErrorText));
  const std::string out =
      args.size() == 3 ? args[2] : SafeFileName(header.Name) + KindExtension(header.Kind);
  WriteFileBytes(out, payload);
  std::printf("%s -> %s (%zu bytes)\n", args[1].c_str(), out.c_str(), payload.size());
  return 0;
}

// What the pack options currently say; each NAME=PATH takes a copy.
// A raw entry whose bytes are not pixels: 3D objects are stored so.
constexpr int kPackObject = 0x103;

struct TPackOptions {
  int Kind = 0;  // 0: from the file's content; else a kind, or kPackObject
  bool Compress = false;
  int32_t FrameWidth = 0;  // 0: the image size
  int32_t FrameHeight = 0;
};

void ParseFrames(const std::string& text, TPackOptions& options) {
  if (text == "auto") {
    options.FrameWidth = options.FrameHeight = 0;
    return;
  }
  int width = 0, height = 0;
  char end = 0;
  if (std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &end) != 2 || width <= 0 ||
      height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide)
    throw TUsageError("--frames wants WIDTHxHEIGHT, for example 32x32, not '" + text + "'");
  options.FrameWidth = width;
  options.FrameHeight = height;
}

TBitmap24 DecodeAs(TPictureKind wanted, const std::vector<uint8_t>& bytes,
                   const std::string& path) {
  const TPictureKind found = DetectPictureKind(bytes.data(), bytes.size());
  if (wanted != TPictureKind::Unknown && found != wanted)
    throw TToolError(path + " is not a " + (wanted == TPictureKind::Bmp ? "BMP" : "JPEG") +
                     " file");
  TBitmap24 picture;
  try {
    DecodePicture(bytes.data(), bytes.size(), picture);
  } catch (const TPictureError& e) {
    throw TToolError(path + ": " + e.what());
  }
  return picture;
}

std::vector<uint8_t> To565(const TBitmap24& picture) {
  std::vector<uint8_t> pixels(static_cast<size_t>(picture.Width) * picture.Height * 2);
  for (int32_t y = 0; y < picture.Height; ++y)
    Convert24To565(picture.Width, y, pixels.data(), picture.Row(y));
  return pixels;
}

int AutomaticKind(const std::vector<uint8_t>& bytes) {
  switch (DetectPictureKind(bytes.data(), bytes.size())) {
    case TPictureKind::Bmp:
      return kResourceBmp;
    case TPictureKind::Jpeg:
      return kResourceJpeg;
    case TPictureKind::Png:
      return kResourceRaw;
    case TPictureKind::Unknown:
      break;
  }
  return kResourceData4;
}

TResourceWriteEntry MakeEntry(const std::string& name, const std::string& path,
                              const TPackOptions& options) {
  TResourceWriteEntry entry;
  entry.Name = Utf8ToCp1250(name);
  if (entry.Name.empty()) throw TUsageError("an entry needs a name: NAME=PATH");
  if (entry.Name.size() > kResourceNameCapacity)
    throw TUsageError("entry name '" + name + "' is longer than 40 characters");
  const std::string text = ReadInputFile(path);
  std::vector<uint8_t> bytes(text.begin(), text.end());
  if (options.Kind == kPackObject) {
    entry.Kind = kResourceRaw;
    entry.Compress = options.Compress;
    entry.Payload = std::move(bytes);
    return entry;
  }
  const int kind = options.Kind ? options.Kind : AutomaticKind(bytes);
  entry.Kind = static_cast<uint8_t>(kind);
  entry.Compress = options.Compress && kind >= kResourceRaw;
  if (kind == kResourceData4 || kind == kResourceData5) {
    entry.Payload = std::move(bytes);
    return entry;
  }
  const TPictureKind wanted = kind == kResourceBmp    ? TPictureKind::Bmp
                              : kind == kResourceJpeg ? TPictureKind::Jpeg
                                                      : TPictureKind::Unknown;
  const TBitmap24 picture = DecodeAs(wanted, bytes, path);
  entry.ImageWidth = picture.Width;
  entry.ImageHeight = picture.Height;
  entry.FrameWidth = options.FrameWidth ? options.FrameWidth : picture.Width;
  entry.FrameHeight = options.FrameHeight ? options.FrameHeight : picture.Height;
  // The player refuses such an entry when it loads it; say so now, while it can be mended.
  if (entry.FrameWidth > picture.Width || entry.FrameHeight > picture.Height)
    throw TToolError(path + ": frames of " + std::to_string(entry.FrameWidth) + "x" +
                     std::to_string(entry.FrameHeight) + " do not fit its " +
                     std::to_string(picture.Width) + "x" + std::to_string(picture.Height) +
                     " picture");
  if (kind == kResourceRaw) {
    entry.PixelBits = 16;
    entry.Payload = To565(picture);
  } else {
    entry.PixelBits = 24;  // what the reader decodes the picture to
    entry.Payload = std::move(bytes);
  }
  return entry;
}

// Options change the state for what follows; anything else is NAME=PATH.
bool ApplyOption(const std::vector<std::string>& args, size_t& i, TPackOptions& options) {
  const std::string& a = args[i];
  if (a == "--auto") options.Kind = 0;
  else if (a == "--bmp") options.Kind = kResourceBmp;
  else if (a == "--jpeg") options.Kind = kResourceJpeg;
  else if (a == "--raw") options.Kind = kResourceRaw;
  else if (a == "--object") options.Kind = kPackObject;
  else if (a == "--data") options.Kind = kResourceData4;
  else if (a == "--data5") options.Kind = kResourceData5;
  else if (a == "--compress") options.Compress = true;
  else if (a == "--no-compress") options.Compress = false;
  else if (a.rfind("--frames=", 0) == 0) ParseFrames(a.substr(9), options);
  else if (a == "--frames") {
    if (++i >= args.size()) throw TUsageError("--frames needs WIDTHxHEIGHT");
    ParseFrames(args[i], options);
  } else if (a.rfind("--", 0) == 0) {
    throw TUsageError("unknown option " + a);
  } else {
    return false;
  }
  return true;
}

int Pack(const std::vector<std::string>& args) {
  if (args.empty()) throw TUsageError("pack needs an output file");
  TPackOptions options;
  std::vector<TResourceWriteEntry> entries;
  for (size_t i = 1; i < args.size(); ++i) {
    if (ApplyOption(args, i, options)) continue;
    const size_t equals = args[i].find('=');
    if (equals == std::string::npos)
      throw TUsageError("expected NAME=PATH, got '" + args[i] + "'");
    entries.push_back(MakeEntry(args[i].substr(0, equals), args[i].substr(equals + 1), options));
  }
  WriteResourceFile(args[0], entries);
  std::printf("%s: %zu entries\n", args[0].c_str(), entries.size());
  return 0;
}

int Run(const std::vector<std::string>& words) {
  if (words.empty()) throw TUsageError("no command given");
  const std::string& command = words[0];
  const std::vector<std::string> args(words.begin() + 1, words.end());
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "list") return List(args);
  if (command == "extract") return Extract(args);
  if (command == "pack") return Pack(args);
  throw TUsageError("unknown command '" + command + "'");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const TUsageError& e) {
    std::fprintf(stderr, "ger: %s\n\n%s", e.what(), kUsage);
    return kExitUsage;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ger: %s\n", e.what());
    return kExitError;
  }
}
