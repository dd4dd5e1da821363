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
