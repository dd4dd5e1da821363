#include "media/SE_Sprite.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "media/SE_Convert.h"
#include "media/SE_Picture.h"
#include "media/SE_Resource.h"
#include "platform/PL_Host.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Text.h"

namespace {

constexpr int32_t kEntryFrameDelay = 40;

uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Rebuilds a raw block of another depth as a picture, so that it reaches the display's format
// through the same converters as a BMP would. 16-bit data is 5-6-5, 15-bit 5-5-5; the 8-bit
// form starts with 256 colours in 5-6-5.
TBitmap24 RawToBitmap(const TGEResourceEntry& entry) {
  TBitmap24 image;
  image.Width = entry.ImageWidth;
  image.Height = entry.ImageHeight;
  const size_t count = static_cast<size_t>(image.Width) * image.Height;
  image.Rows.resize(count * 3);
  const uint8_t* data = entry.Data.data();
  const auto put565 = [](uint8_t* out, uint16_t v) {
    const uint8_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    out[0] = static_cast<uint8_t>(b << 3 | b >> 2);
    out[1] = static_cast<uint8_t>(g << 2 | g >> 4);
    out[2] = static_cast<uint8_t>(r << 3 | r >> 2);
  };
  for (size_t i = 0; i < count; ++i) {
    uint8_t* out = &image.Rows[i * 3];
    switch (entry.PixelBits) {
      case 8:
        put565(out, ReadLe16(data + 2 * data[512 + i]));
        break;
      case 15: {
        const uint16_t v = ReadLe16(data + 2 * i);
        put565(out, static_cast<uint16_t>((v & 0x7FE0) << 1 | (v & 0x1F)));
        break;
      }
      case 16:
        put565(out, ReadLe16(data + 2 * i));
        break;
      default: {  // 24 and 32: blue, green, red first
        const size_t step = entry.PixelBits / 8;
        std::memcpy(out, data + i * step, 3);
      }
    }
  }
  return image;
}

}  // namespace

TGESprite::TGESprite(TGEDisplay& display, int32_t clipLeft, int32_t clipTop, int32_t clipRight,
                     int32_t clipBottom)
    : ClipTop(clipTop), ClipBottom(clipBottom), ClipLeft(clipLeft), ClipRight(clipRight),
      Display(display) {
  if (!display.SurfaceMode) {
    // Memory mode keeps the last writable column and row.
    ClipRight = clipRight - 1;
    ClipBottom = clipBottom - 1;
  }
}

TGESprite::~TGESprite() {
  FreeImage();
  FreeFrames();
}

void TGESprite::ReportError(const std::string& message) {
  ErrorText = message;
  Ready = false;
  // The message box also goes to stderr, where the debugger output would repeat it.
  Host().ShowMessage("", message);
}

bool TGESprite::LoadFromFile(const std::string& fileName) {
  const std::string path = ResolveScriptPath(fileName);
  bool result = false;
  if (IsRegularFile(path)) {
    const std::string upper = UpperAscii(path);
    FreeFrames();
    FreeImage();
    try {
      LoadFile(path, upper);
      result = Loaded = Width > 0 && Height > 0;
    } catch (const std::exception& error) {
      // The damage itself goes to the debugger output; the box keeps the engine's wording.
      DebugOutput(std::string("[GE Sprite] ") + error.what());
      FreeImage();
      Width = Height = 0;
    }
    SourceRect = TRect{0, 0, Width, Height};
  }
  if (!result) ReportError("[GE Sprite] Load error! File: " + fileName);
  Loaded = result;
  SheetWidth = Width;
  SheetHeight = Height;
  if (Loaded && FrameWidth != 0 && FrameHeight != 0) SplitFrames();
  return result;
}

