// `veke`: plays a presentation script in a window or full screen.
#include "platform/PL_Host.h"
#include "player/VEKEntry.h"

int main(int argc, char** argv) {
  InstallHost(CreateSdlHost());
  return PlayerMain(std::vector<std::string>(argv + 1, argv + argc), "veke");
}
