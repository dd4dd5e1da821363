#pragma once
// The small pictures of a presentation's map: each section played for a moment by the
// program itself, in a process of its own, so a section that ends play, hangs or crashes
// costs only its own picture.
#include <cstdint>
#include <string>
#include <vector>

// How wide a section's picture is drawn (a 640x480 presentation shrinks to 160x120).
inline constexpr int32_t kThumbnailWidth = 160;

// Plays `script` entered at `section` ("" for the main section) with `program`
// (veke-render) and the play `options`, and writes the frame shown after a moment, shrunk,
// as the PNG file `picture` (beside it go the frame and the play's output). Returns "", or
// in a few words why the section cannot be shown.
std::string DrawSectionPicture(const std::string& program, const std::string& script,
                               const std::string& section, const std::vector<std::string>& options,
                               const std::string& picture);