void TGESprite::LoadFile(const std::string& path, const std::string& upperPath) {
  if (upperPath.find(".SPR") != std::string::npos) {
    ReadSprFile(path);
    if (Display.SurfaceMode) {
      Surface = Display.CreateOffscreenSurface(Width, Height, false);
      Display.CopyPixelsToSurface(Image.Bytes.data(), 0, 0, Width, Height, Display.Depth,
                                  *Surface);
      FileName = path;
      if (!KeepInMemory) SetPixels({});
    }
    return;
  }
  if (upperPath.find(".JPG") == std::string::npos && upperPath.find(".BMP") == std::string::npos)
    throw TPictureError("not a .SPR, .JPG or .BMP file: " + path);
  TBitmap24 picture;
  LoadPictureFile(path, picture);
  TakeImage(picture);
  if (Display.SurfaceMode) FileName = path;
}

void TGESprite::ReadSprFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw TPictureError("cannot open " + path);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                             std::istreambuf_iterator<char>());
  if (file.bad()) throw TPictureError("cannot read " + path);
  if (bytes.size() < 4) throw TPictureError(path + " has no picture size");
  Width = ReadLe16(bytes.data());
  Height = ReadLe16(bytes.data() + 2);
  if (Width == 0 || Height == 0) throw TPictureError(path + " holds an empty picture");
  const uint64_t need = static_cast<uint64_t>(Width) * Height * Display.BytesPerPixel;
  if (bytes.size() - 4 < need)
    throw TPictureError(path + " holds " + std::to_string(bytes.size() - 4) +
                        " bytes of pixels, its " + std::to_string(Width) + "x" +
                        std::to_string(Height) + " picture needs " + std::to_string(need));
  std::vector<uint8_t> pixels(bytes.begin() + 4, bytes.begin() + 4 + static_cast<int64_t>(need));
  if (Display.Depth == 16 && Display.Is555)
    Convert565To555(pixels.data(), static_cast<int32_t>(pixels.size()));
  SetPixels(std::move(pixels));
}

void TGESprite::TakeImage(const TBitmap24& image) {
  Width = image.Width;
  Height = image.Height;
  std::vector<uint8_t> pixels(static_cast<size_t>(Width) * Height * Display.BytesPerPixel);
  Display.ConvertImageToPixels(image, pixels.data());
  if (MemoryBacked()) {
    SetPixels(std::move(pixels));
    return;
  }
  if (!Surface || Surface->Width() != Width || Surface->Height() != Height)
    Surface = Display.CreateOffscreenSurface(Width, Height, false);
  Display.CopyPixelsToSurface(pixels.data(), 0, 0, Width, Height, Display.Depth, *Surface);
}

void TGESprite::SetPixels(std::vector<uint8_t> bytes) {
  Image.Bytes = std::move(bytes);
  Image.Spans = Image.Bytes.empty()
                    ? TVisibleSpans{}
                    : FindVisibleSpans(Image.Bytes.data(), Width, Height, Display.BytesPerPixel);
  Current = Image.Bytes.empty() ? nullptr : Image.Bytes.data();
  CurrentSpans = Current ? &Image.Spans : nullptr;
  PixelSize = static_cast<int32_t>(Image.Bytes.size());
}

bool TGESprite::LoadFromResource(const std::string& resourceFile, const std::string& entryName,
                                 bool keepInMemory) {
  KeepInMemory = keepInMemory;
  TGEResource resource;
  try {
    if (!resource.Open(resourceFile)) {
      ReportError(resource.ErrorText);
      return false;
    }
    TGEResourceEntry entry;
    if (!resource.ReadByName(entryName, entry)) {
      ReportError(resource.ErrorText);
      return false;
    }
    LoadFromEntry(entry);
  } catch (const std::exception& error) {
    // A damaged file or entry is reported like a missing one and play goes on.
    ReportError(error.what());
    return false;
  }
  if (Surface) {
    ResourceFile = resourceFile;
    ResourceName = entryName;
  }
  return true;
}

