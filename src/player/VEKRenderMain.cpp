// `veke-render`: the player on a virtual clock, without a screen. Frames become PNG files,
// input comes from the command line, and the same inputs give the same files on every run.
#include <cstdio>
#include <filesystem>
#include <algorithm>
#include <map>

#include "audio/SE_WavWriter.h"
#include "image/SE_PngWriter.h"
#include "platform/PL_Host.h"
#include "player/VEKEntry.h"
#include "player/VEKHostOptions.h"
#include "player/VEKMap.h"
#include "player/VEKRecorder.h"

namespace {
const char* const kUsage =
    "Usage: veke-render SCRIPT|FOLDER|IMAGE|ARCHIVE [HARDWARE] [WINDOWED] [FLIP] [options]\n"
    "Plays a presentation script on a virtual clock and writes its frames as PNG files. A\n"
    "folder, disc image (.iso, .cue/.bin) or zip archive is played by the script its\n"
    "AUTORUN.INF names, else by the only script in its root or in a folder just below it.\n\n"
    "  --ms N            virtual milliseconds to play (default 5000; QUIT ends earlier)\n"
    "  --step N          virtual milliseconds per frame, 1 to 1000 (default 20)\n"
    "  --out FILE.png    the last frame\n"
    "  --at MS:FILE.png  the first frame at or after MS (repeatable)\n"
    "  --frames DIR      every frame as DIR/00001.png, DIR/00002.png, ...\n"
    "  --click X,Y@MS    left button pressed at MS and released one frame later\n"
    "  --move X,Y@MS     mouse moved to X,Y at MS\n"
    "  --key ESCAPE@MS   Escape pressed at MS\n"
    "  --key F5@MS       with --watch: the script checked and read again at MS, as a save\n"
    "                    does (repeatable; the same inputs give the same frames)\n"
    "  --watch           as veke --watch: a saved script is read again (see veke(1))\n"
    "  --rgb555          the display reports the 5-5-5 pixel layout\n"
    "  --clock-start N   the virtual clock's reading at start (default 0)\n"
    "  --audio FILE.wav  the mixed sound, 44 100 Hz 16-bit stereo: one step of it per frame,\n"
    "                    silence where nothing plays\n"
    "  --video FILE      a video with sound (.mp4, .webm, .mkv) at 1000/step frames a second\n"
    "  --trace           a line per frame on stderr: time, section, command, running effects\n"
    "  --section NAME    play starts at the section NAME, as if the main section called it\n"
    "  --script NAME     the script to play in a folder, image or archive that holds several\n"
    "  --list PATH       say what PATH holds: its kind, volume label, files, the script\n"
    "                    found, the switches AUTORUN.INF gives\n"
    "  --check SCRIPT... list the script's mistakes without playing it (exit 1 if any),\n"
    "                    and warnings where a page can hang or fall silent (they fail nothing)\n"
    "  --no-warnings     with --check: mistakes only\n"
    "  --map FILE        draw the sections as boxes, each with a picture of how it looks when\n"
    "                    entered, and arrows for CALL, JUMP, RETURN and buttons, as .svg or\n"
    "                    .png (needs Graphviz's dot); the script's mistakes go to stderr\n"
    "  --help, --version\n";

void PrintUsage(FILE* to) {
  std::fprintf(to, "%s%s%s", kUsage, kTreeOptionsHelp, kMemoryOptionHelp);
}

struct TRenderOptions {
  std::vector<std::string> PlayerArguments;
  std::string OutFile;
  std::multimap<uint32_t, std::string> AtFiles;
  std::string FramesDir;
  std::string AudioFile;
  std::string VideoFile;
  std::string MapFile, MapScript;
  // What each section's play for the map is given: the tree, the drives, the display.
  std::vector<std::string> MapPlayOptions;
  bool Failed = false;
};

[[noreturn]] void BadOption(const std::string& text) {
  std::fprintf(stderr, "veke-render: %s\n", text.c_str());
  PrintUsage(stderr);
  std::exit(1);
}

uint32_t Number(const std::string& text, const std::string& option) {
  char* end = nullptr;
  errno = 0;
  unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (text.empty() || *end || errno || value > 0xFFFFFFFFull || text[0] == '-')
    BadOption("bad number for " + option + ": " + text);
  return static_cast<uint32_t>(value);
}

// "X,Y@MS" into a point and a time.
void Point(const std::string& text, const std::string& option, int32_t& x, int32_t& y,
           uint32_t& at) {
  int consumed = 0;
  unsigned long long ms = 0;
  if (std::sscanf(text.c_str(), "%d,%d@%llu%n", &x, &y, &ms, &consumed) != 3 ||
      consumed != static_cast<int>(text.size()) || ms > 0xFFFFFFFFull)
    BadOption("bad " + option + " (wanted X,Y@MS): " + text);
  at = static_cast<uint32_t>(ms);
}

TRenderOptions ParseOptions(int argc, char** argv, THeadlessHost& host) {
  TRenderOptions options;
  auto value = [&](int& i) -> std::string {
    if (i + 1 >= argc) BadOption(std::string(argv[i]) + " needs a value");
    return argv[++i];
  };
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    int32_t x = 0, y = 0;
    uint32_t at = 0;
    if (arg == "--ms") {
      host.PlayMs = Number(value(i), arg);
    } else if (arg == "--step") {
      host.StepMs = Number(value(i), arg);
      // A longer step would mix and hand over more than a second of sound in one piece, and
      // no one watches a presentation at less than a frame a second.
      if (host.StepMs < 1 || host.StepMs > 1000)
        BadOption("--step must be from 1 to 1000 milliseconds: " + std::to_string(host.StepMs));
    } else if (arg == "--out") {
      options.OutFile = value(i);
    } else if (arg == "--at") {
      std::string text = value(i);
      size_t colon = text.find(':');
      if (colon == std::string::npos || colon + 1 == text.size())
        BadOption("bad --at (wanted MS:FILE.png): " + text);
      options.AtFiles.emplace(Number(text.substr(0, colon), arg), text.substr(colon + 1));
    } else if (arg == "--frames") {
      options.FramesDir = value(i);
    } else if (arg == "--click") {
      Point(value(i), arg, x, y, at);
      host.Schedule(at, THostEventType::MouseDown, x, y, true);
      host.Schedule(at + host.StepMs, THostEventType::MouseUp, x, y, false);
    } else if (arg == "--move") {
      Point(value(i), arg, x, y, at);
      host.Schedule(at, THostEventType::MouseMove, x, y, false);
    } else if (arg == "--key") {
      std::string text = value(i);
      size_t sign = text.find('@');
      std::string key = text.substr(0, sign);
      if (sign == std::string::npos || (key != "ESCAPE" && key != "ESC" && key != "F5"))
        BadOption("bad --key (wanted ESCAPE@MS, or F5@MS with --watch): " + text);
      host.Schedule(Number(text.substr(sign + 1), arg),
                    key == "F5" ? THostEventType::WindowKey : THostEventType::Close);
    } else if (arg == "--map") {
      options.MapFile = value(i);
    } else if (arg == "--rgb555") {
      host.Rgb555 = true;
      options.MapPlayOptions.push_back(arg);
    } else if (arg == "--clock-start") {
      host.StartClock(Number(value(i), arg));
    } else if (arg == "--audio") {
      options.AudioFile = value(i);
    } else if (arg == "--video") {
      options.VideoFile = value(i);
    } else if (arg == "--trace" || arg == "--section" || arg == "--root" || arg == "--script" ||
               arg == "--allow-outside" || arg == "--allow-execute" || arg == "--list" ||
               arg == "--watch") {
      // The player itself reads these; a section name may look like anything.
      options.PlayerArguments.push_back(arg);
      if (arg == "--section" || arg == "--root" || arg == "--script")
        options.PlayerArguments.push_back(value(i));
      if (arg != "--trace" && arg != "--section" && arg != "--list" && arg != "--watch")
        options.MapPlayOptions.insert(
            options.MapPlayOptions.end(),
            options.PlayerArguments.end() - (arg == "--root" || arg == "--script" ? 2 : 1),
            options.PlayerArguments.end());
    } else if (arg == "--drive" || arg == "--memory-limit") {
      std::string error;
      const std::string given = value(i);
      if (!(arg == "--drive" ? MapDriveOption(given, error) : MemoryLimitOption(given, error)))
        BadOption(error);
      options.MapPlayOptions.insert(options.MapPlayOptions.end(), {arg, given});
    } else if (arg == "--help" || arg == "-h") {
      PrintUsage(stdout);
      std::exit(0);
    } else if (arg.starts_with("--") && arg != "--version" && arg != "--check" &&
               arg != "--no-warnings" && i > 1) {
      BadOption("unknown option " + arg);
    } else {
      // Words after the script are display switches, which the map's plays keep.
      if (!arg.starts_with("--") && options.MapScript.empty())
        options.MapScript = arg;
      else if (!arg.starts_with("--"))
        options.MapPlayOptions.push_back(arg);
      options.PlayerArguments.push_back(arg);
    }
  }
  // Later input happens later; at the same moment, in the order given.
  std::stable_sort(host.Input.begin(), host.Input.end(),
                   [](const TScriptedEvent& a, const TScriptedEvent& b) { return a.AtMs < b.AtMs; });
  return options;
}

