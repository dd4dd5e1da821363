// Feeds arbitrary bytes to the picture decoders (BMP, JPEG, PNG by content): each must decode a
// picture of the size it reports or stop with TPictureError.
#include <cstddef>
#include <cstdint>

#include "image/SE_Picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A few header bytes can state a picture of hundreds of megabytes; real ones are smaller.
  static const bool limited = (SetPicturePixelLimit(4u << 20), true);
  (void)limited;
  try {
    TBitmap24 picture;
    DecodePicture(data, size, picture);
    if (picture.Width <= 0 || picture.Height <= 0 ||
        picture.Rows.size() !=
            static_cast<size_t>(picture.Width) * static_cast<size_t>(picture.Height) * 3)
      __builtin_trap();
  } catch (const TPictureTooLarge& error) {
    if (PictureFits(error.Width, error.Height)) __builtin_trap();  // refused within the limit
  } catch (const TPictureError&) {
  }
  return 0;
}
