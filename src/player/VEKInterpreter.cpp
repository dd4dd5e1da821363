// Running the stored script: one command per frame, waits, calls and jumps, the background.
#include <chrono>
#include <thread>

#include "media/SE_Globals.h"
#include "media/SE_Sprite.h"
#include "platform/PL_Host.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Text.h"
#include "player/VEKEngine.h"
#include "player/VEKMessages.h"
#include "player/VEKParams.h"

namespace {
bool IsWaitCommand(const std::string& name) {
  return name == "WAIT" || name == "WAITFOR" || name == "WAITFORPOS";
}

bool IsEffectCommand(const std::string& name) {
  for (const char* word : {"MOVEIMAGE", "IMAGEALPHA", "MOVEIMAGEALPHA", "MOVEBUTTON",
                           "BUTTONALPHA", "MOVETEXT", "MOVEANIM", "MOVE3DOBJ", "ROT3DOBJALFA",
                           "ROT3DOBJBETA", "ROT3DOBJGAMMA", "SHOWPOS", "ZOOM3D"})
    if (name == word) return true;
  return false;
}

bool IsObjectCommand(const std::string& name) {
  for (const char* word : {"SETIMAGEPOS", "SHOWIMAGE", "SETBUTTON", "SHOWTEXT", "PLAYANIM",
                           "STOPANIM", "PLAYSOUND", "STOPSOUND", "SHOW3DOBJ", "SET3DZOOM"})
    if (name == word) return true;
  return false;
}
}  // namespace

void TVEKE::IdleStep(int32_t) {}

void TVEKE::Step(int32_t) {
  TVKSection* section = CurrentSection;
  for (int32_t i = 0; i <= section->CommandIndex; ++i) {
    if (i < static_cast<int32_t>(section->Commands.size()) && section->Commands[i]->Active)
      StepEffect(*section->Commands[i]);
  }

  auto count = static_cast<int32_t>(section->Commands.size());
  TVKCommand* current = section->CommandIndex >= 0 && section->CommandIndex < count
                            ? section->Commands[section->CommandIndex].get()
                            : nullptr;
  if (current && IsWaitCommand(current->Name)) AdvanceWait(*current);
  if (!current || !current->Waiting) {
    if (section->CommandIndex != count) ++section->CommandIndex;
    if (section->CommandIndex < count) ExecuteCommand(*section->Commands[section->CommandIndex]);
  }

  // A click may change the section; what follows works on the section current then.
  if (Buttons) Buttons->Update(false);
  UpdateButtonLooks();

  // The frame-rate line is drawn over itself every frame; when its figure changes, the corner
  // must be restored first or the old digits show through the new ones.
  if (Engine->ShowFPS && Engine->FPS != ShownFPS) NeedRedraw = true;
  ShownFPS = Engine->FPS;

  if (NeedRedraw) {
    EraseObjects();
    DrawObjects();
  }
}

void TVEKE::ExecuteCommand(TVKCommand& command) {
  const std::string& name = command.Name;
  std::string params = command.Params;  // every run reads a fresh copy
  if (name == "QUIT") {
    Engine->PostQuit();
  } else if (name == "WAIT") {
    command.Remaining = static_cast<uint32_t>(ParamInt(params));
    command.LastTime = Engine->TotalTime;
    command.Waiting = true;
  } else if (name == "WAITRETRACEON" || name == "WAITRETRACEOFF") {
    Engine->Display->SetWaitRetrace(name == "WAITRETRACEON");
  } else if (name == "CURSOROFF" || name == "CURSORON") {
    Engine->ShowCursor(name == "CURSORON");
  } else if (name == "SHOWFPS" || name == "HIDEFPS") {
    Engine->ShowFPS = name == "SHOWFPS";
  } else if (name == "CALL") {
    EnterSection(NextParam(params));
  } else if (name == "JUMP") {
    FreeSectionObjects();
    EnterSection(NextParam(params));
  } else if (name == "FREESECTIONCONTROLS") {
    FreeSectionObjects();
  } else if (name == "RETURN") {
    ReturnFromSection();
  } else if (name == "EXECUTE") {
    std::string program = Cp1250ToUtf8(NextParam(params));
    if (!Host().StartProgram(program)) DebugOutput("EXECUTE could not start: " + program);
  } else if (name == "WINOPEN") {
    std::string target = NextParam(params);
    std::string path = ResolveScriptPath(target);
    if (!Host().OpenDocument(IsRegularFile(path) ? path : Cp1250ToUtf8(target)))
      DebugOutput("WINOPEN could not open: " + Cp1250ToUtf8(target));
  } else if (name == "LOADBACKGROUND") {
    std::string resFile = NextParam(params);
    LoadBackground(resFile, NextParam(params));
  } else if (name == "WAITFOR" || name == "WAITFORPOS") {
    command.Waiting = true;
  } else if (name == "FREE") {
    FreeObject(command.Target);
  } else if (name == "CLEAR") {
    ClearBackground(ParamInt(params));
    command.Waiting = false;
  } else if (IsObjectCommand(name)) {
    // An object that could not be found when the line was read: nothing to act on.
    if (command.Target) RunObjectCommand(command);
  } else if (IsEffectCommand(name)) {
    command.Active = true;
  }
}

