#include "player/VEKEngine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/PL_Host.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Text.h"
#include "player/VEKMessages.h"
#include "render3d/SE_3De.h"

namespace {
std::vector<std::string>& ProgramArguments() {
  static std::vector<std::string> arguments;
  return arguments;
}
}  // namespace

void SetProgramArguments(std::vector<std::string> arguments) {
  ProgramArguments() = std::move(arguments);
}

bool SwitchGiven(std::string_view name) {
  std::string wanted = UpperAscii(name);
  for (const auto& argument : ProgramArguments()) {
    if (argument.size() < wanted.size()) continue;
    if (UpperAscii(std::string_view(argument).substr(0, wanted.size())) == wanted) return true;
  }
  return false;
}

bool IsDisplaySwitch(std::string_view argument) {
  const std::string upper = UpperAscii(argument);
  return upper.starts_with("HARDWARE") || upper.starts_with("WINDOWED") ||
         upper.starts_with("FLIP");
}

namespace {
// The value of --exit-keys, --on-quit or --idle-restart into the options; false when bad.
bool TakeKioskValue(const std::string& option, const std::string& value, TStartOptions& options,
                    bool& onQuitGiven) {
  if (option == "--exit-keys") {
    std::string error;
    if (ParseKeyChord(value, options.ExitChord, error)) return true;
    options.Error = "--exit-keys " + value + ": " + error;
    return false;
  }
  if (option == "--on-quit") {
    onQuitGiven = true;
    options.RestartOnQuit = value == "restart";
    if (value == "restart" || value == "exit") return true;
    options.Error = "--on-quit takes restart or exit, not " + value;
    return false;
  }
  // Fractions let an operator (and a test) wait seconds: 0.5 is half a minute.
  char* end = nullptr;
  const double minutes = std::strtod(value.c_str(), &end);
  if (value.empty() || *end || !(minutes >= 1.0 / 60 && minutes <= 10000)) {
    options.Error = "--idle-restart takes minutes from 0.02 (a second) to 10000, not " + value;
    return false;
  }
  options.IdleRestartMs = static_cast<uint32_t>(minutes * 60000 + 0.5);
  return true;
}
}  // namespace

TStartOptions TakeStartOptions(std::vector<std::string>& arguments) {
  TStartOptions options;
  bool onQuitGiven = false;
  for (size_t i = 0; i < arguments.size();) {
    const std::string& word = arguments[i];
    if (word == "--trace" || word == "--allow-execute" || word == "--watch" || word == "--kiosk") {
      (word == "--trace"   ? options.Trace
       : word == "--watch" ? options.Watch
       : word == "--kiosk" ? options.Kiosk
                           : options.AllowExecute) = true;
      arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i));
    } else if (word == "--exit-keys" || word == "--on-quit" || word == "--idle-restart") {
      if (i + 1 >= arguments.size()) {
        options.Error = word + " needs a value";
        return options;
      }
      if (!TakeKioskValue(word, arguments[i + 1], options, onQuitGiven)) return options;
      arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                      arguments.begin() + static_cast<std::ptrdiff_t>(i + 2));
    } else if (arguments[i] == "--section" || arguments[i] == "--script") {
      const bool section = arguments[i] == "--section";
      if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
        options.Error = section ? "--section needs the name of a section"
                                : "--script needs the name of a script";
        return options;
      }
      (section ? options.Section : options.Script) = arguments[i + 1];
      arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                      arguments.begin() + static_cast<std::ptrdiff_t>(i + 2));
    } else {
      ++i;
    }
  }
  if (!onQuitGiven) options.RestartOnQuit = options.Kiosk;
  return options;
}

TVEKE::TVEKE() {
  Host().NewPlay();
  auto main = std::make_unique<TVKSection>();
  main->Name = kMainSectionName;
  CurrentSection = main.get();
  SectionsByName.try_emplace(main->Name, main.get());
  Sections.push_back(std::move(main));
}

TVEKE::~TVEKE() { FreeAll(); }

void TVEKE::FreeAll() {
  // Objects first, while the engine they draw, sound and play with is still there.
  CallStack.clear();
  for (const auto& section : Sections) {
    CurrentSection = section.get();
    FreeSectionObjects();
  }
  CurrentSection = Sections.front().get();
  // Models are drawn into the engine's frames; the scene goes before the engine.
  Scene.reset();
  Buttons.reset();
  Engine.reset();
}

void TVEKE::Execute(const std::string& scriptFileName) {
  Begin(scriptFileName);
  RunWhile([] { return true; });
}

