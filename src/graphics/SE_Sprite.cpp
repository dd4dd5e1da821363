#include "graphics/SE_Sprite.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "base/SE_SafeMath.h"
#include "graphics/SE_PictureCache.h"
#include "image/SE_Picture.h"
#include "platform/PL_Host.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Text.h"
#include "resource/SE_Resource.h"

namespace {

constexpr int32_t kEntryFrameDelay = 40;

uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

std::string SizeText(int64_t width, int64_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

enum class TFileKind { Unknown, Spr, Picture };

// The extension of the file's own name decides; folders may be called anything ("pics.spr").
TFileKind FileKindOf(const std::string& path) {
  const std::string name = UpperAscii(std::filesystem::path(path).filename().string());
  const size_t dot = name.rfind('.');
  const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  if (extension == ".SPR") return TFileKind::Spr;
  if (extension == ".JPG" || extension == ".BMP" || extension == ".PNG") return TFileKind::Picture;
  return TFileKind::Unknown;
}

// A resource entry's own frame size is taken unless its flag says otherwise or it is the
// whole picture.
bool EntryAnimates(const TGEResourceHeader& header) {
  return header.FrameFlag == 0 &&
         (header.FrameWidth != header.ImageWidth || header.FrameHeight != header.ImageHeight);
}

// Rectangles of positions and sizes from scripts: their sums can pass the int32 range, so the
// clip works in 64 bits and only what survives it goes back into a TRect.
struct TWideRect {
  int64_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

TWideRect Widen(const TRect& rect) { return {rect.Left, rect.Top, rect.Right, rect.Bottom}; }

TRect Narrow(const TWideRect& rect) {
  return {ClampToInt32(rect.Left), ClampToInt32(rect.Top), ClampToInt32(rect.Right),
          ClampToInt32(rect.Bottom)};
}

// Both rectangles right- and bottom-exclusive, in either mode.
bool ClipToSprite(const TGESprite& sprite, TWideRect& source, TWideRect& dest) {
  const TGEDisplay& display = sprite.Display;
  if (dest.Left > display.Width || dest.Right < 0 || dest.Top > display.Height || dest.Bottom < 0)
    return false;
  // Memory mode keeps the last writable column and row.
  const int64_t extra = display.SurfaceMode ? 0 : 1;
  const int64_t clipRight = sprite.ClipRight + extra, clipBottom = sprite.ClipBottom + extra;
  if (dest.Left < sprite.ClipLeft)
    source.Left += sprite.ClipLeft - dest.Left, dest.Left = sprite.ClipLeft;
  if (dest.Top < sprite.ClipTop) source.Top += sprite.ClipTop - dest.Top, dest.Top = sprite.ClipTop;
  if (dest.Right > clipRight) source.Right -= dest.Right - clipRight, dest.Right = clipRight;
  if (dest.Bottom > clipBottom) source.Bottom -= dest.Bottom - clipBottom, dest.Bottom = clipBottom;
  return dest.Left < dest.Right && dest.Top < dest.Bottom && source.Left < source.Right &&
         source.Top < source.Bottom;
}

}  // namespace

TGESprite::TGESprite(TGEDisplay& display, int32_t clipLeft, int32_t clipTop, int32_t clipRight,
                     int32_t clipBottom)
    : ClipTop(clipTop), ClipBottom(clipBottom), ClipLeft(clipLeft), ClipRight(clipRight),
      Display(display) {
  if (!display.SurfaceMode) {
    // Memory mode keeps the last writable column and row.
    ClipRight = SaturatedSub(clipRight, 1);
    ClipBottom = SaturatedSub(clipBottom, 1);
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
    FreeFrames();
    FreeImage();
    try {
      ShowSheet(LoadPictureSheet(path, Display));
      if (Display.SurfaceMode) FileName = path;
      result = true;
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

TSheetRef LoadPictureSheet(const std::string& path, const TGEDisplay& display) {
  const TFileKind kind = FileKindOf(path);
  if (kind == TFileKind::Unknown) throw TPictureError("not a .SPR, .JPG, .BMP or .PNG file: " + path);
  return SharedSheet(PictureKeyOf(path, "", display), [&] {
    if (kind == TFileKind::Spr) return ReadSprSheet(path, display);
    TBitmap24 picture;
    LoadPictureFile(path, picture);
    return SheetFromPicture(picture, display, path);
  });
}

void TGESprite::ShowSheet(TSheetRef sheet) {
  Width = sheet->Width;
  Height = sheet->Height;
  if (MemoryBacked()) return SetImage(std::move(sheet));
  if (!Surface || Surface->Width() != Width || Surface->Height() != Height)
    Surface = Display.CreateOffscreenSurface(Width, Height, false);
  Display.CopyPixelsToSurface(sheet->Bytes.data(), 0, 0, Width, Height, Display.Depth, *Surface);
}

void TGESprite::SetImage(TSheetRef sheet) {
  Image = std::move(sheet);
  PixelSize = Image ? static_cast<int32_t>(Image->Bytes.size()) : 0;
  SelectImage();
}

void TGESprite::SelectImage() {
  Current = Image ? Image->Bytes.data() : nullptr;
  CurrentSpans = Image ? &Image->Spans : nullptr;
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
    TGEResourceHeader header;
    if (!resource.ReadHeaderByName(entryName, header)) {
      ReportError(resource.ErrorText);
      return false;
    }
    LoadFromEntry(resource, ResolveScriptPath(resourceFile), header);
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

void CheckPictureEntry(const TGEResourceHeader& header, bool firstLoad) {
  if (header.Kind < kResourceBmp || header.Kind > kResourceRaw)
    throw TResourceError(header.Name + " resource is not a picture! (LoadFromResource)");
  if (header.ImageWidth <= 0 || header.ImageHeight <= 0)
    throw TResourceError(header.Name + " resource holds an empty picture! (LoadFromResource)");
  if (firstLoad && EntryAnimates(header) &&
      (header.FrameWidth > header.ImageWidth || header.FrameHeight > header.ImageHeight))
    throw TResourceError(header.Name + " resource has frames of " +
                         SizeText(header.FrameWidth, header.FrameHeight) + ", larger than its " +
                         SizeText(header.ImageWidth, header.ImageHeight) +
                         " picture! (LoadFromResource)");
}

// Everything the header alone can refuse is refused before any data is read.
void TGESprite::CheckEntry(const TGEResourceHeader& header) const {
  CheckPictureEntry(header, !Loaded);
  if (Loaded && (header.ImageWidth != SheetWidth || header.ImageHeight != SheetHeight))
    throw TResourceError(header.Name + " resource changed its size! (LoadFromResource)");
}

void TGESprite::LoadFromEntry(TGEResource& resource, const std::string& path,
                              const TGEResourceHeader& header) {
  CheckEntry(header);
  TSheetRef sheet = SharedSheet(PictureKeyOf(path, header.Name, Display), [&] {
    TGEResourceEntry entry;
    if (!resource.ReadByName(header.Name, entry)) throw TResourceError(resource.ErrorText);
    return SheetFromEntry(entry, Display);
  });
  if (!Loaded) EntryName = header.Name;
  // The whole sheet is shown again; frames are cut again afterwards.
  const int32_t frameWidth = Width, frameHeight = Height;
  ShowSheet(std::move(sheet));
  SheetWidth = Width;
  SheetHeight = Height;
  if (Loaded) {
    Width = frameWidth;
    Height = frameHeight;
    if (FrameWidth != 0 && FrameHeight != 0) SplitFrames();
    return;
  }
  if (EntryAnimates(header))
    SetAnimation(header.FrameWidth, header.FrameHeight, kEntryFrameDelay, true);
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
  if (Loaded && (FrameWidth > SheetWidth || FrameHeight > SheetHeight))
    // Not even one frame: better the whole picture than nothing, or a surface blit from
    // outside the picture.
    return ShowUncut("[GE Sprite] Frames of " + SizeText(FrameWidth, FrameHeight) +
                     " do not fit the " + SizeText(SheetWidth, SheetHeight) + " picture!");
  // Taken before the old cut is let go, so cutting again alike finds it still there.
  std::shared_ptr<const TFrameSheet> frames;
  try {
    if (Image) frames = SharedFrames(Image, FrameWidth, FrameHeight, Display.BytesPerPixel);
  } catch (const TMemoryBudgetError& error) {
    return ShowUncut(error.what());
  }
  // Always from the whole sheet, so a sprite can be cut again with another frame size.
  FrameCols = SheetWidth / FrameWidth;
  FrameRows = SheetHeight / FrameHeight;
  FramesPerRow = FrameCols;
  if (Image) {
    FreeFrames();
    Frames = std::move(frames);
    SelectFrame();
  }
  Width = FrameWidth;
  Height = FrameHeight;
  SourceRect = TRect{0, 0, FrameWidth, FrameHeight};
}

void TGESprite::ShowUncut(const std::string& message) {
  ReportError(message);
  FreeFrames();
  FrameCols = FrameRows = FramesPerRow = 0;
  Width = SheetWidth;
  Height = SheetHeight;
  SourceRect = TRect{0, 0, Width, Height};
}

void TGESprite::SelectFrame() {
  if (!Frames) {
    Current = nullptr;
    CurrentSpans = nullptr;
    return;
  }
  const int64_t index = int64_t{AnimRow} * FramesPerRow + AnimFrame;
  if (index < 0 || index >= Frames->Count()) return;
  Current = Frames->Frame(index);
  if (index != SelectedFrame) {
    FrameSpans = FindVisibleSpans(Current, Frames->Width, Frames->Height, Display.BytesPerPixel);
    SelectedFrame = index;
  }
  CurrentSpans = &FrameSpans;
}

void TGESprite::NextFrame(int32_t step) {
  if (FramesPerRow <= 0) return;
  if (Display.CurrentTime - LastFrameTime < FrameDelay) return;
  int64_t frame = int64_t{AnimFrame} + step;
  if (frame >= FramesPerRow || frame < 0) {
    frame %= FramesPerRow;
    if (frame < 0) frame += FramesPerRow;
  }
  AnimFrame = static_cast<int32_t>(frame);
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
  if (!Image) return false;
  Surface = Display.CreateOffscreenSurface(Image->Width, Image->Height, false);
  Display.CopyPixelsToSurface(Image->Bytes.data(), 0, 0, Image->Width, Image->Height, Display.Depth,
                              *Surface);
  return true;
}

void TGESprite::SurfaceBlit(const TRect& source, bool keyed) {
  if (!EnsureSurface()) return;
  TWideRect from = Widen(source);
  TWideRect to{X, Y, X + (from.Right - from.Left), Y + (from.Bottom - from.Top)};
  if (!ClipToSprite(*this, from, to)) return;
  if (keyed)
    Display.DrawSurface(*Surface, Narrow(from), Narrow(to));
  else
    Display.PutSurface(*Surface, Narrow(from), Narrow(to));
}

void TGESprite::Draw() {
  if (!Visible) return;
  if (Display.SurfaceMode) {
    SurfaceBlit(SourceRect, false);
  } else if (Current) {
    DrawMemory(BlitSprite(), DrawTarget, BlitDisplay());
    NoteDrawnMemory(Width, Height);
  }
}

void TGESprite::DrawTransparent() {
  if (!Visible) return;
  if (Display.SurfaceMode) {
    SurfaceBlit(SourceRect, true);
  } else if (Current) {
    DrawTransparentMemory(BlitSprite(), DrawTarget, BlitDisplay());
    NoteDrawnMemory(Width, Height);
  }
}

void TGESprite::DrawRect(const TRect& rect) {
  if (!Visible) return;
  if (Display.SurfaceMode) {
    SurfaceBlit(rect, true);
  } else if (Current) {
    DrawRectMemory(BlitSprite(), rect, DrawTarget, BlitDisplay());
    NoteDrawnMemory(rect.Width(), rect.Height());
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
    const int64_t left = int64_t{AnimFrame} * FrameWidth, top = int64_t{AnimRow} * FrameHeight;
    SurfaceBlit(Narrow({left, top, left + FrameWidth, top + FrameHeight}), true);
    return;
  }
  SelectFrame();
  if (!Current) return;
  DrawTransparentMemory(BlitSprite(), DrawTarget, BlitDisplay());
  NoteDrawnMemory(Width, Height);
}

void TGESprite::NoteDrawnMemory(int32_t width, int32_t height) {
  Display.NoteDrawn(DrawTarget, X, Y, int64_t{X} + width, int64_t{Y} + height);
}

bool TGESprite::ClipRects(TRect& source, TRect& dest) const {
  TWideRect from = Widen(source), to = Widen(dest);
  const bool visible = ClipToSprite(*this, from, to);
  source = Narrow(from);
  dest = Narrow(to);
  return visible;
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
  SetImage(nullptr);
  Surface.reset();
}

void TGESprite::FreeFrames() {
  Frames.reset();
  SelectedFrame = -1;
  FrameSpans = {};
  SelectImage();
}

std::unique_ptr<TGESprite> TGESprites::Remove(TGESprite* sprite) {
  auto found = std::find_if(Items.begin(), Items.end(),
                            [sprite](const auto& item) { return item.get() == sprite; });
  if (found == Items.end()) return nullptr;
  std::unique_ptr<TGESprite> owned = std::move(*found);
  Items.erase(found);
  return owned;
}
