#pragma once
// The narrow services of the operating system that the player needs. Two hosts implement
// them: the SDL host of `veke` and the headless host of `veke-render` and the tests.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class THost {
 public:
  virtual ~THost() = default;

  // A message box with an OK button. Every host also writes "CAPTION: TEXT" to stderr, so a
  // message is never lost, and no host blocks when there is no display. Texts are UTF-8.
  virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;

  // Milliseconds from an arbitrary start; wraps around at 2^32 like the system timer.
  virtual uint32_t TimeMs() = 0;

  // Starts a program from a command line (no shell) or opens a document with the desktop's
  // handler; neither waits. False when it could not be started.
  virtual bool StartProgram(const std::string& commandLine) = 0;
  virtual bool OpenDocument(const std::string& target) = 0;
};

// The host in use. Until a program installs one, a headless host serves.
THost& Host();
void InstallHost(std::unique_ptr<THost> host);

// Diagnostics for developers (the debugger output of the original): stderr.
void DebugOutput(const std::string& text);

// Writes "CAPTION: TEXT" to stderr: the part of a message box every host shares.
void WriteMessageToStderr(const std::string& caption, const std::string& text);

// The headless host: stderr messages, a virtual clock, recorded program starts.
class THeadlessHost : public THost {
 public:
  void ShowMessage(const std::string& caption, const std::string& text) override;
  uint32_t TimeMs() override { return VirtualTime; }
  bool StartProgram(const std::string& commandLine) override;
  bool OpenDocument(const std::string& target) override;

  uint32_t VirtualTime = 0;
  bool Quiet = false;                 // keep messages off stderr (fuzzing)
  std::vector<std::string> Messages;  // "CAPTION: TEXT", in order
  std::vector<std::string> Started;   // programs and documents that would have been started
};

// The SDL host: real message boxes, SDL_GetTicks, real processes.
std::unique_ptr<THost> CreateSdlHost();
