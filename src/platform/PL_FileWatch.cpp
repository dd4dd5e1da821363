#include "platform/PL_FileWatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "platform/PL_Text.h"

namespace {
uint64_t NowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

// Writes close a file; renames, creations and removals (`touch` changes the time only) as
// editors save; writes in place for programs that keep the file open.
constexpr uint32_t kSaveEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MODIFY;
}  // namespace

int32_t TSettle::WaitMs(uint64_t nowMs) const {
  if (!Pending) return -1;
  const uint64_t due = LastMs + SettleMs;
  return nowMs >= due ? 0 : static_cast<int32_t>(due - nowMs);
}

bool TSettle::TakeDue(uint64_t nowMs) {
  if (WaitMs(nowMs) != 0) return false;
  Pending = false;
  return true;
}

TFileWatch::TFileWatch() {
  Inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  StopFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (Inotify < 0 || StopFd < 0) {
    Error = std::string("cannot watch files: ") + std::strerror(errno);
    return;
  }
  Thread = std::thread([this] { Run(); });
}

TFileWatch::~TFileWatch() {
  if (Thread.joinable()) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(StopFd, &one, sizeof one);
    Thread.join();
  }
  if (Inotify >= 0) close(Inotify);
  if (StopFd >= 0) close(StopFd);
}

void TFileWatch::Watch(const std::string& path) {
  if (Inotify < 0) return;
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec).lexically_normal();
  const std::string folder = absolute.parent_path().string();
  const std::string name = UpperAscii(absolute.filename().string());
  std::lock_guard<std::mutex> hold(Lock);
  auto found = Folders.find(folder);
  if (found == Folders.end()) {
    const int wd = inotify_add_watch(Inotify, folder.c_str(), kSaveEvents | IN_ONLYDIR);
    if (wd < 0) return;  // no such folder: nothing there can change
    found = Folders.emplace(folder, wd).first;
  }
  NamesByWatch[found->second].insert(name);
}

bool TFileWatch::Watches(const std::string& path) const {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec).lexically_normal();
  std::lock_guard<std::mutex> hold(Lock);
  const auto folder = Folders.find(absolute.parent_path().string());
  return folder != Folders.end() && Concerns(folder->second, absolute.filename().string());
}

bool TFileWatch::Concerns(int wd, const std::string& name) const {
  const auto names = NamesByWatch.find(wd);
  return names != NamesByWatch.end() && names->second.contains(UpperAscii(name));
}

void TFileWatch::Run() {
  TSettle settle(kSettleMs);
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    pollfd fds[2] = {{Inotify, POLLIN, 0}, {StopFd, POLLIN, 0}};
    if (poll(fds, 2, settle.WaitMs(NowMs())) < 0 && errno != EINTR) return;
    if (fds[1].revents) return;
    if (fds[0].revents & POLLIN) {
      ssize_t got;
      while ((got = read(Inotify, buffer, sizeof buffer)) > 0) {
        std::lock_guard<std::mutex> hold(Lock);
        for (ssize_t at = 0; at < got;) {
          const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
          at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
          if (event->len > 0 && Concerns(event->wd, event->name)) settle.Note(NowMs());
        }
      }
    }
    if (settle.TakeDue(NowMs())) Changed = true;
  }
}
