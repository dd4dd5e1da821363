#pragma once
// Clickable pictures: up to four images per button, a hover sound, a hint next to the mouse,
// and a list that hit-tests them against the frame's mouse snapshot and runs their states.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphics/SE_Sprite.h"

class TGEDDraw;
class TGEFont;

// What a button needs of a streamed sound; the sound player provides it.
class TButtonSound {
 public:
  virtual ~TButtonSound() = default;
  virtual bool Playing() const = 0;
  virtual void Stop() = 0;
  virtual void Rewind() = 0;
  virtual void Play() = 0;
};

enum TButtonState : uint8_t {
  kButtonNormal = 0,
  kButtonHover = 1,
  kButtonPressed = 2,
  kButtonDown = 3,
  kButtonChecked = 4
};

enum TButtonMode : uint8_t { kButtonsPlain = 0, kButtonsRadio = 1, kButtonsToggle = 2 };

class TGEButton;
using TButtonEnterHandler = std::function<void(TGEButton&)>;
// Returns true when the click changed so much (a new section) that the list stops for the frame.
using TButtonClickHandler = std::function<bool(TGEButton&)>;

class TGEButton {
 public:
  ~TGEButton();

  int32_t X() const { return ImgCurrent ? ImgCurrent->X : 0; }
  int32_t Y() const { return ImgCurrent ? ImgCurrent->Y : 0; }
  void SetX(int32_t x);
  void SetY(int32_t y);
  void SetAlpha(int32_t alpha);
  // Every image the button has, for the operations that reach all of them.
  std::vector<TGESprite*> Images() const;

  int32_t Alpha = 0;
  bool Enabled = true;
  std::string Hint;
  uint32_t HintColor = 0xFFFF;
  int32_t HintFace = 2;
  int32_t HintOffset = 20;
  bool Visible = true;
  TButtonEnterHandler OnEnter;
  TButtonClickHandler OnClick;
  std::unique_ptr<TButtonSound> HoverSound;
  bool HoverSoundPlayed = false;
  bool UseRect = false;
  TRect Rect;
  std::unique_ptr<TGESprite> ImgNormal, ImgHover, ImgDown, ImgChecked;
  TGESprite* ImgCurrent = nullptr;
  bool Down = false;
  uint8_t State = kButtonNormal;
  int32_t Index = 0;
};

// Opens a hover sound from a file; the list has none until the sound player gives one.
using TButtonSoundOpener = std::function<std::unique_ptr<TButtonSound>(const std::string& file)>;

class TDirectSound;
// Hover sounds streamed from wave files on `sound` (none without a device or a file).
TButtonSoundOpener StreamedButtonSounds(TDirectSound* sound);

class TGEButtonList {
 public:
  TGEButtonList(TGEDDraw& display, uint8_t mode, TButtonSoundOpener sound, TGEFont* font);

  TGEButton& AddButton(int32_t x, int32_t y, const std::string& normal, const std::string& hover,
                       const std::string& down, TButtonEnterHandler onEnter,
                       TButtonClickHandler onClick, const std::string& soundFile);
  TGEButton& AddResourceButton(int32_t x, int32_t y, const std::string& resourceFile,
                               const std::string& normal, const std::string& hover,
                               const std::string& down, TButtonEnterHandler onEnter,
                               TButtonClickHandler onClick, const std::string& soundFile);
  // Once per frame: hit tests, states, clicks, then (when asked) drawing, and hints.
  void Update(bool draw);
  void DrawAll();

  bool Enabled = true;
  TGEDDraw& Display;
  TGEFont* Font;
  TButtonSoundOpener Sound;
  std::vector<std::unique_ptr<TGEButton>> Buttons;
  uint8_t Mode;
  int32_t HoverIndex = -1;
  std::unique_ptr<TButtonSound> ClickSound;

 private:
  using TLoader = std::function<void(TGESprite&, const std::string&)>;
  TGEButton& Add(int32_t x, int32_t y, const std::string& normal, const std::string& hover,
                 const std::string& down, TButtonEnterHandler onEnter, TButtonClickHandler onClick,
                 const std::string& soundFile, const TLoader& load);
  bool MouseInside(const TGEButton& button) const;
  // Returns true when the click handler asked to stop this frame's update.
  bool Inside(TGEButton& button);
  void Outside(TGEButton& button);
  void ChooseImage(TGEButton& button);
  void StartHoverSound(TGEButton& button);
  void DrawHints();
};
