// Running the stored script: one command per frame, waits, calls and jumps, the background.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "base/SE_Log.h"
#include "graphics/SE_Globals.h"
#include "graphics/SE_Sprite.h"
#include "platform/PL_Files.h"
#include "platform/PL_Host.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Process.h"
#include "platform/PL_Text.h"
#include "player/VEKEngine.h"
#include "player/VEKMessages.h"
#include "player/VEKParams.h"
#include "video/SE_AnimPlay.h"

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

// Like NextParam, the text up to the first comma, trimmed, but in its own letter case.
std::string FirstParamAsWritten(std::string_view params) {
  return std::string(TrimBlanks(params.substr(0, params.find(','))));
}

// A program or document that does not start must not end the play; the author learns why
// from stderr (with the script line) and from the log.
void ReportStartFailure(const std::string& text) {
  WriteLog(MessageOriginPrefix() + text);
  DebugOutput(text);
}

// Other programs see only the image or archive, not the files inside it.
constexpr const char* kInsideImage =
    "it lies inside a disc image or archive, which other programs cannot open";

// EXECUTE: the program is found like any file of the presentation (beside the script first,
// letter case ignored, backslashes), else on PATH, and started without a shell.
void StartScriptProgram(const std::string& commandLine) {
  std::vector<std::string> words = SplitCommandLine(Cp1250ToUtf8(commandLine));
  if (words.empty()) return ReportStartFailure("EXECUTE: no program given");
  std::string resolved = ResolvePath(words[0]);
  if (resolved.empty()) {
    // Not to be had from the presentation's tree: a bare name may still be a command on PATH.
    if (words[0].find_first_of("/\\") != std::string::npos) return;
    resolved = words[0];
  } else if (IsRegularFile(resolved) && resolved.find('/') == std::string::npos) {
    // A file of the current folder must not be taken for a name to look up on PATH.
    resolved = "./" + resolved;
  }
  if (FileInfoOf(resolved).InContainer)
    return ReportStartFailure("EXECUTE: cannot start " + words[0] + ": " + kInsideImage);
  const std::string program = FindProgram(resolved);
  if (program.empty())
    return ReportStartFailure("EXECUTE: cannot start " + words[0] +
                              ": no such program beside the script or on PATH");
  words[0] = program;
  std::string error;
  if (!Host().StartProgram(words, error))
    ReportStartFailure("EXECUTE: cannot start " + program + ": " + error);
}

bool IsWebAddress(const std::string& name) {
  const std::string upper = UpperAscii(name);
  return upper.starts_with("HTTP://") || upper.starts_with("HTTPS://");
}

// WINOPEN: an http(s) address as it was written, or a file of the presentation by its
// absolute name, which the desktop's opener cannot take for an option of its own.
void OpenScriptDocument(const std::string& target) {
  const std::string name = Cp1250ToUtf8(target);
  std::string opened = name;
  if (!IsWebAddress(name)) {
    const std::string path = ResolvePath(name);
    if (path.empty()) return;  // outside the presentation's tree: the resolver said so
    if (!IsRegularFile(path))
      return ReportStartFailure("WINOPEN: cannot open " + name +
                                ": neither a file of the presentation nor an http(s) address");
    if (FileInfoOf(path).InContainer)
      return ReportStartFailure("WINOPEN: cannot open " + name + ": " + kInsideImage);
    std::error_code ec;
    opened = std::filesystem::absolute(path, ec).string();
  }
  std::string error;
  if (!Host().OpenDocument(opened, error))
    ReportStartFailure("WINOPEN: cannot open " + name + ": " + error);
}

bool IsObjectCommand(const std::string& name) {
  for (const char* word : {"SETIMAGEPOS", "SHOWIMAGE", "SETBUTTON", "SHOWTEXT", "PLAYANIM",
                           "STOPANIM", "PLAYSOUND", "STOPSOUND", "SHOW3DOBJ", "SET3DZOOM"})
    if (name == word) return true;
  return false;
}
}  // namespace

void TVEKE::RunProgramCommand(const std::string& commandLine) {
  const char* refused = Host().ProgramsRefused();
  if (Start.AllowExecute && !refused) return StartScriptProgram(commandLine);
  // Presentations are data: running a program from one is the user's choice, told once in a
  // box, and on stderr and in the log every time.
  const std::string text =
      "EXECUTE: not starting " + Cp1250ToUtf8(commandLine) + ": " +
      (refused ? refused : "programs start only when the player is started with --allow-execute");
  if (ExecuteRefusalShown) return ReportStartFailure(text);
  ExecuteRefusalShown = true;
  ShowWarning(text);
}

void TVEKE::IdleStep(int32_t) {}

