#pragma once
// The engine's display: the screen mode, the per-frame present, and the display's own text.
#include <cstdint>
#include <string>

#include "engine/SE_NoticeBand.h"
#include "graphics/SE_Display.h"

class TGEFont;

class TGEDDraw : public TGEDisplay {
 public:
  // Surface mode is chosen when asked for ("HARDWARE"): our surface device blits, keys and
  // stretches, which is all that mode needs.
  TGEDDraw(bool windowed, bool hardware, bool flip);

  // Sets up buffers and surfaces for the mode the screen was opened with. A size or depth
  // the display cannot take ends the process with the display's fatal message.
  bool SetMode(int32_t width, int32_t height, int32_t bitDepth, bool flip, bool rgb555);
  void SetWaitRetrace(bool on);

  // The present steps: what changed of the work buffer into the render target, then onto
  // the screen.
  void CopyWorkBuffer();
  void FlipSurface();
  void BlitToWindow();

  // Plain text in one colour onto the frame being composed, in the shapes of the engine
  // font's fixed face (nothing when there is no font); `color` is a GDI colour (0x00BBGGRR).
  void TextOut(int32_t x, int32_t y, const std::string& text, uint32_t color);
  TGEFont* TextFont = nullptr;  // the engine's font, set once it exists

  // The player's notices over the frames shown, not part of the presentation.
  TNoticeBand Notice;
  // The frame last shown, as the screen shows it (notices too), at the presentation's size.
  bool WriteShownPng(const std::string& path, std::string& error);

  bool Windowed = false;
  bool Flip = false;
  bool WaitRetrace = false;
  uint32_t FlipFlags = 9;  // wait for the flip; 8 adds "no vertical-sync wait"
  bool CanBlit = true, CanColorKey = true, CanStretch = true;

 private:
  // Hands the frame and what changed in it to the host; the next frame starts unchanged.
  void PresentChanges(bool waitRetrace);
};
