// What the interpreter does with script objects: makes them from their declarations, runs the
// commands that act on them at once, and erases and draws them each frame.
#include <filesystem>

#include "audio/SE_AudioStream.h"
#include "audio/SE_MP3.h"
#include "base/SE_SafeMath.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Text.h"
#include "player/VEKDecls.h"
#include "player/VEKEngine.h"
#include "player/VEKParams.h"
#include "video/SE_AnimPlay.h"

namespace {
// An object needs erasing when it was drawn, or when it shows and has moved or is see-through
// (a see-through object blends with whatever was under it, so it cannot be drawn over itself).
bool NeedsErase(bool drawn, bool visible, int32_t alpha, int32_t x, int32_t y, int32_t drawnX,
                int32_t drawnY) {
  return drawn || (visible && ((alpha >= 1 && alpha <= 254) || x != drawnX || y != drawnY));
}
}  // namespace

std::unique_ptr<TVKObject> TVEKE::NewImage(const TImageDecl& d) {
  TGEDDraw& display = *Engine->Display;
  auto sprite = std::make_unique<TGESprite>(display, 0, 0, display.Width, display.Height);
  if (!d.ResFile.empty())
    sprite->LoadFromResource(d.ResFile, d.Picture, true);
  else
    sprite->LoadFromFile(d.Picture);
  sprite->Alpha = 255;
  sprite->X = d.X;
  sprite->Y = d.Y;
  sprite->Visible = d.Visible;
  auto image = std::make_unique<TVKImage>(std::move(sprite));
  image->Transparent = d.Transparent;
  return image;
}

std::unique_ptr<TVKObject> TVEKE::NewButton(const TButtonDecl& d) {
  auto clicked = [this](TGEButton& sender) { return ButtonClicked(sender); };
  TGEButton& engineButton =
      d.ResFile.empty()
          ? Buttons->AddButton(0, 0, d.Normal, d.Hover, d.Pressed, nullptr, clicked, "")
          : Buttons->AddResourceButton(0, 0, d.ResFile, d.Normal, d.Hover, d.Pressed, nullptr,
                                       clicked, "");
  SetUpButton(engineButton, d);
  auto button = std::make_unique<TVKButton>(engineButton);
  button->TargetSection = d.TargetSection;
  return button;
}

void TVEKE::SetUpButton(TGEButton& button, const TButtonDecl& d) {
  button.SetX(d.X);
  button.SetY(d.Y);
  button.Enabled = d.Enabled;
  button.Visible = d.Visible;
  button.SetAlpha(d.Alpha);
}

std::unique_ptr<TVKObject> TVEKE::NewText(const TTextDecl& d) {
  auto text = std::make_unique<TVKText>();
  const std::string content = TextObjectContent(d.Text);
  text->Width = d.Width;
  text->Height = d.Height;
  text->SetPosition(d.X, d.Y);
  TGEFont& font = *Engine->Font;
  text->FontIndex = static_cast<uint8_t>(TGEFont::FaceIndex(d.FontName));
  font.SetFace(text->FontIndex);
  text->Lines = WrapWords(content, text->Width,
                          [&font](const std::string& part) { return font.TextWidth(part); });
  return text;
}

std::unique_ptr<TVKObject> TVEKE::NewAnim(const TAnimDecl& d) {
  auto player = std::make_unique<TGEAnimPlay>(*Engine->Display,
                                              Engine->SoundReady ? Engine->Sound.get() : nullptr);
  player->Open(ResolveScriptPath(d.File), d.X, d.Y, false, d.Looped, 0, d.Width, d.Height,
               d.FreeWhenDone);
  auto anim = std::make_unique<TVKAnim>(std::move(player));
  anim->DrawnX = d.X;
  anim->DrawnY = d.Y;
  return anim;
}