void TVEKE::Step(int32_t) {
  TVKSection* section = CurrentSection;
  for (int32_t i = 0; i <= section->CommandIndex; ++i) {
    if (i >= static_cast<int32_t>(section->Commands.size()) || !section->Commands[i]->Active)
      continue;
    TVKCommand& command = *section->Commands[i];
    AtLine(command.LineNumber, [&] { StepEffect(command); });
  }

  auto count = static_cast<int32_t>(section->Commands.size());
  TVKCommand* current = section->CommandIndex >= 0 && section->CommandIndex < count
                            ? section->Commands[section->CommandIndex].get()
                            : nullptr;
  if (current && IsWaitCommand(current->Name)) {
    AtLine(current->LineNumber, [&] {
      AdvanceWait(*current);
      TellHangingWait(*current);
    });
  }
  if (!current || !current->Waiting) {
    if (section->CommandIndex != count) ++section->CommandIndex;
    if (section->CommandIndex < count) {
      TVKCommand& next = *section->Commands[section->CommandIndex];
      AtLine(next.LineNumber, [&] { ExecuteCommand(next); });
    }
  }

  // A click may change the section; what follows works on the section current then.
  if (Buttons) Buttons->Update(false);
  UpdateButtonLooks();

  // The frame-rate line is drawn over itself every frame; when its figure changes, the corner
  // must be restored first or the old digits show through the new ones.
  if (Engine->ShowFPS && Engine->FPS != ShownFPS) NeedRedraw = true;
  ShownFPS = Engine->FPS;

  // A playing clip of this section shows its next frame in every frame.
  if (!NeedRedraw)
    for (const auto& entry : CurrentSection->Objects)
      if (auto* anim = dynamic_cast<TVKAnim*>(entry->Obj.get()); anim && anim->Player->Playing)
        NeedRedraw = true;

  if (NeedRedraw) {
    EraseObjects();
    DrawObjects();
  }
  if (Start.Trace) std::fprintf(stderr, "%s\n", TraceLine(Host().TimeMs() - PlayStartMs).c_str());
  if (Watch) Watch->AfterFrame(*this);
  if (Start.IdleRestartMs && Host().TimeMs() - Engine->LastInputMs >= Start.IdleRestartMs)
    RestartPlay("no input for " + std::to_string((Start.IdleRestartMs + 500) / 1000) + " s");
}

void TVEKE::ExecuteCommand(TVKCommand& command) {
  const std::string& name = command.Name;
  std::string params = command.Params;  // every run reads a fresh copy
  if (name == "QUIT") {
    if (Start.RestartOnQuit)
      RestartPlay("QUIT");
    else
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
    RunProgramCommand(FirstParamAsWritten(command.Params));
  } else if (name == "WINOPEN") {
    OpenScriptDocument(FirstParamAsWritten(command.Params));
  } else if (name == "LOADBACKGROUND") {
    std::string resFile = NextParam(params, true);
    LoadBackground(resFile, NextParam(params, true));
  } else if (name == "WAITFOR" || name == "WAITFORPOS") {
    command.Waiting = true;
    command.HangTold = false;
  } else if (name == "RESETSECTION") {
    ResetSection();
  } else if (name == "FREE") {
    FreeObject(command.Target.lock().get());
  } else if (name == "CLEAR") {
    ClearBackground(ParamInt(params));
    command.Waiting = false;
  } else if (name == "SET3DZOOM") {
    SetSceneZoom(command);  // names no object: it acts on the whole scene
  } else if (IsObjectCommand(name)) {
    // An object that was never found, or has been freed since: nothing to act on.
    if (const auto target = command.Target.lock()) RunObjectCommand(command, *target);
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
  const auto target = command.Target.lock();
  const uint8_t kind = KindOf(target.get());
  if (command.Name == "WAITFOR") {
    // Buttons, 3D objects and names that find nothing hold the section until a click or a
    // jump elsewhere changes it.
    if (kind == kKindImage || kind == kKindText) command.Waiting = target->EffectRunning;
    if (kind == kKindSound) command.Waiting = static_cast<TVKSound&>(*target).Busy();
    if (kind == kKindAnim) command.Waiting = static_cast<TVKAnim&>(*target).Player->Playing;
    return;
  }
  // WAITFORPOS: only videos and sounds have a position; any other kind waits for ever.
  std::string params = command.Params;
  if (kind == kKindAnim) {
    const int32_t wanted = ParamInt(params);
    // A clip that never opened (or was let go at its end) reaches no position: no wait.
    TGEAnimPlay& player = *static_cast<TVKAnim&>(*target).Player;
    command.Waiting = player.Opened && int64_t{wanted} > player.GetTime();
    return;
  }
  if (kind != kKindSound) return;
  auto& sound = static_cast<TVKSound&>(*target);
  const int32_t wanted = ParamInt(params);
  // A silent sound (its file missing) reaches every position at once, as it ends at once.
  if (!sound.HasPlayer()) {
    command.Waiting = false;
    return;
  }
  const int64_t position = sound.Position();
  command.Waiting = sound.MP3 ? int64_t{wanted} > position
                              : wanted > static_cast<int32_t>(position);
  if (!command.Waiting && wanted > 0 && position > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TVEKE::EnterSection(const std::string& name) {
  TVKSection* section = FindSection(name);
  if (!section) FatalError(kNoSuchSection + Cp1250ToUtf8(name), 1);
  CallStack.push_back(CurrentSection);
  CurrentSection = section;
  if (section->StartsAfresh) section->CommandIndex = -1;
}

void TVEKE::EnterStartSection() {
  if (!Start.Resume.empty()) return ResumeSections();
  if (Start.Section.empty()) return;
  // Declarations have all run while the script was read and the main section has run no
  // command yet, so a RETURN goes on with its first one.
  EnterSection(UpperAscii(Utf8ToCp1250(Start.Section)));
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

void TVEKE::FreeObject(const TVKObject* object) {
  auto& objects = CurrentSection->Objects;
  const auto entry = std::find_if(objects.begin(), objects.end(),
                                  [object](const auto& e) { return e->Obj.get() == object; });
  if (!object || entry == objects.end()) return;
  for (auto& command : CurrentSection->Commands) {
    if (command->Target.lock().get() != object) continue;
    command->Target.reset();
    command->Active = false;
  }
  objects.erase(entry);
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
