// RESETSECTION, a page that starts afresh on every visit: its freed objects made again from
// their declarations, its later lines run as for the first time. And the word a wait says
// when it will not end by itself where there is nothing to click.
#include <unordered_set>

#include "audio/SE_AudioStream.h"
#include "audio/SE_MP3.h"
#include "base/SE_Log.h"
#include "platform/PL_Host.h"
#include "platform/PL_Text.h"
#include "player/VEKEngine.h"
#include "render3d/SE_3DModel.h"
#include "video/SE_AnimPlay.h"

void TVEKE::ResetSection() {
  TVKSection& section = *CurrentSection;
  RemakeFreedObjects(section);
  // The sounds and clips of this section that later lines play start from their beginning
  // again; those of other sections (the menu's music) play on. Every declared object is there
  // now, each at the place of its declaration.
  std::unordered_map<const TVKObject*, size_t> own;
  for (size_t k = 0; k < section.Objects.size(); ++k) own.emplace(section.Objects[k]->Obj.get(), k);
  std::unordered_set<const TVKObject*> rewound;
  const auto count = static_cast<int32_t>(section.Commands.size());
  for (int32_t i = section.CommandIndex + 1; i < count; ++i) {
    TVKCommand& command = *section.Commands[i];
    if (command.Target.expired() && !command.ObjectName.empty())
      command.Target = FindObject(command.ObjectName, command.LineNumber);
    const auto target = command.Target.lock();
    const bool plays = command.Name == "PLAYSOUND" || command.Name == "PLAYANIM";
    // An effect cut short when the page was left still holds its object; a new one would wait
    // for it for ever.
    if (target && !plays && command.Started && command.Active) target->EffectRunning = false;
    const auto found = target ? own.find(target.get()) : own.end();
    if (plays && found != own.end() && rewound.insert(target.get()).second)
      RewindObject(*section.Objects[found->second], section.Declarations[found->second]);
    command.Started = command.Active = command.Waiting = command.HangTold = false;
    command.LastTime = command.Remaining = 0;
    command.ZoomState.reset();
  }
  NeedRedraw = true;
}

void TVEKE::RemakeFreedObjects(TVKSection& section) {
  // Both lists are in declaration order, the objects a part of the declarations: one merge.
  std::vector<std::unique_ptr<TVKObjectEntry>> objects;
  auto kept = section.Objects.begin();
  for (TVKDeclaration& declaration : section.Declarations) {
    if (kept != section.Objects.end() && (*kept)->LineNumber == declaration.LineNumber) {
      objects.push_back(std::move(*kept++));
      continue;
    }
    auto entry = std::make_unique<TVKObjectEntry>();
    entry->Kind = declaration.Kind;
    entry->Name = declaration.Name;
    entry->LineNumber = declaration.LineNumber;
    entry->Obj = RemakeObject(declaration);
    objects.push_back(std::move(entry));
  }
  section.Objects = std::move(objects);
}

std::unique_ptr<TVKObject> TVEKE::RemakeObject(TVKDeclaration& declaration) {
  const auto buttonCount = static_cast<int32_t>(Buttons->Buttons.size());
  if (const auto* d = std::get_if<TButtonDecl>(&declaration.Decl);
      d && declaration.EngineButton >= 0 && declaration.EngineButton < buttonCount) {
    TGEButton& engineButton = *Buttons->Buttons[declaration.EngineButton];
    engineButton.Down = false;
    engineButton.State = kButtonNormal;
    SetUpButton(engineButton, *d);
    auto button = std::make_unique<TVKButton>(engineButton);
    button->TargetSection = d->TargetSection;
    return button;
  }
  const std::shared_ptr<T3DObject> model = declaration.Model.lock();
  if (const auto* d = std::get_if<T3DObjDecl>(&declaration.Decl); d && model) {
    model->ScreenX = d->X;
    model->ScreenY = d->Y;
    model->Alfa = model->Beta = model->Gamma = 0;
    model->Visible = d->Visible ? 1 : 0;
    return std::make_unique<TVK3DObj>(model);
  }
  return MakeObject(declaration);
}

void TVEKE::RewindObject(TVKObjectEntry& entry, const TVKDeclaration& declaration) {
  // Fresh players from the declaration: a sound let go by STOPSOUND, or a clip let go at its
  // end, is there again. A clip keeps the place effects have moved it to.
  if (const auto* d = std::get_if<TSoundDecl>(&declaration.Decl)) {
    auto& sound = static_cast<TVKSound&>(*entry.Obj);
    auto fresh = NewSound(*d);
    auto& players = static_cast<TVKSound&>(*fresh);
    sound.MP3 = std::move(players.MP3);
    sound.Stream = std::move(players.Stream);
  }
  if (const auto* d = std::get_if<TAnimDecl>(&declaration.Decl)) {
    auto& anim = static_cast<TVKAnim&>(*entry.Obj);
    const TRect place = anim.Player->DestRect;
    const bool moved = place.Left != d->X || place.Top != d->Y;
    auto fresh = NewAnim(*d);
    anim.Player = std::move(static_cast<TVKAnim&>(*fresh).Player);
    if (moved) anim.SetPosition(place.Left, place.Top);
  }
}

namespace {
// Why a WAITFOR or WAITFORPOS that still waits will not end by itself; "" while it may.
std::string HangReason(const TVKCommand& command, TVKObject* target, uint8_t kind) {
  if (!target)
    return "no object of that name is there (never declared before the line, or freed by FREE, "
           "FREESECTIONCONTROLS or JUMP)";
  if (kind == kKindNone) return "the object belongs to another section";
  const bool position = command.Name == "WAITFORPOS";
  if (kind == kKindAnim) {
    if (!position || static_cast<TVKAnim*>(target)->Player->Playing) return "";
    return "the clip is not playing";
  }
  if (kind == kKindSound) {
    return !position || static_cast<TVKSound*>(target)->Busy() ? "" : "the sound is not playing";
  }
  if (position) return "only clips and sounds have a position";
  if (kind == kKindButton || kind == kKind3DObj)
    return "a WAITFOR on a button or 3D object waits for a click";
  return "";
}
}  // namespace

void TVEKE::TellHangingWait(TVKCommand& command) {
  if (command.Name == "WAIT" || !command.Waiting || command.HangTold) return;
  const auto target = command.Target.lock();
  const std::string reason = HangReason(command, target.get(), KindOf(target.get()));
  if (reason.empty()) return;
  for (const auto& entry : CurrentSection->Objects)
    if (const auto* button = dynamic_cast<const TVKButton*>(entry->Obj.get());
        button && button->Button.Visible)
      return;
  command.HangTold = true;
  const std::string text = "warning: " + command.Name + "(" + Cp1250ToUtf8(command.ObjectName) +
                           ") will never end by itself (" + reason + "), and section " +
                           Cp1250ToUtf8(CurrentSection->Name) +
                           " has no visible button to click: play stays on this line";
  WriteLog(MessageOriginPrefix() + text);
  DebugOutput(text);
}