void TVEKE::AdvanceWait(TVKCommand& command) {
  if (command.Name == "WAIT") {
    uint32_t elapsed = Engine->TotalTime - command.LastTime;
    if (elapsed == 0) return;
    command.LastTime += elapsed;
    if (elapsed >= command.Remaining) {
      command.Remaining = 0;
      command.Waiting = false;
    } else {
      command.Remaining -= elapsed;
    }
    return;
  }
  uint8_t kind = KindOf(command.Target);
  if (command.Name == "WAITFOR") {
    // Buttons, 3D objects and names that find nothing hold the section until a click or a
    // jump elsewhere changes it.
    if (kind == kKindImage || kind == kKindText) command.Waiting = command.Target->EffectRunning;
    return;
  }
  // WAITFORPOS: only videos and sounds have a position; the players arrive with the media,
  // and any other kind waits for ever.
}

void TVEKE::EnterSection(const std::string& name) {
  TVKSection* section = FindSection(name);
  if (!section) FatalError("Nem létező szekció: " + Cp1250ToUtf8(name), 1);
  CallStack.push_back(CurrentSection);
  CurrentSection = section;
}

void TVEKE::ReturnFromSection() {
  if (CallStack.empty()) {
    ShowWarning("Visszatérés (Return) hívás nélkül.");
    return;
  }
  CurrentSection->CommandIndex = -1;
  CurrentSection = CallStack.back();
  CallStack.pop_back();
  if (!BackgroundSaved) return;
  // Copies: restoring records the background in the section again.
  std::string resFile = CurrentSection->BackgroundResFile;
  std::string image = CurrentSection->BackgroundImage;
  int32_t colour = CurrentSection->BackgroundColour;
  if (!image.empty()) LoadBackground(resFile, image);
  if (colour != 0) ClearBackground(colour);
}

void TVEKE::FreeSectionObjects() { CurrentSection->Objects.clear(); }

void TVEKE::FreeObject(TVKObject* object) {
  auto& objects = CurrentSection->Objects;
  for (auto it = objects.begin(); it != objects.end(); ++it) {
    if ((*it)->Obj.get() != object) continue;
    objects.erase(it);
    for (auto& command : CurrentSection->Commands) {
      if (command->Target != object) continue;
      command->Target = nullptr;
      command->Active = false;
    }
    return;
  }
}

uint8_t TVEKE::KindOf(const TVKObject* object) const {
  if (!object) return kKindNone;
  for (const auto& entry : CurrentSection->Objects)
    if (entry->Obj.get() == object) return entry->Kind;
  return kKindNone;
}

void TVEKE::LoadBackground(const std::string& resFile, const std::string& picture) {
  TGEDDraw& display = *Engine->Display;
  {
    // A picture that does not load has reported itself; the background keeps what it had.
    TGESprite sprite(display, 0, 0, display.Width, display.Height);
    if (resFile.empty())
      sprite.LoadFromFile(picture);
    else
      sprite.LoadFromResource(resFile, picture, false);
    TDrawTargetScope background(display.BackgroundDesc);
    sprite.Draw();
  }
  display.RestoreRect(0, 0, display.Width, display.Height);
  NeedRedraw = true;
  RecordBackground(resFile, picture, 0);
}

void TVEKE::ClearBackground(int32_t colour) {
  {
    TDrawTargetScope background(Engine->Display->BackgroundDesc);
    Engine->Display->Clear(static_cast<uint32_t>(colour));
  }
  Engine->Display->RestoreRect(0, 0, Engine->Display->Width, Engine->Display->Height);
  NeedRedraw = true;
  RecordBackground("", "", colour);
}

void TVEKE::RecordBackground(const std::string& resFile, const std::string& picture,
                             int32_t colour) {
  CurrentSection->BackgroundColour = colour;
  CurrentSection->BackgroundResFile = resFile;
  CurrentSection->BackgroundImage = picture;
  if (CurrentSection != Sections.front().get()) BackgroundSaved = true;
}
