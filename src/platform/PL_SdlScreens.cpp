#include "platform/PL_SdlScreens.h"

#include <SDL.h>

#include <cstdlib>

namespace {
constexpr uint32_t kVideo = SDL_INIT_VIDEO | SDL_INIT_EVENTS;

// ":0.1" is X display 0, screen 1: the host part and the screen (0 when none is named).
bool SplitX11Display(const std::string& display, std::string& host, int32_t& screen) {
  const size_t colon = display.rfind(':');
  if (colon == std::string::npos) return false;
  const size_t dot = display.find('.', colon);
  host = display.substr(0, dot);
  screen = dot == std::string::npos ? 0 : std::atoi(display.c_str() + dot + 1);
  return true;
}

// SDL gives each X screen's monitors their own displays, all placed from (0, 0), and puts a
// window on the first display holding its position: so only the first X screen can be
// reached by position.
bool ReachableByPosition(int32_t index) {
  SDL_Rect target{}, other{};
  if (SDL_GetDisplayBounds(index, &target) != 0) return false;
  const SDL_Point centre{target.x + target.w / 2, target.y + target.h / 2};
  for (int32_t i = 0; i < index; ++i)
    if (SDL_GetDisplayBounds(i, &other) == 0 && SDL_PointInRect(&centre, &other)) return false;
  return true;
}

// Starts SDL's video again connected to X screen `screen` alone. Without RandR SDL sees just
// the screen its DISPLAY names, and opens every window there.
bool RestartOnX11Screen(int32_t screen) {
  const char* current = SDL_getenv("DISPLAY");
  std::string host, saved = current ? current : "";
  int32_t ignored = 0;
  if (!SplitX11Display(saved, host, ignored)) return false;
  SDL_QuitSubSystem(kVideo);
  setenv("DISPLAY", (host + "." + std::to_string(screen)).c_str(), 1);
  SDL_SetHint(SDL_HINT_VIDEO_X11_XRANDR, "0");
  if (SDL_InitSubSystem(kVideo) == 0) return true;
  setenv("DISPLAY", saved.c_str(), 1);
  SDL_SetHint(SDL_HINT_VIDEO_X11_XRANDR, nullptr);
  SDL_InitSubSystem(kVideo);
  return false;
}
}  // namespace

void PrepareX11Screen(int32_t wanted) {
  const char* display = SDL_getenv("DISPLAY");
  std::string host;
  int32_t screen = 0;
  if (wanted < 0 && display && SplitX11Display(display, host, screen) && screen > 0)
    SDL_SetHint(SDL_HINT_VIDEO_X11_XRANDR, "0");
}

int32_t ChooseDisplay(int32_t wanted, std::string& warning) {
  const int32_t count = SDL_GetNumVideoDisplays();
  if (wanted < 0) return 0;
  if (wanted >= count) {
    warning = "there is no display " + std::to_string(wanted) + " (displays 0 to " +
              std::to_string(count - 1) + "); using display 0";
    return 0;
  }
  if (ReachableByPosition(wanted)) return wanted;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && std::string(driver) == "x11" && RestartOnX11Screen(wanted)) return 0;
  warning = "display " + std::to_string(wanted) + " cannot be reached; using display 0";
  return 0;
}
