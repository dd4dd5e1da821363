#include "platform/PL_ServiceNotify.h"

#include <systemd/sd-daemon.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>

namespace {
using TClock = std::chrono::steady_clock;

struct TServiceState {
  bool Managed = std::getenv("NOTIFY_SOCKET") != nullptr;
  bool Ready = false;
  // Half the watchdog interval the manager set (WATCHDOG_USEC); zero: it set none.
  std::chrono::microseconds PingEvery{0};
  TClock::time_point LastPing{};

  TServiceState() {
    uint64_t usec = 0;
    if (Managed && sd_watchdog_enabled(0, &usec) > 0)
      PingEvery = std::chrono::microseconds(usec / 2);
  }
};

TServiceState& State() {
  static TServiceState state;
  return state;
}
}  // namespace

void ServiceLoopTurned() {
  TServiceState& state = State();
  if (!state.Managed) return;
  const TClock::time_point now = TClock::now();
  if (!state.Ready) {
    state.Ready = true;
    state.LastPing = now;
    // The first ping goes with READY, so a manager that counts from start-up is answered.
    sd_notify(0, state.PingEvery.count() ? "READY=1\nWATCHDOG=1" : "READY=1");
    return;
  }
  if (state.PingEvery.count() && now - state.LastPing >= state.PingEvery) {
    state.LastPing = now;
    sd_notify(0, "WATCHDOG=1");
  }
}

void ServiceStatus(const std::string& status) {
  if (State().Managed) sd_notify(0, ("STATUS=" + status).c_str());
}