void TGESprite::LoadFromEntry(TGEResourceEntry& entry) {
  if (entry.Kind < kResourceBmp || entry.Kind > kResourceRaw)
    throw TResourceError(entry.Name + " resource is not a picture! (LoadFromResource)");
  if (entry.ImageWidth <= 0 || entry.ImageHeight <= 0)
    throw TResourceError(entry.Name + " resource holds an empty picture! (LoadFromResource)");
  if (!Loaded) {
    EntryName = entry.Name;
    Width = SheetWidth = entry.ImageWidth;
    Height = SheetHeight = entry.ImageHeight;
  } else if (entry.ImageWidth != SheetWidth || entry.ImageHeight != SheetHeight) {
    throw TResourceError(entry.Name + " resource changed its size! (LoadFromResource)");
  }
  // Conversion works on the whole sheet; frames are cut again afterwards.
  const int32_t frameWidth = Width, frameHeight = Height;
  Width = SheetWidth;
  Height = SheetHeight;
  const bool sameDepth = entry.Kind == kResourceRaw && entry.PixelBits == Display.Depth;
  if (sameDepth) {
    std::vector<uint8_t> pixels(entry.Data.begin(),
                                entry.Data.begin() + static_cast<int64_t>(RawImageBytes(
                                                         Width, Height, entry.PixelBits)));
    if (Display.Depth == 16 && Display.Is555)
      Convert565To555(pixels.data(), static_cast<int32_t>(pixels.size()));
    if (MemoryBacked()) {
      SetPixels(std::move(pixels));
    } else {
      if (!Surface) Surface = Display.CreateOffscreenSurface(Width, Height, false);
      Display.CopyPixelsToSurface(pixels.data(), 0, 0, Width, Height, Display.Depth, *Surface);
    }
  } else {
    // Pictures, and raw blocks of another depth (8-bit ones through their colour table).
    TakeImage(entry.Kind == kResourceRaw ? RawToBitmap(entry) : *entry.Image);
  }
  if (Loaded) {
    Width = frameWidth;
    Height = frameHeight;
    if (FrameWidth != 0 && FrameHeight != 0) SplitFrames();
    return;
  }
  if (entry.FrameFlag == 0 &&
      (entry.FrameWidth != entry.ImageWidth || entry.FrameHeight != entry.ImageHeight))
    SetAnimation(entry.FrameWidth, entry.FrameHeight, kEntryFrameDelay, true);
  SourceRect = TRect{0, 0, Width, Height};
  Loaded = true;
  if (FrameWidth != 0 && FrameHeight != 0) SplitFrames();
}

void TGESprite::SetAnimation(int32_t frameWidth, int32_t frameHeight, int32_t delay,
                             bool animate) {
  if (frameWidth > 0) FrameWidth = frameWidth;
  if (frameHeight > 0) FrameHeight = frameHeight;
  if (delay >= 0) FrameDelay = static_cast<uint32_t>(delay);
  Animate = animate;
  if (Loaded) SplitFrames();
}

void TGESprite::SplitFrames() {
  if (FrameWidth <= 0 || FrameHeight <= 0) return;
  // Always from the whole sheet, so a sprite can be cut again with another frame size.
  FrameCols = SheetWidth / FrameWidth;
  FrameRows = SheetHeight / FrameHeight;
  FramesPerRow = FrameCols;
  if (!Image.Bytes.empty()) {
    FreeFrames();
    const int32_t bpp = Display.BytesPerPixel;
    const size_t rowBytes = static_cast<size_t>(FrameWidth) * bpp;
    const size_t sheetRowBytes = static_cast<size_t>(SheetWidth) * bpp;
    Frames.resize(static_cast<size_t>(FrameRows) * FrameCols);
    for (int32_t j = 0; j < FrameRows; ++j) {
      for (int32_t k = 0; k < FrameCols; ++k) {
        TPixelBlock& frame = Frames[static_cast<size_t>(j) * FrameCols + k];
        frame.Bytes.resize(rowBytes * FrameHeight);
        for (int32_t b = 0; b < FrameHeight; ++b)
          std::memcpy(frame.Bytes.data() + b * rowBytes,
                      Image.Bytes.data() + (static_cast<size_t>(j) * FrameHeight + b) *
                                               sheetRowBytes + k * rowBytes,
                      rowBytes);
        frame.Spans = FindVisibleSpans(frame.Bytes.data(), FrameWidth, FrameHeight, bpp);
      }
    }
    SelectFrame();
  }
  Width = FrameWidth;
  Height = FrameHeight;
  SourceRect = TRect{0, 0, FrameWidth, FrameHeight};
}

