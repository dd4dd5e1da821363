#pragma once
#include <string>

#include "platform/PL_Surface.h"

// Writes a surface as an 8-bit RGB PNG. 5- and 6-bit channels are widened by repeating their
// top bits (v << 3 | v >> 2, v << 2 | v >> 4), so white stays white and black black.
bool WritePng(const std::string& path, TPlatformSurface& surface, std::string& error);
// Writes `width` x `height` pixels of blue, green, red bytes, row after row, as an RGB PNG.
bool WritePngBgr(const std::string& path, int32_t width, int32_t height, const uint8_t* bgr,
                 std::string& error);