void TVEKE::Begin(const std::string& scriptFileName) {
  std::string path = ResolveGivenPath(scriptFileName);
  if (!IsRegularFile(path)) {
    // A pipe or device exists all right: saying it is missing would send the user looking.
    if (const std::string kind = SpecialFileKind(path); !kind.empty())
      FatalError(scriptFileName + " is a " + kind + ", not a script file.", 1);
    char message[4096];
    std::snprintf(message, sizeof message, "%s script nem található.", scriptFileName.c_str());
    FatalError(message, 1);
  }
  SetScriptFolder(FolderOf(path));
  ScriptName = scriptFileName;
  ScriptPath = path;
  LoadScript(path);
  if (!EngineCreated) CreateEngine(640, 480, "VEKE", "");
  PrepareScene();
  Host().SetPointerWanted(std::any_of(Sections.begin(), Sections.end(), [](const auto& section) {
    const auto& declarations = section->Declarations;
    return std::any_of(
        declarations.begin(), declarations.end(),
        [](const TVKDeclaration& declaration) { return declaration.Kind == kKindButton; });
  }));
  EnterStartSection();
  PlayStartMs = Host().TimeMs();
  Engine->LastInputMs = PlayStartMs;
}

bool TVEKE::RunWhile(const std::function<bool()>& goOn) {
  if (!Engine) return false;
  try {
    while (!Engine->Terminated && goOn()) Engine->RunOnce();
  } catch (...) {
    ReportRunError();
    FreeAll();
    throw;
  }
  if (!Engine->Terminated) return true;
  FreeAll();
  return false;
}

void TVEKE::CreateEngine(int32_t width, int32_t height, const std::string& caption,
                         const std::string& fontFile) {
  TEngineParams params;
  params.Width = width;
  params.Height = height;
  params.BitDepth = 16;
  params.Caption = caption;
  params.Hardware = SwitchGiven("HARDWARE");
  params.FullScreen = Start.Kiosk || !SwitchGiven("WINDOWED");
  params.Flip = SwitchGiven("FLIP");
  Buttons.reset();
  Engine.reset();
  Engine = std::make_unique<TGEngine>(
      params, [this](int32_t elapsed) { IdleStep(elapsed); },
      [this](int32_t elapsed) { Step(elapsed); });
  if (!Engine->Ready) FatalError("Inicializálás hiba: " + Engine->ErrorText, 1);
  EngineCreated = true;
  Engine->ShowCursor(true);
  Engine->OnWindowKey = [this](TWindowKey key) { WindowKey(key); };
  FontFile = fontFile.empty() ? kDefaultFontFile : fontFile;
  Engine->Font = std::make_unique<TGEFont>(*Engine->Display, FontFile);
  Engine->Display->TextFont = Engine->Font.get();
  Buttons = std::make_unique<TGEButtonList>(
      *Engine->Display, kButtonsPlain,
      StreamedButtonSounds(Engine->SoundReady ? Engine->Sound.get() : nullptr), Engine->Font.get());
}

void TVEKE::RestartPlay(std::string reason) {
  if (!RestartReason.empty()) return;
  RestartReason = std::move(reason);
  Host().KeepDisplay();
  Engine->PostQuit();
}

void TVEKE::EnsureEngine() {
  // Objects need an engine; a script that declares none before them gets the default one.
  if (!EngineCreated) CreateEngine(640, 480, "VEKE", "");
}

void TVEKE::ReportRunError() {
  if (!Engine) return;
  Engine->ErrorText.clear();
  // The first component that has failed names the reason, in the engine's order.
  const TGEngine& e = *Engine;
  if (e.Display && !e.Display->Ready)
    Engine->ErrorText = e.Display->ErrorText;
  else if (e.Sprites && !e.Sprites->Ready)
    Engine->ErrorText = e.Sprites->ErrorText;
  else if (e.SoundReady && e.Sound && !e.Sound->Ready)
    Engine->ErrorText = e.Sound->ErrorText;
  else if (e.AnimPlay && !e.AnimPlay->Ready)
    Engine->ErrorText = e.AnimPlay->ErrorText;
  else if (e.Map && !e.Map->Ready)
    Engine->ErrorText = e.Map->ErrorText;
  const std::string& text = Engine->ErrorText;
  Host().ShowMessage(Cp1250ToUtf8(Engine->Caption),
                     text.empty() ? "Ismeretlen hiba miatt a program futása megszakadt!" : text);
}
