// A page has no service manager to keep informed.
#include "platform/PL_ServiceNotify.h"

void ServiceLoopTurned() {}
void ServiceStatus(const std::string&) {}