void TGESprite::SelectFrame() {
  if (Frames.empty()) {
    // A frame larger than the sheet leaves nothing to show.
    Current = nullptr;
    CurrentSpans = nullptr;
    return;
  }
  const int64_t index = static_cast<int64_t>(AnimRow) * FramesPerRow + AnimFrame;
  if (index < 0 || index >= static_cast<int64_t>(Frames.size())) return;
  Current = Frames[static_cast<size_t>(index)].Bytes.data();
  CurrentSpans = &Frames[static_cast<size_t>(index)].Spans;
}

void TGESprite::NextFrame(int32_t step) {
  if (FramesPerRow <= 0) return;
  if (Display.CurrentTime - LastFrameTime < FrameDelay) return;
  AnimFrame += step;
  if (AnimFrame >= FramesPerRow || AnimFrame < 0) {
    AnimFrame %= FramesPerRow;
    if (AnimFrame < 0) AnimFrame += FramesPerRow;
  }
  LastFrameTime = Display.CurrentTime;
}

TBlitSprite TGESprite::BlitSprite() const {
  TBlitSprite sprite;
  sprite.Pixels = Current;
  sprite.Width = Width;
  sprite.Height = Height;
  sprite.X = X;
  sprite.Y = Y;
  sprite.Alpha = Alpha;
  sprite.ClipLeft = ClipLeft;
  sprite.ClipTop = ClipTop;
  sprite.ClipRight = ClipRight;
  sprite.ClipBottom = ClipBottom;
  sprite.Spans = CurrentSpans;
  return sprite;
}

TBlitDisplay TGESprite::BlitDisplay() const {
  return TBlitDisplay{Display.Depth, Display.Is555, Display.HasMMX};
}

bool TGESprite::EnsureSurface() {
  if (Surface) return true;
  if (Image.Bytes.empty() || SheetWidth <= 0 || SheetHeight <= 0) return false;
  Surface = Display.CreateOffscreenSurface(SheetWidth, SheetHeight, false);
  Display.CopyPixelsToSurface(Image.Bytes.data(), 0, 0, SheetWidth, SheetHeight, Display.Depth,
                              *Surface);
  return true;
}

void TGESprite::SurfaceBlit(const TRect& source, bool keyed) {
  if (!EnsureSurface()) return;
  TRect from = source;
  TRect to{X, Y, X + source.Width(), Y + source.Height()};
  if (!ClipRects(from, to)) return;
  if (keyed)
    Display.DrawSurface(*Surface, from, to);
  else
    Display.PutSurface(*Surface, from, to);
}

void TGESprite::Draw() {
  if (!Visible) return;
  if (Display.SurfaceMode) {
    SurfaceBlit(SourceRect, false);
  } else if (Current) {
    DrawMemory(BlitSprite(), DrawTarget, BlitDisplay());
  }
}

void TGESprite::DrawTransparent() {
  if (!Visible) return;
  if (Display.SurfaceMode) {
    SurfaceBlit(SourceRect, true);
  } else if (Current) {
    DrawTransparentMemory(BlitSprite(), DrawTarget, BlitDisplay());
  }
}

