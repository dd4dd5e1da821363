#pragma once
// Live reload for authors (`--watch`): the script, and every file the presentation names, is
// watched; after a save the script is checked, and if it is clean the play is ended and the
// new version played from the section that was playing, its callers kept. A script with
// mistakes goes on playing in the version before, its findings on stderr and in a band at
// the bottom of the window until a save mends them. F5 does what a save does.
#include <memory>
#include <string>
#include <vector>

#include "platform/PL_FileWatch.h"
#include "player/VEKEngine.h"

class TLiveReload final : public TPlayWatch {
 public:
  // `scriptPath` as found, `scriptName` as messages give it. Files inside a disc image or
  // archive cannot change: then only F5 reloads.
  TLiveReload(std::string scriptPath, std::string scriptName, std::string programName);
  ~TLiveReload() override;
  TLiveReload(const TLiveReload&) = delete;
  TLiveReload& operator=(const TLiveReload&) = delete;

  void AfterFrame(TVEKE& play) override;
  // Checks the script now: ends the play to start again when it is clean.
  void ReloadKey(TVEKE& play) override;
  // After a play has ended: true when it ended to start again, with `start` set to resume.
  bool TakeRestart(TStartOptions& start);

  // What is watched; nullptr when nothing is.
  const TFileWatch* Files() const { return Watch.get(); }

 private:
  std::string ScriptPath, ScriptName, ProgramName;
  std::unique_ptr<TFileWatch> Watch;
  bool Restart = false;
  std::vector<TResumePoint> Resume;
};

// Plays a script to its end; with `start.Watch`, again after every clean save.
void PlayScript(const std::string& script, TStartOptions start, const std::string& programName);
