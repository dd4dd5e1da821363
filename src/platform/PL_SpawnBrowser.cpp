// Starting programs in the browser build: a page starts no programs, so each attempt fails
// with the reason, as a program that cannot be found does on the desktop.
#include "platform/PL_Process.h"

namespace {
constexpr const char* kNoPrograms = "programs are not started in the browser";
}  // namespace

bool SpawnDetached(const std::vector<std::string>&, std::string* error) {
  if (error) *error = kNoPrograms;
  return false;
}

TProgramRun RunProgram(const std::vector<std::string>&, const std::string&, uint32_t) {
  TProgramRun run;
  run.Error = kNoPrograms;
  return run;
}
