#include "TestSupport.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace {
// Every test plays on SDL's dummy video and sound whoever starts it (ctest passes only the
// first of its environment variables to discovered tests); a driver asked for by name wins.
const bool kDummyDrivers = (setenv("SDL_VIDEODRIVER", "dummy", 0),
                            setenv("SDL_AUDIODRIVER", "dummy", 0), true);
}  // namespace

TTempFolder::TTempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "veke-test-XXXXXX").string();
  Path = mkdtemp(pattern.data());
}

TTempFolder::~TTempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(Path, ec);
}

std::filesystem::path TTempFolder::Write(const std::string& relative,
                                         const std::string& content) const {
  std::filesystem::path file = Path / relative;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
  return file;
}

#include <cstring>

TVEKE& TScriptRun::Load(const std::string& text, bool hardware) {
  SetProgramArguments(hardware ? std::vector<std::string>{"t.vek", "WINDOWED", "HARDWARE"}
                               : std::vector<std::string>{"t.vek", "WINDOWED"});
  // One engine at a time, as in the program: the old one lets the sound output go first.
  Veke.reset();
  Veke = std::make_unique<TVEKE>();
  Veke->ScriptName = "t.vek";
  Veke->LoadScriptText(text);
  if (!Veke->EngineCreated) Veke->CreateEngine(640, 480, "VEKE", "");
  Veke->PrepareScene();
  return *Veke;
}

uint32_t TScriptRun::Frame() {
  uint32_t at = Headless->PlayedMs();
  while (!Veke->Engine->Terminated && !Veke->Engine->RunOnce()) at = Headless->PlayedMs();
  return at;
}

uint32_t TScriptRun::Pixel(int32_t x, int32_t y) const {
  TPlatformSurface& frame = *Veke->Engine->Display->BackSurface;
  int32_t bytes = BytesPerPixelOf(frame.Format());
  uint32_t value = 0;
  std::memcpy(&value, frame.Pixels() + y * frame.Pitch() + x * bytes, bytes);
  return value;
}
