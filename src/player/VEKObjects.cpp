#include "player/VEKObjects.h"

#include <utility>

#include "audio/SE_AudioStream.h"
#include "audio/SE_MP3.h"
#include "base/SE_SafeMath.h"
#include "engine/SE_Controls.h"
#include "graphics/SE_Sprite.h"
#include "render3d/SE_3DModel.h"
#include "video/SE_AnimPlay.h"

namespace {
// A text box may lie anywhere a script can place it; its far edges stop at the int32 range.
TRect BoxOf(int32_t x, int32_t y, int32_t width, int32_t height) {
  return TRect{x, y, SaturatedAdd(x, width), SaturatedAdd(y, height)};
}
}  // namespace

TVKImage::TVKImage(std::unique_ptr<TGESprite> sprite)
    : TVKEffectObject(kKindImage), Sprite(std::move(sprite)) {}
TVKImage::~TVKImage() = default;

int32_t TVKImage::Value(TEffectChannel channel) const {
  return channel == kChannelX ? Sprite->X : channel == kChannelY ? Sprite->Y : Sprite->Alpha;
}
void TVKImage::SetPosition(int32_t x, int32_t y) {
  Sprite->X = x;
  Sprite->Y = y;
}
void TVKImage::SetAlpha(int32_t alpha) { Sprite->Alpha = alpha; }

TVKButton::TVKButton(TGEButton& button)
    : TVKEffectObject(kKindButton), LastState(button.State), Button(button) {}

int32_t TVKButton::Value(TEffectChannel channel) const {
  return channel == kChannelX ? Button.X() : channel == kChannelY ? Button.Y() : Button.Alpha;
}
void TVKButton::SetPosition(int32_t x, int32_t y) {
  Button.SetX(x);
  Button.SetY(y);
}
void TVKButton::SetAlpha(int32_t alpha) {
  Button.SetAlpha(alpha);
  Button.Visible = true;
}

int32_t TVKText::Value(TEffectChannel channel) const {
  return channel == kChannelX ? X : channel == kChannelY ? Y : 255;
}
void TVKText::SetPosition(int32_t x, int32_t y) {
  X = x;
  Y = y;
  Bounds = BoxOf(X, Y, Width, Height);
}

TVKAnim::TVKAnim(std::unique_ptr<TGEAnimPlay> player)
    : TVKEffectObject(kKindAnim), Player(std::move(player)) {}
TVKAnim::~TVKAnim() = default;

int32_t TVKAnim::Value(TEffectChannel channel) const {
  return channel == kChannelX ? Player->DestRect.Left : channel == kChannelY ? Player->DestRect.Top : 255;
}

void TVKAnim::SetPosition(int32_t x, int32_t y) {
  // A move leaves the rectangle a pixel shorter on the right and at the bottom than Open
  // makes it, as clips moved by scripts have always been drawn.
  Player->DestRect = TRect{x, y, SaturatedAdd(x, Player->DestWidth - 1),
                           SaturatedAdd(y, Player->DestHeight - 1)};
}

TVKSound::TVKSound() : TVKObject(kKindSound) {}
TVKSound::~TVKSound() = default;

bool TVKSound::Busy() {
  if (MP3) return MP3->IsPlaying();
  return Stream && Stream->Playing;
}

int64_t TVKSound::Position() {
  if (MP3) return MP3->GetPosition();
  return Stream ? Stream->Position : 0;
}
