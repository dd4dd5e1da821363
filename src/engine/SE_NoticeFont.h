#pragma once
// The player's own small font for what it tells the author over a presentation: it must not
// depend on the presentation's font files, which may be the very thing that is broken.
#include <cstdint>

inline constexpr int32_t kNoticeGlyphWidth = 7;
inline constexpr int32_t kNoticeGlyphHeight = 13;
inline constexpr int32_t kNoticeFirstChar = 32;  // the printable ASCII characters, in order
inline constexpr int32_t kNoticeGlyphCount = 95;
extern const uint8_t kNoticeGlyphs[kNoticeGlyphCount][kNoticeGlyphHeight];
