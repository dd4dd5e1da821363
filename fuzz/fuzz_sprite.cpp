// Loads arbitrary bytes as a sprite, as a .SPR file and as a resource file, in both display
// modes and both 16-bit layouts, then cuts frames and draws: nothing may read or write
// outside a buffer whatever sizes the bytes claim.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "graphics/SE_Sprite.h"
#include "image/SE_Picture.h"
#include "platform/PL_Host.h"

namespace {

std::string WriteTemp(const char* name, const uint8_t* data, size_t size) {
  const std::string path = "/tmp/veke-fuzz-" + std::to_string(getpid()) + "-" + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return path;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  return path;
}

void Exercise(TGEDisplay& display, TGESprite& sprite) {
  sprite.X = -3;
  sprite.Y = 5;
  sprite.Draw();
  sprite.Alpha = 100;
  sprite.DrawTransparent();
  sprite.DrawRect(TRect{1, 1, 9, 9});
  sprite.SetAnimation(7, 5, 0, true);
  display.CurrentTime += 50;
  sprite.DrawFrame();
  sprite.GetPixel(3, 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    auto host = std::make_unique<THeadlessHost>();
    host->Quiet = true;
    InstallHost(std::move(host));
    SetPicturePixelLimit(1 << 20);
    return true;
  }();
  (void)ready;
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  TGEDisplay display;
  display.SurfaceMode = flags & 1;
  if (!display.AllocateBuffers(48, 32, 16, PixelFormatForDepth(16, flags & 2))) return 0;
  display.BeginDraw(true);
  const std::string spr = WriteTemp("a.spr", data + 1, size - 1);
  const std::string ger = WriteTemp("a.ger", data + 1, size - 1);
  {
    TGESprite sprite(display, 0, 0, display.Width, display.Height);
    if (sprite.LoadFromFile(spr)) {
      // A second sprite of the same file shares the first one's pixels, which must survive
      // whatever the first does with its own frames.
      TGESprite again(display, 0, 0, display.Width, display.Height);
      if (!again.LoadFromFile(spr) ||
          (!display.SurfaceMode && again.CurrentPixels() != sprite.CurrentPixels()))
        __builtin_trap();
      Exercise(display, sprite);
      Exercise(display, again);
    }
  }
  {
    TGESprite sprite(display, 0, 0, display.Width, display.Height);
    // The first entry of any name the fuzzer may find: a short, common one.
    if (sprite.LoadFromResource(ger, "A", flags & 4)) Exercise(display, sprite);
  }
  unlink(spr.c_str());
  unlink(ger.c_str());
  return 0;
}
