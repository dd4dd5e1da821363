#pragma once
// A band of the player's own text over the bottom of the frame the screen shows (the
// mistakes of a script being watched). It is put on the finished frame just before the frame
// goes to the screen and taken off just after, so the presentation's pixels never change
// under it, and when it goes the screen gets them back.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/PL_FrameChanges.h"
#include "platform/PL_Surface.h"

class TNoticeBand {
 public:
  static constexpr size_t kMostLines = 6;
  // UTF-8 lines, shown from the next frame on; none takes the band away. Lines past
  // kMostLines are counted in the last one; letters the font lacks lose their accents.
  void Show(const std::vector<std::string>& lines);
  bool Showing() const { return !Lines.empty(); }

  // Draws the band on `frame`, keeping what it covers, and adds where it lies to `changes`;
  // when it has gone since, adds where it lay, so the screen gets those pixels back.
  void Stamp(TPlatformSurface& frame, TFrameChanges& changes);
  // Puts back what the last Stamp covered.
  void Unstamp(TPlatformSurface& frame);

 private:
  std::vector<std::string> Lines;  // as the font draws them
  TRect Covered;                   // where the band lay when last shown
  std::vector<uint8_t> Saved;      // the rows it covers, while it is on the frame
  bool Stamped = false;
};

// `text` with the accented letters of Latin alphabets as their plain letters and anything
// else outside printable ASCII as "?".
std::string PlainAscii(const std::string& text);
