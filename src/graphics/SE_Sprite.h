#pragma once
// The engine's image: a picture loaded once from a file or a resource entry and drawn every
// frame at a position, cut at its clip rectangle, black being transparent. Backgrounds,
// script images, button faces, font sheets and map tiles are all sprites.
//
// Memory mode keeps the pixels in a packed block in the display's format and draws them with
// the software blitters; surface mode keeps them in an off-screen surface. Memory-mode blocks
// are never written once made, so sprites that load the same picture share one
// (SE_PictureCache.h); surfaces are each sprite's own.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/SE_Object.h"
#include "graphics/SE_Blit.h"
#include "graphics/SE_Display.h"
#include "graphics/SE_PixelSheet.h"

class TGEResource;
struct TGEResourceHeader;

// A surface-backed image that can reload itself when its surface was lost.
class TCustomGESurface : public TGEObject {
 public:
  virtual bool Restore() = 0;

  std::string ResourceFile;
  std::string ResourceName;
  std::string FileName;
  std::unique_ptr<TPlatformSurface> Surface;
};

class TGESprite : public TCustomGESurface {
 public:
  // The clip rectangle as DirectDraw rectangles give it: right and bottom exclusive.
  TGESprite(TGEDisplay& display, int32_t clipLeft, int32_t clipTop, int32_t clipRight,
            int32_t clipBottom);
  ~TGESprite() override;
  TGESprite(const TGESprite&) = delete;
  TGESprite& operator=(const TGESprite&) = delete;

  // A ".SPR", ".JPG", ".BMP" or ".PNG" file, told by the extension of the file's own name in
  // any letter case (JPEG, BMP and PNG files are then decoded by their content). A missing, unknown,
  // damaged or too large file is reported and leaves the sprite unloaded.
  bool LoadFromFile(const std::string& fileName);
  // An entry whose frames do not fit its picture is refused like a damaged one.
  bool LoadFromResource(const std::string& resourceFile, const std::string& entryName,
                        bool keepInMemory);
  // Sizes of 0 or less and a negative delay keep the current value.
  void SetAnimation(int32_t frameWidth, int32_t frameHeight, int32_t delay, bool animate);
  // A frame larger than the picture is reported, and the picture stays whole.
  void SplitFrames();
  void NextFrame(int32_t step);

  void Draw();
  void DrawTransparent();
  // The part `rect` of the image (right and bottom exclusive) at (X, Y), colour-keyed.
  void DrawRect(const TRect& rect);
  void DrawFrame();
  // Cuts both rectangles at the clip rectangle; false when nothing is left.
  bool ClipRects(TRect& source, TRect& dest) const;
  // One pixel of the image as the display stores it; 0 (transparent) outside the image.
  uint32_t GetPixel(int32_t px, int32_t py);
  bool Restore() override;
  void FreeImage();
  void FreeFrames();

  // The pixels the memory-mode blitters draw: the whole image, or the current frame.
  const uint8_t* CurrentPixels() const { return Current; }

  bool KeepInMemory = false;
  int32_t ClipTop = 0, ClipBottom = 0, ClipLeft = 0, ClipRight = 0;
  int32_t FrameWidth = 0, FrameHeight = 0;
  int32_t FramesPerRow = 0;
  int32_t AnimRow = 0, AnimFrame = 0;
  uint32_t FrameDelay = 0;
  bool Animate = false;
  uint32_t LastFrameTime = 0;
  int32_t FrameCols = 0, FrameRows = 0;
  int32_t PixelSize = 0;
  std::string EntryName;
  TGEDisplay& Display;
  int32_t X = 0, Y = 0;
  int32_t Width = 0, Height = 0;
  int32_t Alpha = 255;
  TRect SourceRect;
  bool Loaded = false;
  bool Visible = true;

 private:
  void ReportError(const std::string& message);
  bool MemoryBacked() const { return !Display.SurfaceMode || KeepInMemory; }
  void LoadFromEntry(TGEResource& resource, const std::string& path,
                     const TGEResourceHeader& header);
  void CheckEntry(const TGEResourceHeader& header) const;
  // Memory-backed sprites keep the sheet; the others copy it into their surface.
  void ShowSheet(TSheetRef sheet);
  void SetImage(TSheetRef sheet);
  // Points the memory-mode drawing at the whole picture.
  void SelectImage();
  // A memory-backed sprite drawn in surface mode gets a surface made from its pixels.
  bool EnsureSurface();
  void SurfaceBlit(const TRect& source, bool keyed);
  // Tells the display where a memory-mode draw of `width` x `height` at the corner went.
  void NoteDrawnMemory(int32_t width, int32_t height);
  // Points the memory-mode drawing at frame AnimRow x FramesPerRow + AnimFrame.
  void SelectFrame();
  // Reports why the sheet cannot be cut and shows it whole.
  void ShowUncut(const std::string& message);
  TBlitSprite BlitSprite() const;
  TBlitDisplay BlitDisplay() const;

  // The whole picture, kept after it is cut into frames so it can be cut again.
  int32_t SheetWidth = 0, SheetHeight = 0;
  TSheetRef Image;                            // memory-backed sprites: the whole picture
  std::shared_ptr<const TFrameSheet> Frames;  // memory mode: the picture cut into frames
  // Spans of the selected frame, found when it is selected: kept for every frame, they would
  // cost more than the pixels of narrow frames.
  int64_t SelectedFrame = -1;
  TVisibleSpans FrameSpans;
  const uint8_t* Current = nullptr;
  const TVisibleSpans* CurrentSpans = nullptr;
};

// What LoadFromFile makes of a picture file found at `path`, in the display's format: the
// file's own extension decides how it is read. Throws with the reason when it does not load.
// Presentations can be checked with it without a sprite or a screen.
TSheetRef LoadPictureSheet(const std::string& path, const TGEDisplay& display);
// What the header of a resource entry alone refuses for a sprite: an entry that is no
// picture, an empty picture, and on a first load frames larger than the picture. Throws
// TResourceError.
void CheckPictureEntry(const TGEResourceHeader& header, bool firstLoad);

// A list that owns its sprites.
class TGESprites : public TGEObject {
 public:
  explicit TGESprites(TGEDisplay& display) : Display(display) {}
  void Clear() { Items.clear(); }
  // Takes a sprite out of the list without freeing it; the caller owns it from then on.
  std::unique_ptr<TGESprite> Remove(TGESprite* sprite);

  std::vector<std::unique_ptr<TGESprite>> Items;
  TGEDisplay& Display;
};
