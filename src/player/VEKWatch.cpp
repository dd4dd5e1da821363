#include "player/VEKWatch.h"

#include <cstdio>
#include <exception>
#include <utility>

#include "platform/PL_Files.h"
#include "platform/PL_Host.h"
#include "platform/PL_Paths.h"
#include "platform/PL_ServiceNotify.h"
#include "platform/PL_Text.h"
#include "player/VEKCheck.h"

TLiveReload::TLiveReload(std::string scriptPath, std::string scriptName, std::string programName)
    : ScriptPath(std::move(scriptPath)),
      ScriptName(std::move(scriptName)),
      ProgramName(std::move(programName)) {
  if (FileInfoOf(ScriptPath).InContainer) {
    std::fprintf(stderr,
                 "%s: --watch: %s lies inside a disc image or archive, which does not change: "
                 "nothing to watch (F5 reads it again)\n",
                 ProgramName.c_str(), ScriptName.c_str());
    return;
  }
  Watch = std::make_unique<TFileWatch>();
  if (!Watch->Error.empty()) {
    std::fprintf(stderr, "%s: --watch: %s (F5 reads the script again)\n", ProgramName.c_str(),
                 Watch->Error.c_str());
    Watch.reset();
    return;
  }
  Watch->Watch(ScriptPath);
  // Every file the presentation names, as it names them, from the first read on.
  SetNameListener([watch = Watch.get()](const std::string& path) {
    if (!FileInfoOf(path).InContainer) watch->Watch(path);
  });
}

TLiveReload::~TLiveReload() {
  if (Watch) SetNameListener(nullptr);
}

void TLiveReload::AfterFrame(TVEKE& play) {
  // Handled as F5 is, between frames: the check must not run inside a frame.
  if (Watch && Watch->TakeChange()) play.Engine->PostWindowKey(TWindowKey::Reload);
}

void TLiveReload::ReloadKey(TVEKE& play) {
  std::vector<TFinding> findings;
  try {
    findings = CheckScript(ScriptPath);
  } catch (const std::exception& error) {
    findings.push_back({0, error.what()});
  }
  std::erase_if(findings, [](const TFinding& finding) { return finding.Warning; });
  if (findings.empty()) {
    Resume = play.PlayPlace();
    Restart = true;
    Host().KeepDisplay();
    play.Engine->PostQuit();
    std::fprintf(stderr, "%s: %s read again: playing from section %s\n", ProgramName.c_str(),
                 ScriptName.c_str(), Cp1250ToUtf8(Resume.back().Section).c_str());
    return;
  }
  const std::string count =
      std::to_string(findings.size()) + (findings.size() == 1 ? " mistake" : " mistakes");
  std::fprintf(stderr, "%s: %s has %s; still playing the version before:\n", ProgramName.c_str(),
               ScriptName.c_str(), count.c_str());
  std::vector<std::string> lines = {ScriptName + ": " + count +
                                    "; still playing the version before (save or F5 checks again)"};
  for (const TFinding& finding : findings) {
    const std::string line =
        ScriptName + ":" + std::to_string(finding.Line) + ": " + finding.Message;
    std::fprintf(stderr, "%s\n", line.c_str());
    lines.push_back(line);
  }
  play.Engine->Display->Notice.Show(lines);
}

bool TLiveReload::TakeRestart(TStartOptions& start) {
  if (!std::exchange(Restart, false)) return false;
  start.Resume = std::move(Resume);
  return true;
}

void PlayScript(const std::string& script, TStartOptions start, const std::string& programName) {
  std::unique_ptr<TLiveReload> watch;
  if (start.Watch)
    watch = std::make_unique<TLiveReload>(ResolveGivenPath(script), script, programName);
  if (start.Kiosk) Host().SetKiosk(start.ExitChord);
  const TStartOptions first = start;
  ServiceStatus("playing " + script);
  for (bool again = true; again;) {
    TVEKE veke;
    veke.Start = start;
    veke.Watch = watch.get();
    veke.Execute(script);
    if (!veke.RestartReason.empty()) {
      std::fprintf(stderr, "%s: %s: playing %s again from its start\n", programName.c_str(),
                   veke.RestartReason.c_str(), script.c_str());
      ServiceStatus("playing " + script + " again after " + veke.RestartReason);
      start = first;
    } else {
      again = watch && watch->TakeRestart(start);
    }
  }
}

namespace {
std::string CommandWords(const TVKSection& section, int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(section.Commands.size())) return "";
  const TVKCommand& command = *section.Commands[index];
  return command.Name + "(" + command.ObjectName + ";" + command.Params + ")";
}
}  // namespace

std::vector<TResumePoint> TVEKE::PlayPlace() const {
  std::vector<TResumePoint> place;
  std::vector<const TVKSection*> chain(CallStack.begin(), CallStack.end());
  chain.push_back(CurrentSection);
  for (const TVKSection* section : chain)
    place.push_back(
        {section->Name, section->CommandIndex, CommandWords(*section, section->CommandIndex)});
  return place;
}

void TVEKE::ResumeSections() {
  const std::vector<TResumePoint>& chain = Start.Resume;
  for (size_t i = 1; i < chain.size(); ++i) {
    if (!FindSection(chain[i].Section)) {
      DebugOutput("--watch: section " + Cp1250ToUtf8(chain[i].Section) +
                  " is no longer in the script; playing on from section " +
                  Cp1250ToUtf8(CurrentSection->Name));
      return;
    }
    // A caller goes on after the command that led on, if that is still where it was; a wait
    // is waited for again.
    const TResumePoint& caller = chain[i - 1];
    TVKSection& section = *CurrentSection;
    if (CommandWords(section, caller.CommandIndex) == caller.Command && !caller.Command.empty()) {
      const std::string& name = section.Commands[caller.CommandIndex]->Name;
      const bool wait = name == "WAIT" || name == "WAITFOR" || name == "WAITFORPOS";
      section.CommandIndex = caller.CommandIndex - (wait ? 1 : 0);
    }
    EnterSection(chain[i].Section);
  }
}

void TVEKE::WindowKey(TWindowKey key) {
  if (key == TWindowKey::Screenshot) return SaveScreenshot();
  if (Watch) Watch->ReloadKey(*this);
}
