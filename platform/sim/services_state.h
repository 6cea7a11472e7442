// The state of the machine's services, kept in the registry beside each service's
// configuration (HKLM\SYSTEM\CurrentControlSet\Services\<name>) so that every process that
// uses the machine sees one state.
//
// Values kept per service, besides Windows' own configuration values:
//   State              REG_DWORD  the settled state: SERVICE_STOPPED or SERVICE_RUNNING
//                                 (while a request is pending, the state it leads to)
//   PendingState       REG_DWORD  0, SERVICE_START_PENDING or SERVICE_STOP_PENDING
//   PendingOwner       REG_SZ     the process that asked ("pid:token")
//   PendingEndsAt      REG_QWORD  when the pending state ends, on the owner's machine clock
//   PendingEndsAtHost  REG_QWORD  the same moment on the host's monotonic clock
//   RunCount           REG_DWORD  how many times the service has been started
//
// Pending states across processes. Each process's machine clock starts when that process
// starts (and may be driven by a test), so a machine time means nothing to another process.
// The process that asked for a stop or start therefore sees the pending state end on its own
// machine clock, exactly and deterministically under a driven clock; every other process
// sees it end on the host's monotonic clock, which all processes share, after the same
// length of real time (divided by the asking process's clock speed). Nothing is written
// when a pending state ends: each reader works the state out from the record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store.h"
#include "win32/types.h"

namespace sim::svc {

inline constexpr uint64_t kStopPendingMs = 300;
inline constexpr uint64_t kStartPendingMs = 500;

struct Status {
    DWORD type = 0;
    DWORD state = 0;      // SERVICE_STOPPED ... SERVICE_RUNNING, as a reader sees it now
    DWORD startType = 0;  // SERVICE_AUTO_START, SERVICE_DEMAND_START, SERVICE_DISABLED, ...
    DWORD runCount = 0;
    DWORD waitHint = 0;   // while pending: the pending time, in milliseconds
};

// The key of a service (case-insensitive name), or 0 when there is none. Runs inside the
// caller's transaction.
int64_t FindService(Store& db, std::u16string_view name);
std::u16string ServiceName(Store& db, int64_t key);

Status Query(Store& db, int64_t key);

// Ask for a stop or a start. They return ERROR_SUCCESS, or the error ControlService or
// StartService gives: ERROR_SERVICE_NOT_ACTIVE, ERROR_SERVICE_CANNOT_ACCEPT_CTRL,
// ERROR_SERVICE_ALREADY_RUNNING, ERROR_SERVICE_DISABLED. Inside a write transaction.
DWORD RequestStop(Store& db, int64_t key);
DWORD RequestStart(Store& db, int64_t key);

// The print spooler: running (not stopped, not pending), and the count of its starts,
// which tells one run of the spooler from the next.
bool SpoolerRunning(Store& db);
DWORD SpoolerRunCount(Store& db);

// Creates a service's configuration and state (the default machine's services).
void CreateService(Store& db, std::u16string_view name, std::u16string_view displayName,
                   std::u16string_view imagePath, DWORD type, DWORD startType, DWORD state);

}  // namespace sim::svc
