#pragma once
// Keeping a service manager informed (systemd's notify protocol, through NOTIFY_SOCKET): the
// player says it is up once its frame loop turns, and that it is alive as long as it turns,
// so a hung player is killed and started again. Without NOTIFY_SOCKET all of this is a
// no-op costing one flag test.
#include <string>

// The frame loop turned: READY=1 the first time, then WATCHDOG=1 twice per watchdog interval
// (when the service manager asked for one). Call only from the frame loop's thread.
void ServiceLoopTurned();
// A one-line state for `systemctl status` (e.g. the presentation playing).
void ServiceStatus(const std::string& status);
