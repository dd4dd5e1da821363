// The file watch in the browser build: there are no author's saves to follow (nor inotify, nor
// threads), so --watch says so once and play goes on without it.
#include "platform/PL_FileWatch.h"

TFileWatch::TFileWatch() { Error = "files are not watched in the browser"; }

TFileWatch::~TFileWatch() = default;

void TFileWatch::Watch(const std::string&) {}

bool TFileWatch::Watches(const std::string&) const { return false; }
