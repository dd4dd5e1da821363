#include "engine/SE_Controls.h"

#include <algorithm>

#include "audio/SE_AudioStream.h"
#include "base/SE_SafeMath.h"
#include "engine/SE_DDraw.h"
#include "engine/SE_Engine.h"
#include "engine/SE_Font.h"
#include "platform/PL_Paths.h"

TGEButton::~TGEButton() {
  if (HoverSound) HoverSound->Stop();
}

std::vector<TGESprite*> TGEButton::Images() const {
  std::vector<TGESprite*> images;
  for (const auto* image : {&ImgNormal, &ImgHover, &ImgDown, &ImgChecked})
    if (*image) images.push_back(image->get());
  return images;
}

void TGEButton::SetX(int32_t x) {
  for (TGESprite* image : Images()) image->X = x;
}

void TGEButton::SetY(int32_t y) {
  for (TGESprite* image : Images()) image->Y = y;
}

void TGEButton::SetAlpha(int32_t alpha) {
  // A new button's images are opaque while Alpha starts at 0: SetAlpha(0) leaves them so.
  if (alpha == Alpha) return;
  Alpha = std::clamp(alpha, 0, 255);
  for (TGESprite* image : Images()) image->Alpha = Alpha;
}

TGEButtonList::TGEButtonList(TGEDDraw& display, uint8_t mode, TButtonSoundOpener sound,
                             TGEFont* font)
    : Display(display), Font(font), Sound(std::move(sound)), Mode(mode) {}

TGEButton& TGEButtonList::AddButton(int32_t x, int32_t y, const std::string& normal,
                                    const std::string& hover, const std::string& down,
                                    TButtonEnterHandler onEnter, TButtonClickHandler onClick,
                                    const std::string& soundFile) {
  return Add(x, y, normal, hover, down, std::move(onEnter), std::move(onClick), soundFile,
             [](TGESprite& sprite, const std::string& name) { sprite.LoadFromFile(name); });
}

TGEButton& TGEButtonList::AddResourceButton(int32_t x, int32_t y, const std::string& resourceFile,
                                            const std::string& normal, const std::string& hover,
                                            const std::string& down, TButtonEnterHandler onEnter,
                                            TButtonClickHandler onClick,
                                            const std::string& soundFile) {
  return Add(x, y, normal, hover, down, std::move(onEnter), std::move(onClick), soundFile,
             [&resourceFile](TGESprite& sprite, const std::string& name) {
               sprite.LoadFromResource(resourceFile, name, false);
             });
}

TGEButton& TGEButtonList::Add(int32_t x, int32_t y, const std::string& normal,
                              const std::string& hover, const std::string& down,
                              TButtonEnterHandler onEnter, TButtonClickHandler onClick,
                              const std::string& soundFile, const TLoader& load) {
  auto button = std::make_unique<TGEButton>();
  const auto image = [&](const std::string& name) {
    auto sprite = std::make_unique<TGESprite>(Display, 0, 0, Display.Width, Display.Height);
    load(*sprite, name);
    sprite->X = x;
    sprite->Y = y;
    return sprite;
  };
  button->ImgNormal = image(normal);
  if (!hover.empty()) button->ImgHover = image(hover);
  if (!down.empty()) (Mode == kButtonsToggle ? button->ImgChecked : button->ImgDown) = image(down);
  if (!soundFile.empty() && Sound) button->HoverSound = Sound(soundFile);
  button->OnEnter = std::move(onEnter);
  button->OnClick = std::move(onClick);
  button->ImgCurrent = button->ImgNormal.get();
  button->Index = static_cast<int32_t>(Buttons.size());
  Buttons.push_back(std::move(button));
  return *Buttons.back();
}

bool TGEButtonList::MouseInside(const TGEButton& button) const {
  const TGESprite* image = button.ImgCurrent;
  if (!button.Enabled || !image) return false;
  // Scripts may put a button anywhere in the int32 range, so the offset is taken in 64 bits.
  const int64_t x = int64_t{MouseSnapshot.X} - image->X, y = int64_t{MouseSnapshot.Y} - image->Y;
  if (x < 0 || y < 0 || x >= image->Width || y >= image->Height) return false;
  // Transparent pixels are not part of the button.
  return const_cast<TGESprite*>(image)->GetPixel(static_cast<int32_t>(x),
                                                 static_cast<int32_t>(y)) != 0;
}

bool TGEButtonList::Inside(TGEButton& button) {
  if (button.State == kButtonPressed && !MouseSnapshot.Left) {
    switch (Mode) {
      case kButtonsPlain:
        button.State = kButtonHover;
        break;
      case kButtonsRadio:
        for (auto& other : Buttons) {
          other->State = kButtonNormal;
          other->Down = false;
        }
        button.State = kButtonDown;
        button.Down = true;
        break;
      default:
        button.State = button.Down ? kButtonNormal : kButtonChecked;
        button.Down = !button.Down;
    }
    if (ClickSound) {
      ClickSound->Rewind();
      ClickSound->Play();
    }
    if (button.OnClick && button.OnClick(button) && Mode == kButtonsPlain) return true;
  }
  if (button.State == kButtonNormal || button.State == kButtonChecked) {
    button.State = kButtonHover;
    if (!button.HoverSoundPlayed) StartHoverSound(button);
    if (button.OnEnter) button.OnEnter(button);
  }
  if (button.State == kButtonHover && MouseSnapshot.Left) button.State = kButtonPressed;
  // Nothing beneath sees a press this button holds.
  if (button.State == kButtonPressed && MouseSnapshot.Left) MouseSnapshot.Left = false;
  return false;
}