std::unique_ptr<TVKObject> TVEKE::NewSound(const TSoundDecl& d) {
  auto sound = std::make_unique<TVKSound>();
  sound->FreeOnStop = d.FreeOnStop;
  const std::string path = ResolveScriptPath(d.File);
  // A missing file, like a missing sound device, makes a silent object without a word.
  if (!IsRegularFile(path) || !Engine->SoundReady) return sound;
  // Wave files go by their own name, whatever folder they are in; everything else is
  // compressed sound.
  sound->IsWave = UpperAscii(std::filesystem::path(path).filename().string()).find(".WAV") !=
                  std::string::npos;
  // Wave files of compressed sound (ADPCM, as CDs of the time often held) are decoded like
  // any other compressed sound instead of being refused by the device.
  TWaveFormat format;
  if (sound->IsWave && PeekWaveFormat(path, format) && format.Channels > 0 &&
      !TAudioMixer::Playable(format))
    sound->IsWave = false;
  if (sound->IsWave) {
    sound->Stream = CreateAudioFileStream(Engine->Sound.get(), path);
    if (sound->Stream) sound->Stream->SetLooped(d.Looped);
  } else {
    sound->MP3 = std::make_unique<TGEMP3>(*Engine->Sound, path, d.Looped);
  }
  return sound;
}
void TVEKE::RunObjectCommand(TVKCommand& command, TVKObject& target) {
  std::string params = command.Params;
  const std::string& name = command.Name;
  if (name == "SETIMAGEPOS" || name == "SHOWIMAGE") {
    auto* image = dynamic_cast<TVKImage*>(&target);
    if (!image) return;
    TGESprite& sprite = *image->Sprite;
    if (name == "SETIMAGEPOS") {
      sprite.X = ParamInt(params);
      sprite.Y = ParamInt(params);
    }
    sprite.Visible = ParamBool(params);
    // An optional alpha that is not a number means opaque.
    const std::string alpha = NextParam(params);
    if (!alpha.empty()) {
      int32_t value = 255;
      sprite.Alpha = TextToInt(alpha, value) ? value : 255;
    }
    command.Waiting = false;
    NeedRedraw = true;
  } else if (name == "SETBUTTON") {
    auto* button = dynamic_cast<TVKButton*>(&target);
    if (!button) return;
    TGEButton& engineButton = button->Button;
    const bool wasVisible = engineButton.Visible;
    engineButton.Enabled = ParamBool(params);
    engineButton.Visible = ParamBool(params);
    engineButton.Down = ParamBool(params);
    command.Waiting = false;
    // A change of look shows through the button's state, but showing or hiding it does not:
    // without a redraw a shown button stays unseen and a hidden one leaves its picture behind.
    if (engineButton.Visible != wasVisible) {
      // The section's erase pass restores only its own buttons; one of another section is
      // restored here, where it was last drawn.
      if (!engineButton.Visible && engineButton.ImgNormal)
        Engine->Display->RestoreRect(button->Drawn ? button->DrawnX : engineButton.X(),
                                     button->Drawn ? button->DrawnY : engineButton.Y(),
                                     engineButton.ImgNormal->Width, engineButton.ImgNormal->Height);
      NeedRedraw = true;
    }
  } else if (name == "PLAYANIM") {
    auto* anim = dynamic_cast<TVKAnim*>(&target);
    // Once per command line, like PLAYSOUND.
    if (!anim || command.Active) return;
    anim->Player->Play();
    command.Started = command.Active = true;
  } else if (name == "STOPANIM") {
    auto* anim = dynamic_cast<TVKAnim*>(&target);
    if (!anim) return;
    anim->Player->Stop();
    command.Active = false;
    anim->EffectRunning = false;
  } else if (name == "PLAYSOUND") {
    auto* sound = dynamic_cast<TVKSound*>(&target);
    // Once per command line: a section entered again does not start its sound again.
    if (!sound || command.Active) return;
    if (sound->Stream) sound->Stream->Play();
    if (sound->MP3) sound->MP3->Play();
    command.Started = command.Active = true;
    command.LastTime = Engine->TotalTime;
  } else if (name == "STOPSOUND") {
    auto* sound = dynamic_cast<TVKSound*>(&target);
    if (!sound) return;
    if (sound->Stream && sound->Stream->Playing) sound->Stream->Stop();
    if (sound->MP3 && sound->MP3->IsPlaying()) sound->MP3->Stop();
    command.Active = false;
    if (sound->FreeOnStop) {
      sound->MP3.reset();
      sound->Stream.reset();
    }
  } else if (name == "SHOW3DOBJ") {
    if (auto* object = dynamic_cast<TVK3DObj*>(&target)) Run3DObjectCommand(command, *object);
  } else if (name == "SHOWTEXT") {
    auto* text = dynamic_cast<TVKText*>(&target);
    if (!text) return;
    text->Visible = ParamBool(params);
    NeedRedraw = true;
  }
}

bool TVEKE::ButtonClicked(TGEButton& sender) {
  for (const auto& entry : CurrentSection->Objects) {
    auto* button = dynamic_cast<TVKButton*>(entry->Obj.get());
    if (!button || &button->Button != &sender) continue;
    AtLine(entry->LineNumber, [&] {
      if (UpperAscii(TrimBlanks(button->TargetSection)) == "RETURN")
        ReturnFromSection();
      else
        EnterSection(button->TargetSection);
    });
    return true;
  }
  return false;
}

