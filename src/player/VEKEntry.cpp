#include "player/VEKEntry.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <initializer_list>
#include <iterator>
#include <string_view>

#include "base/SE_Log.h"
#include "platform/PL_Host.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Text.h"
#include "player/VEKCheck.h"
#include "player/VEKEngine.h"
#include "player/VEKFindPresentation.h"
#include "player/VEKHostOptions.h"
#include "player/VEKMessages.h"
#include "player/VEKWatch.h"

namespace {
void SetHungarianFormats() {
  FormatSettings.DateSeparator = '.';
  FormatSettings.ShortDateFormat = "yyyy.mm.dd.";
  FormatSettings.TimeSeparator = ':';
  FormatSettings.TimeAMString = "de";
  FormatSettings.TimePMString = "du";
  FormatSettings.ShortTimeFormat = "h:mm";
  FormatSettings.LongTimeFormat = "h:mm:ss";
}

void PrintHelp(const std::string& programName) {
  std::printf(
      "Usage: %s SCRIPT|FOLDER|IMAGE|ARCHIVE [HARDWARE] [WINDOWED] [FLIP] [options]\n"
      "Plays a presentation script (.vek), or the presentation in a folder, a disc's mount\n"
      "point, a disc image (.iso, .cue/.bin) or a zip archive, found by its AUTORUN.INF or as\n"
      "the only script in its root or in a folder just below it.\n\n"
      "  HARDWARE  draw pictures with the display's own blitter, without alpha (no fades)\n"
      "  WINDOWED  play in a window instead of full screen\n"
      "  FLIP      full screen with a flipping chain\n"
      "  --section NAME  start at the section NAME, as if the main section called it\n"
      "  --script NAME   the script to play in a folder, image or archive that holds several\n"
      "  --list PATH     say what PATH holds: its kind, volume label, files, the script found,\n"
      "            the switches AUTORUN.INF gives (used unless the command line gives its own)\n"
      "  --trace   a line per frame on stderr: time, section, command, running effects\n"
      "  --watch   play the script again after every save of it or of a file it uses,\n"
      "            from the section that was playing; a script with mistakes plays on in\n"
      "            the version before, its mistakes shown at the bottom. F5: read it again\n"
      "  --kiosk   for unattended screens: full screen; Escape, Alt+F4 and the window's close\n"
      "            do not end play; F5, F11, F12 and Alt+Enter do nothing; the pointer hides\n"
      "            after 3 s without movement (always, without buttons); no screensaver;\n"
      "            messages go to stderr, not boxes;\n"
      "            QUIT plays the presentation again from its start (see docs/kiosk.md)\n"
      "  --exit-keys CHORD  the keys that end a kiosk play, as ctrl+alt+shift+q (default none)\n"
      "  --on-quit restart|exit  what QUIT does: play again from the start (the kiosk's\n"
      "            default) or end the program (the default otherwise)\n"
      "  --idle-restart MINUTES  after MINUTES (0.5: half a minute) without mouse input,\n"
      "            play again from the start, everything freed and read again\n"
      "  --check SCRIPT...  list the script's mistakes without playing it (exit 1 if any),\n"
      "            and warnings where a page can hang or fall silent (they fail nothing)\n"
      "  --no-warnings  with --check: mistakes only\n"
      "  --help    show this text\n"
      "  --version show the version\n\n"
      "Options, anywhere on the line:\n%s%s%s\n"
      "Escape ends the presentation (not with --kiosk); F11 or Alt+Enter toggles full\n"
      "screen; F12 saves a screenshot in the pictures folder (else beside the script).\n"
      "Messages also go to stderr; video and sound errors are logged in %s.\n"
      "The script language is described in docs/script-reference.md; presentations copied\n"
      "off a disc in docs/running-cd-presentations.md.\n",
      programName.c_str(), kTreeOptionsHelp, kScreenOptionsHelp, kMemoryOptionHelp,
      LogFilePath().c_str());
}

// A mistyped switch would otherwise pass unnoticed; play goes on without it.
void ReportUnknownSwitches(const std::vector<std::string>& arguments,
                           const std::string& programName) {
  for (size_t i = 1; i < arguments.size(); ++i) {
    if (!IsDisplaySwitch(arguments[i]))
      std::fprintf(stderr, "%s: ignoring unknown argument %s (known: HARDWARE, WINDOWED, FLIP)\n",
                   programName.c_str(), arguments[i].c_str());
  }
}
int ListPresentation(const std::vector<std::string>& arguments, const std::string& chosen,
                     const std::string& programName) {
  std::vector<std::string> paths;
  std::copy_if(arguments.begin(), arguments.end(), std::back_inserter(paths),
               [](const std::string& word) { return word != "--list"; });
  if (paths.size() != 1) {
    std::fprintf(stderr, "%s: --list needs one folder, image, archive or script: %s --list PATH\n",
                 programName.c_str(), programName.c_str());
    return 2;
  }
  const TFoundPresentation found = FindPresentation(paths[0], chosen);
  if (found.Kind == "script" && !IsRegularFile(ResolveGivenPath(paths[0]))) {
    std::fprintf(stderr, "%s: %s: no such file or folder\n", programName.c_str(), paths[0].c_str());
    return 2;
  }
  std::fputs(DescribeLeftOut(programName + ": " + paths[0], found).c_str(), stderr);
  if (!found.Root.empty()) std::fputs(DescribePresentation(paths[0], found).c_str(), stdout);
  if (!found.Error.empty())
    std::fprintf(stderr, "%s: %s\n", programName.c_str(), found.Error.c_str());
  return found.ExitCode;
}
}  // namespace