void TGEButtonList::Outside(TGEButton& button) {
  button.HoverSoundPlayed = false;
  const uint8_t latched = Mode == kButtonsToggle ? kButtonChecked : kButtonDown;
  button.State = button.Down ? latched : static_cast<uint8_t>(kButtonNormal);
}

void TGEButtonList::ChooseImage(TGEButton& button) {
  button.ImgCurrent = button.ImgNormal.get();
  const bool checkedLook = Mode == kButtonsToggle && button.Down;
  switch (button.State) {
    case kButtonHover:
      HoverIndex = button.Index;
      if (checkedLook) {
        if (button.ImgChecked) button.ImgCurrent = button.ImgChecked.get();
      } else if (Mode != kButtonsToggle && button.ImgHover) {
        button.ImgCurrent = button.ImgHover.get();
      }
      break;
    case kButtonPressed:
    case kButtonDown:
      if (checkedLook) {
        if (button.ImgChecked) button.ImgCurrent = button.ImgChecked.get();
      } else if (button.ImgDown) {
        button.ImgCurrent = button.ImgDown.get();
      }
      break;
    case kButtonChecked:
      if (button.ImgChecked) button.ImgCurrent = button.ImgChecked.get();
      break;
    default:
      break;
  }
}

void TGEButtonList::StartHoverSound(TGEButton& button) {
  if (!button.HoverSound || button.HoverSound->Playing()) return;
  for (auto& other : Buttons)
    if (other.get() != &button && other->HoverSound) other->HoverSound->Stop();
  button.HoverSoundPlayed = true;
  button.HoverSound->Rewind();
  button.HoverSound->Play();
}

void TGEButtonList::Update(bool draw) {
  if (!Enabled) return;
  HoverIndex = -1;
  // A click handler may add buttons (a new section's); index so the loop survives that.
  for (size_t i = 0; i < Buttons.size(); ++i) {
    TGEButton& button = *Buttons[i];
    if (!button.Visible) continue;
    if (MouseInside(button)) {
      if (Inside(button)) return;
    } else {
      Outside(button);
    }
    ChooseImage(button);
  }
  if (draw) DrawAll();
  DrawHints();
}

void TGEButtonList::DrawHints() {
  for (auto& button : Buttons) {
    if (!button->Visible || button->State != kButtonHover || button->Hint.empty()) continue;
    // Positions are worked out in 64 bits and clamped once: a long hint or a far offset
    // must not wrap round to the other side of the screen.
    const int64_t x = int64_t{MouseSnapshot.X} + button->HintOffset;
    const int32_t y = MouseSnapshot.Y;
    if (Font) {
      Font->SetFace(button->HintFace);
      const int64_t width = Font->TextWidth(button->Hint);
      const int64_t left = x + 1 + width > Display.Width
                               ? int64_t{Display.Width} - width - button->HintOffset
                               : x + 1;
      Font->TextOut(ClampToInt32(left), SaturatedAdd(y, 1), button->Hint);
    } else {
      Display.TextOut(ClampToInt32(x + 1), SaturatedAdd(y, 1), button->Hint, 0);
      Display.TextOut(ClampToInt32(x), y, button->Hint, button->HintColor);
    }
  }
}

void TGEButtonList::DrawAll() {
  if (!Enabled) return;
  for (auto& button : Buttons) {
    TGESprite* image = button->ImgCurrent;
    if (!button->Visible || !image || !image->Loaded) continue;
    if (button->UseRect)
      image->DrawRect(button->Rect);
    else if (image->FramesPerRow > 0)
      image->DrawFrame();
    else
      image->DrawTransparent();
  }
}

namespace {
class TStreamedButtonSound : public TButtonSound {
 public:
  explicit TStreamedButtonSound(std::unique_ptr<TAudioFileStream> stream)
      : Stream(std::move(stream)) {}
  bool Playing() const override { return Stream->Playing; }
  void Stop() override { Stream->Stop(); }
  void Rewind() override { Stream->SetPosition(0); }
  void Play() override { Stream->Play(); }

 private:
  std::unique_ptr<TAudioFileStream> Stream;
};
}  // namespace

TButtonSoundOpener StreamedButtonSounds(TDirectSound* sound) {
  return [sound](const std::string& file) -> std::unique_ptr<TButtonSound> {
    auto stream = CreateAudioFileStream(sound, ResolveScriptPath(file));
    if (!stream) return nullptr;
    return std::make_unique<TStreamedButtonSound>(std::move(stream));
  };
}
