#pragma once
// Which of the desktop's screens the SDL host opens on; for PL_SdlHost only.
#include <cstdint>
#include <string>

// Before SDL's video starts: a DISPLAY naming another X screen than the first (":0.1") is
// where the user wants to be, unless `wanted` names a screen itself.
void PrepareX11Screen(int32_t wanted);

// With SDL's video started: the SDL display to open on for `wanted` (-1: the one SDL opens
// windows on). A screen that SDL cannot place a window on by position (another X screen of
// the same server) is reached by starting SDL's video again on that screen, and is then SDL's
// display 0. A screen that does not exist, or cannot be reached, gives the first display
// and a warning.
int32_t ChooseDisplay(int32_t wanted, std::string& warning);
