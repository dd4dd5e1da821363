// The player in a web page. The page (web/veke-page.js) puts the presentation into the file
// system, calls veke_web_play, then veke_web_frame once per animation frame: the browser owns
// the loop, and a play is turned a step at a time instead of running to its end.
#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/PL_Host.h"
#include "platform/PL_Text.h"
#include "platform/web/PL_WebHost.h"
#include "player/VEKCheck.h"
#include "player/VEKEngine.h"
#include "player/VEKEntry.h"

namespace {
EM_JS(void, PageEnded, (int exitCode, const char* detail),
      { Module.vekePage.ended(exitCode, UTF8ToString(detail)); });

std::unique_ptr<TVEKE>& Play() {
  static std::unique_ptr<TVEKE> play;
  return play;
}

int Ended(int exitCode, const std::string& detail) {
  Play().reset();
  PageEnded(exitCode, detail.c_str());
  return exitCode;
}

// Runs `work` on the play; whatever ends it (its end, a fatal message, an error) frees it and
// tells the page, which shows the reason: a visitor has no terminal to read it from.
template <typename TWork>
bool Guarded(TWork&& work) {
  try {
    if (work()) return true;
    Ended(0, "");
  } catch (const TFatalExit& fatal) {
    Ended(fatal.ExitCode, fatal.Message);
  } catch (const std::exception& error) {
    RecordMessage("veke", error.what());
    Ended(1, error.what());
  }
  return false;
}
}  // namespace

int main() {
  InstallHost(CreateWebHost());
  // A fatal message ends the play, not the page's program.
  SetExitHandler(ThrowFatalExit);
  return 0;
}

extern "C" {
// A clock stepping `stepMs` per frame, for tests (TWebHost::UseSteppedClock); before the play.
EMSCRIPTEN_KEEPALIVE void veke_web_stepped(int stepMs) {
  if (TWebHost* host = WebHost(); host && stepMs > 0 && !Play())
    host->UseSteppedClock(static_cast<uint32_t>(stepMs));
}

// The files the script at `path` names, one a line, as addresses relative to its folder
// (UTF-8, forward slashes). A page's program cannot wait for the network while it reads a
// file, so a presentation given by its script has these fetched before it plays; "" when
// the script cannot be read (its play then says why).
EMSCRIPTEN_KEEPALIVE const char* veke_web_named_files(const char* path) {
  static std::string list;
  list.clear();
  try {
    for (const std::string& name : OutlineScript(path).Files) {
      std::string address = Cp1250ToUtf8(name);
      std::replace(address.begin(), address.end(), '\\', '/');
      list += address + "\n";
    }
  } catch (const std::exception& error) {
    RecordMessage("veke", error.what());
  } catch (const TFatalExit&) {
    // Told already; the play will tell it again where the visitor sees it.
  }
  return list.c_str();
}

// Plays `path` of the file system (a script, a folder or a zip archive) with the command-line
// words `words` (one a line), as `veke PATH WORDS` would. 0 when the play has begun; else it
// has already ended, with that exit code.
EMSCRIPTEN_KEEPALIVE int veke_web_play(const char* path, const char* words) {
  if (Play()) {
    // The page plays one presentation; the one playing goes on.
    RecordMessage("veke", "a presentation is playing already");
    return 2;
  }
  std::vector<std::string> arguments{path};
  std::istringstream lines(words ? words : "");
  for (std::string word; std::getline(lines, word);)
    if (!word.empty()) arguments.push_back(word);
  TPlayRequest request;
  if (!PreparePlay(arguments, "veke", request))
    return Ended(request.ExitCode ? request.ExitCode : 1,
                 request.Error.empty() ? "nothing to play in " + arguments[0] : request.Error);
  Play() = std::make_unique<TVEKE>();
  Play()->Start = request.Start;
  const bool playing = Guarded([&] {
    Play()->Begin(request.Script);
    return true;
  });
  return playing ? 0 : 1;
}

// The page's animation frame: the events that came in, and one frame. 1 while the play goes
// on, 0 once it has ended.
EMSCRIPTEN_KEEPALIVE int veke_web_frame() {
  TWebHost* host = WebHost();
  if (!Play() || !host || host->Stepped()) return Play() ? 1 : 0;
  host->AnimationFrame();
  return Guarded([&] { return Play()->RunWhile([host] { return host->HasWork(); }); });
}

// With the stepped clock: plays on to the first frame at or after `ms` of play, as
// veke-render's --at takes it. The frame's time of play; -1 once the play has ended.
EMSCRIPTEN_KEEPALIVE int veke_web_step_to(int ms) {
  TWebHost* host = WebHost();
  if (!Play() || !host || !host->Stepped()) return -1;
  const int32_t before = host->FramesPresented;
  const auto wanted = static_cast<uint32_t>(std::max(ms, 0));
  // A play that shows no frames (a hidden page is a minimised window) still passes time;
  // it is not waited for past a while.
  const int64_t latest = int64_t{wanted} + 10000;
  const bool playing = Guarded([&] {
    return Play()->RunWhile([&] {
      return (host->FramesPresented == before || host->LastFrameMs < wanted) &&
             host->PlayedMs() <= latest;
    });
  });
  return playing ? static_cast<int>(host->LastFrameMs) : -1;
}

EMSCRIPTEN_KEEPALIVE int veke_web_frames_shown() {
  TWebHost* host = WebHost();
  return host ? host->FramesPresented : 0;
}
}
