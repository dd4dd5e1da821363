// Feeds arbitrary bytes to the script parser and plays what it read for a few frames: it must
// parse and play, or stop with a message, nothing else. Playing reaches the commands and effects
// on objects that the script has freed meanwhile.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include "platform/PL_Host.h"
#include "player/VEKEngine.h"
#include "player/VEKMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static THeadlessHost* host = [] {
    auto created = std::make_unique<THeadlessHost>();
    created->Quiet = true;
    THeadlessHost* raw = created.get();
    InstallHost(std::move(created));
    SetExitHandler(ThrowFatalExit);
    return raw;
  }();
  host->Messages.clear();
  try {
    TVEKE veke;
    veke.LoadScriptText(std::string_view(reinterpret_cast<const char*>(data), size));
    for (int turn = 0; turn < 40 && veke.Engine && !veke.Engine->Terminated; ++turn)
      veke.Engine->RunOnce();
  } catch (const TFatalExit&) {
  } catch (const std::exception&) {
    // What the program's outermost handler reports and ends with (an unreadable text file).
  }
  return 0;
}
