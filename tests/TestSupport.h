#pragma once
// Shared helpers of the tests: a headless host that records messages, fatal messages turned
// into exceptions, and temporary folders.
#include <filesystem>
#include <string>

#include "platform/PL_Host.h"
#include "player/VEKMessages.h"

// Installs a fresh headless host and the throwing exit handler for one test's lifetime.
class THeadlessFixture {
 public:
  THeadlessFixture() {
    auto host = std::make_unique<THeadlessHost>();
    Headless = host.get();
    InstallHost(std::move(host));
    SetExitHandler(ThrowFatalExit);
  }
  ~THeadlessFixture() {
    SetExitHandler(nullptr);
    InstallHost(std::make_unique<THeadlessHost>());
  }
  THeadlessHost* Headless;
};

// A folder under the system's temporary folder, removed with everything in it.
class TTempFolder {
 public:
  TTempFolder();
  ~TTempFolder();
  std::filesystem::path Path;
  std::filesystem::path Write(const std::string& relative, const std::string& content) const;
};

#include "player/VEKEngine.h"

// A script on the headless host, stepped frame by frame by the test.
class TScriptRun : public THeadlessFixture {
 public:
  TVEKE& Load(const std::string& text, bool hardware = false);
  // Runs one frame of the engine loop (events first, as the loop does) and returns the
  // time of play at which it ran.
  uint32_t Frame();
  void Frames(int count) {
    for (int i = 0; i < count; ++i) Frame();
  }
  // A pixel of the last presented frame.
  uint32_t Pixel(int32_t x, int32_t y) const;
  TVKSection& Section(size_t index) { return *Veke->Sections[index]; }

  std::unique_ptr<TVEKE> Veke;
};
