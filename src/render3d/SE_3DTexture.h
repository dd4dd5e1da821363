#pragma once
// Textures of 3D objects: 256 x 256 pixels in the display's 16-bit format, from picture files
// or resource entries. Whatever size a picture has, its converted pixels are laid one after
// another into the 256 x 256 block (rows of another width wrap, as they always did), cut at
// its end, the rest black.
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/SE_Display.h"

class TGEResource;

// Whether textures can be made for a display depth (5-5-5 or 5-6-5).
bool TextureDepthSupported(int32_t bitsPerPixel);

// The picture in the display format; none (empty) for depths without textures.
std::vector<uint16_t> TextureFromPicture(const TBitmap24& picture, int32_t bitsPerPixel);

// A texture file: a name containing ".BMP", ".JPG" or ".PNG" (any case, tested in that
// order) is decoded as a picture; other names and missing files give none (empty). A file
// that exists but does not decode gives none too, with a warning: its reason on stderr, and
// "[SE3D] Texture load error! File: NAME" in a message box and the log, as a picture of an
// image or button is warned about. The object is drawn as without the texture.
std::vector<uint16_t> LoadTextureFile(const std::string& cp1250Name, int32_t bitsPerPixel);

// A texture entry of an open resource file: pictures are converted, raw data is copied;
// other kinds and missing entries give none, and a damaged entry none with the warning above.
// With convert555 the texture is then turned from 5-6-5 into 5-5-5.
std::vector<uint16_t> LoadTextureEntry(TGEResource& resource, const std::string& name,
                                       int32_t bitsPerPixel, bool convert555);