void TVEKE::UpdateButtonLooks() {
  for (const auto& entry : CurrentSection->Objects) {
    if (NeedRedraw) return;
    auto* button = dynamic_cast<TVKButton*>(entry->Obj.get());
    if (!button || button->Button.State == button->LastState) continue;
    button->LastState = button->Button.State;
    NeedRedraw = true;
  }
}

void TVEKE::EraseObjects() {
  TGEDDraw& display = *Engine->Display;
  if (Engine->ShowFPS) display.RestoreRect(0, 0, 60, 12);
  for (const auto& entry : CurrentSection->Objects) {
    if (auto* image = dynamic_cast<TVKImage*>(entry->Obj.get())) {
      const TGESprite& s = *image->Sprite;
      if (NeedsErase(image->Drawn, s.Visible, s.Alpha, s.X, s.Y, image->DrawnX, image->DrawnY)) {
        display.RestoreRect(image->DrawnX, image->DrawnY, s.Width, s.Height);
        image->Drawn = false;
      }
    } else if (auto* button = dynamic_cast<TVKButton*>(entry->Obj.get())) {
      const TGEButton& b = button->Button;
      if (NeedsErase(button->Drawn, b.Visible, b.Alpha, b.X(), b.Y(), button->DrawnX,
                     button->DrawnY) &&
          b.ImgNormal)
        display.RestoreRect(button->DrawnX, button->DrawnY, b.ImgNormal->Width,
                            b.ImgNormal->Height);
    } else if (auto* text = dynamic_cast<TVKText*>(entry->Obj.get())) {
      if (NeedsErase(text->Drawn, text->Visible, 255, text->X, text->Y, text->DrawnX,
                     text->DrawnY)) {
        display.RestoreRect(text->DrawnX, text->DrawnY, text->Width, text->Height);
        text->Drawn = false;
      }
    } else if (auto* anim = dynamic_cast<TVKAnim*>(entry->Obj.get())) {
      const TGEAnimPlay& p = *anim->Player;
      if (NeedsErase(anim->Drawn, anim->Visible, 255, p.DestRect.Left, p.DestRect.Top,
                     anim->DrawnX, anim->DrawnY)) {
        display.RestoreRect(anim->DrawnX, anim->DrawnY, p.DestWidth, p.DestHeight);
        anim->Drawn = false;
      }
    } else if (auto* object = dynamic_cast<TVK3DObj*>(entry->Obj.get())) {
      Erase3DObject(*object);
    }
  }
  NeedRedraw = false;
}

void TVEKE::DrawObjects() {
  Buttons->DrawAll();
  TGEFont& font = *Engine->Font;
  bool sceneRendered = false;
  for (const auto& entry : CurrentSection->Objects) {
    if (auto* image = dynamic_cast<TVKImage*>(entry->Obj.get())) {
      TGESprite& s = *image->Sprite;
      if (!s.Visible) continue;
      image->DrawnX = s.X;
      image->DrawnY = s.Y;
      if (image->Transparent)
        s.DrawTransparent();
      else
        s.Draw();
      image->Drawn = true;
    } else if (auto* button = dynamic_cast<TVKButton*>(entry->Obj.get())) {
      if (!button->Button.Visible) continue;
      button->DrawnX = button->Button.X();
      button->DrawnY = button->Button.Y();
      button->Drawn = true;
    } else if (auto* text = dynamic_cast<TVKText*>(entry->Obj.get())) {
      if (!text->Visible) continue;
      text->DrawnX = text->X;
      text->DrawnY = text->Y;
      font.SetFace(text->FontIndex);
      int32_t y = text->Y;
      for (const std::string& line : text->Lines) {
        font.TextOut(text->X, y, line);
        y = SaturatedAdd(y, font.LineHeight());
      }
      text->Drawn = true;
    } else if (auto* anim = dynamic_cast<TVKAnim*>(entry->Obj.get())) {
      TGEAnimPlay& player = *anim->Player;
      anim->DrawnX = player.DestRect.Left;
      anim->DrawnY = player.DestRect.Top;
      if (!anim->Visible) continue;
      if (player.Playing)
        player.Update();
      else
        player.DrawCurrentFrame();
      anim->Drawn = true;
    } else if (auto* object = dynamic_cast<TVK3DObj*>(entry->Obj.get())) {
      Draw3DObject(*object, sceneRendered);
    }
  }
  NeedRedraw = false;
}
