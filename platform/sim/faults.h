// Injected failures. The machine can be told that a named operation (a Win32 function
// name such as "RegOpenKeyExW" or "ShellExecuteExW") fails with a given error, once,
// N times or always. Faults live in the machine's store, so child processes see them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store.h"
#include "win32/types.h"

namespace sim {

constexpr int64_t kAlways = -1;

struct Fault {
    std::string op;
    DWORD error = 0;
    int64_t remaining = kAlways;  // uses left, or kAlways
    int64_t skip = 0;             // calls that succeed before the fault takes effect
};

// True when the current machine holds a fault for op; uses it up once and gives its
// error. Called at the start of every faultable operation.
bool TakeFault(const char* op, DWORD* error);

void SetFault(Store& db, const Fault& fault);
bool ClearFault(Store& db, const std::string& op);  // false when there was none
void ClearAllFaults(Store& db);
std::vector<Fault> ListFaults(Store& db);

}  // namespace sim
