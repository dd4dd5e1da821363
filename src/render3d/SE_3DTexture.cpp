#include "render3d/SE_3DTexture.h"

#include <algorithm>
#include <cstring>

#include "base/SE_Log.h"
#include "graphics/SE_Convert.h"
#include "image/SE_Picture.h"
#include "platform/PL_Host.h"
#include "platform/PL_Paths.h"
#include "render3d/SE_3DFace.h"
#include "resource/SE_Resource.h"

namespace {

bool NameContains(const std::string& upperName, const char* extension) {
  return upperName.find(extension) != std::string::npos;
}

// A damaged texture costs the object its texture, not the presentation its play.
template <typename TLoad>
auto LoadOrWarn(const std::string& name, TLoad&& load) -> decltype(load()) {
  try {
    return load();
  } catch (const std::exception& error) {
    DebugOutput(std::string("[SE3D] ") + error.what());
    const std::string message = "[SE3D] Texture load error! File: " + name;
    WriteLog(message);
    Host().ShowMessage("", message);
    return {};
  }
}

}  // namespace

bool TextureDepthSupported(int32_t bitsPerPixel) {
  return bitsPerPixel == 15 || bitsPerPixel == 16;
}

std::vector<uint16_t> TextureFromPicture(const TBitmap24& picture, int32_t bitsPerPixel) {
  if (!TextureDepthSupported(bitsPerPixel)) return {};
  std::vector<uint16_t> texture(kTexturePixels, 0);
  if (picture.Width <= 0 || picture.Height <= 0) return texture;
  const TRowConverter convert = RowConverterForDepth(bitsPerPixel);
  // Only the rows that reach into the block are converted: a large picture costs no more.
  const int32_t width = picture.Width;
  const int32_t rows = std::min(picture.Height, (kTexturePixels + width - 1) / width);
  std::vector<uint16_t> converted(static_cast<size_t>(width) * rows);
  for (int32_t y = 0; y < rows; ++y) convert(width, y, converted.data(), picture.Row(y));
  std::copy_n(converted.begin(), std::min<size_t>(converted.size(), kTexturePixels),
              texture.begin());
  return texture;
}

std::vector<uint16_t> LoadTextureFile(const std::string& cp1250Name, int32_t bitsPerPixel) {
  if (!TextureDepthSupported(bitsPerPixel)) return {};
  std::string upper = cp1250Name;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : char(c); });
  if (!NameContains(upper, ".BMP") && !NameContains(upper, ".JPG") && !NameContains(upper, ".PNG"))
    return {};
  const std::string path = ResolveScriptPath(cp1250Name);
  if (!IsRegularFile(path)) return {};
  return LoadOrWarn(cp1250Name, [&] {
    TBitmap24 picture;
    LoadPictureFile(path, picture);
    return TextureFromPicture(picture, bitsPerPixel);
  });
}

std::vector<uint16_t> LoadTextureEntry(TGEResource& resource, const std::string& name,
                                       int32_t bitsPerPixel, bool convert555) {
  if (!TextureDepthSupported(bitsPerPixel) || name.empty()) return {};
  TGEResourceEntry entry;
  if (!LoadOrWarn(name, [&] { return resource.ReadByName(name, entry); })) return {};
  std::vector<uint16_t> texture;
  if ((entry.Kind == kResourceBmp || entry.Kind == kResourceJpeg) && entry.Image) {
    texture = TextureFromPicture(*entry.Image, bitsPerPixel);
  } else if (entry.Kind == kResourceRaw) {
    texture.assign(kTexturePixels, 0);
    if (!entry.Data.empty())
      std::memcpy(texture.data(), entry.Data.data(),
                  std::min<size_t>(entry.Data.size(), kTexturePixels * sizeof(uint16_t)));
    // Raw entries hold 5-6-5 pixels. Pictures were converted for the display just above, and
    // converting them again would break the colours of every picture texture on such displays.
    if (convert555) Convert565To555(texture.data(), kTexturePixels * sizeof(uint16_t));
  } else {
    return {};
  }
  return texture;
}