void Save(TPlatformSurface& frame, const std::string& path, TRenderOptions& options) {
  std::string error;
  if (!WritePng(path, frame, error)) {
    std::fprintf(stderr, "veke-render: %s\n", error.c_str());
    options.Failed = true;
  }
}
}  // namespace

int main(int argc, char** argv) {
  auto host = std::make_unique<THeadlessHost>();
  THeadlessHost& headless = *host;
  TRenderOptions options = ParseOptions(argc, argv, headless);
  // Without a script there is nothing to render; say how it is used, as command-line tools do.
  if (options.PlayerArguments.empty()) {
    PrintUsage(stderr);
    return 2;
  }
  if (!options.MapFile.empty()) {
    if (options.MapScript.empty()) BadOption("--map needs a script: veke-render SCRIPT --map FILE");
    const auto chosen =
        std::find(options.PlayerArguments.begin(), options.PlayerArguments.end(), "--script");
    return DrawScriptMap({options.MapScript,
                          chosen != options.PlayerArguments.end() ? *(chosen + 1) : "",
                          options.MapFile, options.MapPlayOptions});
  }
  if (!options.FramesDir.empty()) {
    std::error_code error;
    std::filesystem::create_directories(options.FramesDir, error);
    if (error || !std::filesystem::is_directory(options.FramesDir, error)) {
      std::fprintf(stderr, "veke-render: cannot create the folder %s: %s\n",
                   options.FramesDir.c_str(),
                   (error ? error : std::make_error_code(std::errc::not_a_directory)).message().c_str());
      return 1;
    }
  }

  // The capture holds every step of the clock, heard or not, so its length is always the
  // frames played times the step. It is whole after every step, even when a fatal script
  // error ends the program from deep inside the player.
  TWavWriter audio;
  bool audioFailed = false;
  auto audioError = [&](const std::string& error) {
    std::fprintf(stderr, "veke-render: %s\n", error.c_str());
    audioFailed = true;
  };
  if (!options.AudioFile.empty()) {
    std::string error;
    if (!audio.Open(options.AudioFile, error)) {
      audioError(error);
      return 1;
    }
  }
  std::unique_ptr<TVEKRecorder> recorder;
  if (!options.VideoFile.empty()) {
    const bool tracing =
        std::count(options.PlayerArguments.begin(), options.PlayerArguments.end(), "--trace") > 0;
    recorder = std::make_unique<TVEKRecorder>(options.VideoFile, headless.StepMs, !tracing);
  }
  // Exports are finished and named even when the script ends play with a fatal error.
  if (recorder || !options.AudioFile.empty()) SetExitHandler(ThrowFatalExit);
  if (!options.AudioFile.empty() || recorder) {
    headless.OnAudio = [&](const int16_t* samples, uint32_t frames) {
      std::string error;
      if (!options.AudioFile.empty() && !audioFailed && !audio.Append(samples, frames, error))
        audioError(error);
      if (recorder) recorder->Audio(samples, frames);
    };
  }

  std::unique_ptr<TPlatformSurface> last;
  headless.OnFrame = [&](TPlatformSurface& frame, uint32_t playedMs) {
    if (recorder) recorder->Frame(frame, playedMs);
    if (!options.FramesDir.empty()) {
      char name[32];
      std::snprintf(name, sizeof name, "/%05d.png", headless.FramesPresented);
      Save(frame, options.FramesDir + name, options);
    }
    while (!options.AtFiles.empty() && options.AtFiles.begin()->first <= playedMs) {
      Save(frame, options.AtFiles.begin()->second, options);
      options.AtFiles.erase(options.AtFiles.begin());
    }
    if (!options.OutFile.empty()) {
      if (!last) last = TPlatformSurface::Create(frame.Width(), frame.Height(), frame.Format());
      last->Blit(frame, TRect{0, 0, frame.Width(), frame.Height()}, 0, 0, false);
    }
  };
  InstallHost(std::move(host));

  int code = PlayerMain(options.PlayerArguments, "veke-render");
  std::string error;
  if (!audioFailed && !audio.Close(error)) audioError(error);
  const bool recorded = !recorder || recorder->Finish();
  if (code != 0) return code;
  if (!options.OutFile.empty()) {
    if (last) Save(*last, options.OutFile, options);
    else std::fprintf(stderr, "veke-render: no frame was played for %s\n", options.OutFile.c_str());
  }
  for (const auto& [at, file] : options.AtFiles)
    std::fprintf(stderr, "veke-render: play ended before %u ms; %s not written\n", at, file.c_str());
  const bool failed = options.Failed || audioFailed || !recorded || !options.AtFiles.empty() ||
                      (!options.OutFile.empty() && !last);
  return failed ? 1 : 0;
}
