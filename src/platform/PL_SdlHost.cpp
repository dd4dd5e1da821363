#include <SDL.h>

#include "platform/PL_Host.h"
#include "platform/PL_Process.h"

namespace {
class TSdlHost : public THost {
 public:
  void ShowMessage(const std::string& caption, const std::string& text) override {
    WriteMessageToStderr(caption, text);
    // Without a display SDL refuses at once, so this never blocks a headless run.
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption.c_str(), text.c_str(), nullptr);
  }
  uint32_t TimeMs() override { return SDL_GetTicks(); }
  bool StartProgram(const std::string& commandLine) override {
    return SpawnDetached(SplitCommandLine(commandLine));
  }
  bool OpenDocument(const std::string& target) override {
    return SpawnDetached({"xdg-open", target});
  }
};
}  // namespace

std::unique_ptr<THost> CreateSdlHost() { return std::make_unique<TSdlHost>(); }
