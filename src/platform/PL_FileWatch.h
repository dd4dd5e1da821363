#pragma once
// Watching files for an author's saves. Editors save by writing a new file and renaming it
// over the old one, which a watch on the file itself would lose with the old file, so the
// folders are watched and their events filtered by name (letter case aside, as the player
// finds names). A save comes as a burst of events; it is told once, when the burst is over.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

// Events noted at times in milliseconds come due together once `SettleMs` have passed
// without another.
class TSettle {
 public:
  explicit TSettle(uint32_t settleMs) : SettleMs(settleMs) {}
  void Note(uint64_t nowMs) { LastMs = nowMs, Pending = true; }
  // How long to wait for the burst to be over: -1 while nothing is pending, 0 when it is due.
  int32_t WaitMs(uint64_t nowMs) const;
  // True once, when a pending burst is over.
  bool TakeDue(uint64_t nowMs);

 private:
  uint32_t SettleMs;
  uint64_t LastMs = 0;
  bool Pending = false;
};

class TFileWatch {
 public:
  static constexpr uint32_t kSettleMs = 50;
  // Starts the watching thread; Error says why when the system gives no watch.
  TFileWatch();
  ~TFileWatch();
  TFileWatch(const TFileWatch&) = delete;
  TFileWatch& operator=(const TFileWatch&) = delete;

  // Adds a file (it need not exist yet); its folder is watched from now on. Any thread.
  void Watch(const std::string& path);
  bool Watches(const std::string& path) const;
  // True once after a burst of changes to watched files has settled. The watching thread only
  // sets a flag: a changed file wakes nothing, the engine finds it at its next frame.
  bool TakeChange() { return Changed.exchange(false); }

  std::string Error;

 private:
  void Run();
  // Whether the event of folder watch `wd` about `name` concerns a watched file.
  bool Concerns(int wd, const std::string& name) const;

  int Inotify = -1;
  int StopFd = -1;
  mutable std::mutex Lock;
  std::map<std::string, int> Folders;                 // folder → its watch
  std::map<int, std::set<std::string>> NamesByWatch;  // watch → upper-cased names in it
  std::atomic<bool> Changed{false};
  std::thread Thread;
};
