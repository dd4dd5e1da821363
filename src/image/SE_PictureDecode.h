#pragma once
// What the picture decoders share. Internal to them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "image/SE_Bitmap24.h"

namespace PictureDecode {

// A TPictureError whose text ends with the decoder's name.
[[noreturn]] void Fail(const char* decoder, const std::string& what);

// Every decoder asks here before it allocates, so a header cannot make us reserve gigabytes.
// `data` names what is being decoded ("BMP data") until a loader that knows the file names it.
void CheckPictureSize(int64_t width, int64_t height, const char* decoder, const char* data);

// A black picture of a size that passed CheckPictureSize; false when memory runs out.
bool TryAllocate(TBitmap24& picture, int64_t width, int64_t height) noexcept;

uint8_t* MutableRow(TBitmap24& picture, int64_t y);

}  // namespace PictureDecode