bool PreparePlay(std::vector<std::string> arguments, const std::string& programName,
                 TPlayRequest& request) {
  const auto done = [&](int exitCode, const std::string& error = "") {
    request.ExitCode = exitCode;
    request.Error = error;
    return false;
  };
  std::string optionError;
  if (!TakeHostOptions(arguments, optionError)) {
    std::fprintf(stderr, "%s: %s (see %s --help)\n", programName.c_str(), optionError.c_str(),
                 programName.c_str());
    return done(2, optionError);
  }
  TStartOptions start = TakeStartOptions(arguments);
  // A chord the window cannot recognise would leave a kiosk with no way out.
  if (start.Error.empty() && !start.ExitChord.Key.empty() &&
      !Host().KnowsKeyName(start.ExitChord.Key))
    start.Error = "--exit-keys: no key is named " + start.ExitChord.Key;
  if (!start.Error.empty()) {
    std::fprintf(stderr, "%s: %s\n", programName.c_str(), start.Error.c_str());
    return done(1, start.Error);
  }
  if (arguments.empty()) {
    Host().ShowMessage("VEK", "using: VEKE script.vek");
    return done(0);
  }
  // These stand anywhere on the line, also after the script, as the help shows them.
  const auto given = [&](std::initializer_list<std::string_view> words) {
    return std::any_of(arguments.begin(), arguments.end(), [&](const std::string& argument) {
      return std::find(words.begin(), words.end(), argument) != words.end();
    });
  };
  if (given({"--help", "-h"})) {
    PrintHelp(programName);
    return done(0);
  }
  if (given({"--version"})) {
    std::printf("%s %s\n", programName.c_str(), VEKE_VERSION);
    return done(0);
  }
  if (arguments[0] == "--list" || given({"--list"}))
    return done(ListPresentation(arguments, start.Script, programName));
  if (arguments[0] == "--check")
    return done(RunScriptCheck({arguments.begin() + 1, arguments.end()}, programName));
  if (given({"--check"})) {
    std::vector<std::string> scripts;
    for (const std::string& argument : arguments)
      if (argument != "--check" && !IsDisplaySwitch(argument)) scripts.push_back(argument);
    return done(RunScriptCheck(scripts, programName));
  }
  const TFoundPresentation found = FindPresentation(arguments[0], start.Script);
  std::fputs(DescribeLeftOut(programName + ": " + arguments[0], found).c_str(), stderr);
  if (!found.Error.empty()) {
    std::fprintf(stderr, "%s: %s\n", programName.c_str(), found.Error.c_str());
    return done(found.ExitCode, found.Error);
  }
  if (found.Kind != "script") {
    SetRootUnlessGiven(found.Root);
    arguments[0] = found.Script;
    // The disc's own switches, unless the command line says how to show it.
    if (std::none_of(arguments.begin() + 1, arguments.end(), IsDisplaySwitch))
      arguments.insert(arguments.end(), found.Switches.begin(), found.Switches.end());
  }
  SetHungarianFormats();
  SetMessageLog(WriteLog);
  SetRefusalReport(ShowWarning);
  SetProgramArguments(arguments);
  ReportUnknownSwitches(arguments, programName);
  request.Script = arguments[0];
  request.Start = start;
  return true;
}

int PlayerMain(std::vector<std::string> arguments, const std::string& programName) {
  TPlayRequest request;
  if (!PreparePlay(std::move(arguments), programName, request)) return request.ExitCode;
  try {
    PlayScript(request.Script, request.Start, programName);
  } catch (const TFatalExit& fatal) {
    return fatal.ExitCode;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", programName.c_str(), error.what());
    return 1;
  }
  return 0;
}
