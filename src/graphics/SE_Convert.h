#pragma once
// Pixel conversions used by picture loading, the display and 3D textures. Sources are
// 24-bit device-independent bitmap scanlines (blue, green, red bytes per pixel).
#include <cstdint>

// Rewrites byteSize / 2 pixels of a 5-6-5 block as 5-5-5 in place; the lowest green bit is
// dropped. A trailing odd byte is left alone.
void Convert565To555(void* block, int32_t byteSize);

// Each converts one scanline of `count` pixels into row `row` of a packed block that is
// `count` pixels wide, so a picture is converted by calling it once per scanline.
void Convert24To565(int32_t count, int32_t row, void* dest, const uint8_t* source);
void Convert24To555(int32_t count, int32_t row, void* dest, const uint8_t* source);
void Copy24(int32_t count, int32_t row, void* dest, const uint8_t* source);
void Convert24To32(int32_t count, int32_t row, void* dest, const uint8_t* source);

// Copies whole 32-bit words only: byteSize div 4 of them. Raw resource blocks rely on it.
void CopyPixels(int32_t byteSize, void* dest, const void* source);

using TRowConverter = void (*)(int32_t count, int32_t row, void* dest, const uint8_t* source);

// The scanline converter for a display depth: 15 -> 5-5-5, 16 -> 5-6-5, 24 -> copy,
// 32 -> 0x00RRGGBB. Any other depth has none (nullptr).
TRowConverter RowConverterForDepth(int32_t depth);
