#pragma once
// The hosts' timers (see THost::StartTimer): real ones, a thread each, for the SDL host, and
// virtual ones for the headless host, where the virtual clock alone says when a task is due.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// A repeating step handed to the engine's thread; destroying it stops it (see StartTimer).
class THostTimer {
 public:
  virtual ~THostTimer() = default;
};

// Each timer's thread waits out the interval, hands its task over and waits until the
// engine's thread has run it in RunTasks, then waits out the interval again.
class TThreadTimers {
 public:
  TThreadTimers();
  std::unique_ptr<THostTimer> Start(uint32_t intervalMs, std::function<void()> task);
  // Runs the tasks handed over before the call, in the order they came.
  void RunTasks();
  // Called from a timer's thread whenever it hands a task over, so a resting engine thread
  // wakes up for it. Set before the first timer starts.
  void SetWake(std::function<void()> wake);

  struct TQueue;

 private:
  // Shared with the timers' threads and handles, which may outlive the host.
  std::shared_ptr<TQueue> Queue;
};

// A timer is due `intervalMs` after its start and then `intervalMs` after each run, in
// virtual milliseconds.
class TVirtualTimers {
 public:
  std::unique_ptr<THostTimer> Start(uint32_t now, uint32_t intervalMs, std::function<void()> task);
  // Runs every task due at `now` once, in the order the timers were started.
  void RunTasks(uint32_t now);

  struct TEntry;

 private:
  void Sweep();

  std::vector<std::shared_ptr<TEntry>> Timers;  // in the order they were started
  int32_t Depth = 0;                            // RunTasks calls under way
};