void TGESprite::DrawRect(const TRect& rect) {
  if (!Visible) return;
  if (Display.SurfaceMode) {
    SurfaceBlit(rect, true);
  } else if (Current) {
    DrawRectMemory(BlitSprite(), rect, DrawTarget, BlitDisplay());
  }
}

void TGESprite::DrawFrame() {
  if (!Visible) return;
  if (FramesPerRow <= 0) {
    // Never cut into frames: the whole picture is its only frame.
    DrawTransparent();
    return;
  }
  if (Animate) NextFrame(1);
  if (Display.SurfaceMode) {
    const int32_t left = AnimFrame * FrameWidth, top = AnimRow * FrameHeight;
    SurfaceBlit(TRect{left, top, left + FrameWidth, top + FrameHeight}, true);
    return;
  }
  SelectFrame();
  if (Current) DrawTransparentMemory(BlitSprite(), DrawTarget, BlitDisplay());
}

bool TGESprite::ClipRects(TRect& source, TRect& dest) const {
  if (dest.Left > Display.Width || dest.Right < 0 || dest.Top > Display.Height || dest.Bottom < 0)
    return false;
  // Memory mode keeps the last writable column and row; the rectangles here are exclusive.
  const int32_t clipRight = Display.SurfaceMode ? ClipRight : ClipRight + 1;
  const int32_t clipBottom = Display.SurfaceMode ? ClipBottom : ClipBottom + 1;
  if (dest.Left < ClipLeft) source.Left += ClipLeft - dest.Left, dest.Left = ClipLeft;
  if (dest.Top < ClipTop) source.Top += ClipTop - dest.Top, dest.Top = ClipTop;
  if (dest.Right > clipRight) source.Right -= dest.Right - clipRight, dest.Right = clipRight;
  if (dest.Bottom > clipBottom)
    source.Bottom -= dest.Bottom - clipBottom, dest.Bottom = clipBottom;
  return dest.Left < dest.Right && dest.Top < dest.Bottom && source.Left < source.Right &&
         source.Top < source.Bottom;
}

uint32_t TGESprite::GetPixel(int32_t px, int32_t py) {
  const uint8_t* at = nullptr;
  const int32_t bpp = Display.BytesPerPixel;
  if (Display.SurfaceMode && Surface) {
    if (px < 0 || py < 0 || px >= Surface->Width() || py >= Surface->Height()) return 0;
    at = Surface->Pixels() + static_cast<int64_t>(py) * Surface->Pitch() + px * bpp;
  } else {
    if (!Current || px < 0 || py < 0 || px >= Width || py >= Height) return 0;
    at = Current + (static_cast<int64_t>(py) * Width + px) * bpp;
  }
  switch (bpp) {
    case 2:
      return ReadLe16(at);
    case 3:
      return at[0] | at[1] << 8 | at[2] << 16;
    default: {
      uint32_t value;
      std::memcpy(&value, at, 4);
      return value;
    }
  }
}

bool TGESprite::Restore() {
  if (!Surface) return false;
  if (!ResourceFile.empty() && !ResourceName.empty())
    return LoadFromResource(ResourceFile, ResourceName, false);
  if (!FileName.empty()) return LoadFromFile(FileName);
  return false;
}

void TGESprite::FreeImage() {
  SetPixels({});
  Surface.reset();
}

void TGESprite::FreeFrames() {
  Frames.clear();
  Current = Image.Bytes.empty() ? nullptr : Image.Bytes.data();
  CurrentSpans = Current ? &Image.Spans : nullptr;
}

std::unique_ptr<TGESprite> TGESprites::Remove(TGESprite* sprite) {
  auto found = std::find_if(Items.begin(), Items.end(),
                            [sprite](const auto& item) { return item.get() == sprite; });
  if (found == Items.end()) return nullptr;
  std::unique_ptr<TGESprite> owned = std::move(*found);
  Items.erase(found);
  return owned;
}
