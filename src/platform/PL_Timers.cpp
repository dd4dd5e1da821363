#include "platform/PL_Timers.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

struct TTimerState {
  std::function<void()> Task;
  std::condition_variable Wake;
  bool Cancelled = false;
  bool HandedOver = false;  // queued for the engine's thread or running there
};

}  // namespace

// One lock for the queue and every timer's flags, so no two locks are ever taken in turn.
struct TThreadTimers::TQueue {
  std::mutex Lock;
  std::vector<std::shared_ptr<TTimerState>> Due;
  std::function<void()> Wake;
};

namespace {

class TThreadTimer : public THostTimer {
 public:
  TThreadTimer(std::shared_ptr<TThreadTimers::TQueue> queue, uint32_t intervalMs,
               std::function<void()> task)
      : Queue(std::move(queue)), State(std::make_shared<TTimerState>()) {
    State->Task = std::move(task);
    Thread = std::thread(Run, Queue, State, std::chrono::milliseconds(intervalMs));
  }

  ~TThreadTimer() override {
    {
      std::lock_guard lock(Queue->Lock);
      State->Cancelled = true;
      std::erase(Queue->Due, State);
    }
    State->Wake.notify_all();
    Thread.join();
  }

 private:
  static void Run(std::shared_ptr<TThreadTimers::TQueue> queue, std::shared_ptr<TTimerState> state,
                  std::chrono::milliseconds interval) {
    std::unique_lock lock(queue->Lock);
    while (!state->Wake.wait_for(lock, interval, [&] { return state->Cancelled; })) {
      state->HandedOver = true;
      queue->Due.push_back(state);
      if (queue->Wake) queue->Wake();
      state->Wake.wait(lock, [&] { return state->Cancelled || !state->HandedOver; });
    }
  }

  std::shared_ptr<TThreadTimers::TQueue> Queue;
  std::shared_ptr<TTimerState> State;
  std::thread Thread;
};

// Lets the timer's thread wait again once its task is over, even when the task throws.
class THandBack {
 public:
  THandBack(TThreadTimers::TQueue& queue, TTimerState& state) : Queue(queue), State(state) {}
  ~THandBack() {
    std::lock_guard lock(Queue.Lock);
    State.HandedOver = false;
    State.Wake.notify_all();
  }
  THandBack(const THandBack&) = delete;
  THandBack& operator=(const THandBack&) = delete;

 private:
  TThreadTimers::TQueue& Queue;
  TTimerState& State;
};

}  // namespace

TThreadTimers::TThreadTimers() : Queue(std::make_shared<TQueue>()) {}

std::unique_ptr<THostTimer> TThreadTimers::Start(uint32_t intervalMs, std::function<void()> task) {
  return std::make_unique<TThreadTimer>(Queue, intervalMs, std::move(task));
}

void TThreadTimers::SetWake(std::function<void()> wake) {
  std::lock_guard lock(Queue->Lock);
  Queue->Wake = std::move(wake);
}

void TThreadTimers::RunTasks() {
  std::unique_lock lock(Queue->Lock);
  // Only what was due when the turn began: a timer with a tiny interval must not hold the
  // engine's thread here for ever.
  for (size_t count = Queue->Due.size(); count > 0 && !Queue->Due.empty(); --count) {
    // The state, and with it the task, stays alive while the task runs, even when the task
    // destroys its own timer; destruction has taken a cancelled timer out of the queue.
    const std::shared_ptr<TTimerState> state = std::move(Queue->Due.front());
    Queue->Due.erase(Queue->Due.begin());
    lock.unlock();
    {
      THandBack handBack(*Queue, *state);
      state->Task();
    }
    lock.lock();
  }
}

struct TVirtualTimers::TEntry {
  std::function<void()> Task;
  uint32_t IntervalMs = 0;
  uint32_t DueAt = 0;
  bool Cancelled = false;
};

namespace {

class TVirtualTimer : public THostTimer {
 public:
  explicit TVirtualTimer(std::shared_ptr<TVirtualTimers::TEntry> entry) : Entry(std::move(entry)) {}
  // The list lets go of the entry at its next sweep, never while its task may be running.
  ~TVirtualTimer() override { Entry->Cancelled = true; }

 private:
  std::shared_ptr<TVirtualTimers::TEntry> Entry;
};

// Counts a RunTasks call as under way until it ends, however it ends.
class TDepth {
 public:
  explicit TDepth(int32_t& depth) : Depth(depth) { ++Depth; }
  ~TDepth() { --Depth; }
  TDepth(const TDepth&) = delete;
  TDepth& operator=(const TDepth&) = delete;

 private:
  int32_t& Depth;
};

}  // namespace

std::unique_ptr<THostTimer> TVirtualTimers::Start(uint32_t now, uint32_t intervalMs,
                                                  std::function<void()> task) {
  Sweep();
  auto entry = std::make_shared<TEntry>();
  entry->Task = std::move(task);
  entry->IntervalMs = intervalMs;
  entry->DueAt = now + intervalMs;
  Timers.push_back(entry);
  return std::make_unique<TVirtualTimer>(std::move(entry));
}

void TVirtualTimers::RunTasks(uint32_t now) {
  {
    TDepth depth(Depth);
    // By index, and only the timers there at the start: a task may start new timers.
    for (size_t i = 0, count = Timers.size(); i < count; ++i) {
      const std::shared_ptr<TEntry> timer = Timers[i];
      // The clock may wrap around 2^32 during play.
      if (timer->Cancelled || static_cast<int32_t>(now - timer->DueAt) < 0) continue;
      timer->DueAt = now + timer->IntervalMs;
      timer->Task();
    }
  }
  Sweep();
}

void TVirtualTimers::Sweep() {
  // Entries may only move while no RunTasks walks the list.
  if (Depth == 0) std::erase_if(Timers, [](const auto& timer) { return timer->Cancelled; });
}
