// `--trace`: a line per frame that tells an author where play is and why a section waits.
#include <string>

#include "platform/PL_Text.h"
#include "player/VEKEngine.h"

namespace {
// The command as a script would write it; object commands keep their object's name apart.
std::string CommandText(const TVKCommand& command, const std::string& objectName) {
  std::string params = objectName;
  if (!command.Params.empty()) params += (params.empty() ? "" : ",") + command.Params;
  return "line " + std::to_string(command.LineNumber) + " " + command.Name +
         (params.empty() ? "" : "(" + Cp1250ToUtf8(params) + ")");
}

// Sounds and clips keep their command active until stopped; only playing ones count.
bool StillRuns(const TVKCommand& command, TVKObject* target) {
  if (command.Name == "PLAYSOUND") {
    auto* sound = dynamic_cast<TVKSound*>(target);
    return sound && sound->Busy();
  }
  if (command.Name == "PLAYANIM") {
    auto* anim = dynamic_cast<TVKAnim*>(target);
    return anim && anim->Player->Playing;
  }
  return true;
}
}  // namespace

std::string TVEKE::NameOf(const TVKObject* object) const {
  for (const auto& section : Sections)
    for (const auto& entry : section->Objects)
      if (object && entry->Obj.get() == object) return entry->Name;
  return "";
}

std::string TVEKE::TraceLine(uint32_t playedMs) const {
  const TVKSection& section = *CurrentSection;
  std::string line =
      "trace " + std::to_string(playedMs) + " ms: section " + Cp1250ToUtf8(section.Name);
  if (!CallStack.empty()) line += " (called from " + Cp1250ToUtf8(CallStack.back()->Name) + ")";

  const auto count = static_cast<int32_t>(section.Commands.size());
  if (section.CommandIndex < 0) {
    line += ", before its first command";
  } else if (section.CommandIndex >= count) {
    line += ", after its last command";
  } else {
    const TVKCommand& command = *section.Commands[section.CommandIndex];
    line += ", " + CommandText(command, NameOf(command.Target.lock().get()));
    if (command.Waiting) {
      line += " waiting";
      if (command.Name == "WAIT") line += " " + std::to_string(command.Remaining) + " ms more";
      // A name that found nothing holds a WAITFOR for ever; that is worth knowing.
      if (command.Name != "WAIT" && command.Target.expired()) line += " for an object that is gone";
    }
  }

  std::string effects;
  for (const auto& command : section.Commands) {
    const auto target = command->Target.lock();
    if (!command->Active || !StillRuns(*command, target.get())) continue;
    effects += (effects.empty() ? "" : "; ") + CommandText(*command, NameOf(target.get()));
    // An object runs one effect at a time; the others queue behind it.
    const auto* object = dynamic_cast<const TVKEffectObject*>(target.get());
    if (!command->Started && object && object->EffectRunning) effects += " waiting its turn";
  }
  if (!effects.empty()) line += "; effects: " + effects;
  return line;
}
