// The frame of every WINSPOOL call: an injected fault first, then one transaction of the
// machine's store in which the spooler must be running, then the call's own work. A
// failure sets the last error; a success leaves it alone, as the spooler's client does.
#pragma once

#include "faults.h"
#include "machine.h"
#include "spooler_index.h"
#include "spooler_store.h"
#include "win32/errors.h"
#include "win32/kernel.h"

namespace sim::spool {

inline BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// body(Store&) returns ERROR_SUCCESS or the call's error. When the call found the
// printers' snapshot overtaken, it is written afterwards, as the spooler's own work.
template <class F>
DWORD InSpooler(bool write, F&& body) {
    try {
        Store& db = CurrentMachine().Db();
        auto run = [&]() -> DWORD {
            if (DWORD down = SpoolerAvailable(db)) return down;
            return body(db);
        };
        DWORD error = write ? db.Write(run) : db.Read(run);
        SaveDueSnapshot(db);
        return error;
    } catch (const StoreError&) {
        return ERROR_REGISTRY_CORRUPT;
    }
}

template <class F>
BOOL SpoolerCall(const char* op, bool write, F&& body) {
    DWORD error = 0;
    if (TakeFault(op, &error)) return Fail(error);
    error = InSpooler(write, std::forward<F>(body));
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

// Server names: the spooler serves this machine only (no name, or an empty one).
inline bool LocalServer(const void* name, bool wide) {
    if (!name) return true;
    return wide ? *static_cast<const WCHAR*>(name) == 0 : *static_cast<const char*>(name) == 0;
}

}  // namespace sim::spool
