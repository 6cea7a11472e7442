// Kernel objects that can be waited for: threads, events and processes. Their state is
// guarded by the machine clock's lock, so that one wait primitive serves time-outs on
// the machine clock and signals alike.
#pragma once

#include <sys/types.h>

#include "handles.h"
#include "win32/types.h"

namespace sim {

struct Waitable : Object {
    bool signalled = false;  // guarded by clock::Lock()
    bool manualReset = true;
    // Called under the lock when a wait is satisfied by this object.
    void Consume() {
        if (!manualReset) signalled = false;
    }
};

struct ThreadObject final : Waitable {
    static constexpr Kind kKind = Kind::Thread;
    Kind kind() const override { return kKind; }
    DWORD exitCode = 259;  // STILL_ACTIVE
    DWORD threadId = 0;
};

struct EventObject final : Waitable {
    static constexpr Kind kKind = Kind::Event;
    Kind kind() const override { return kKind; }
};

struct ProcessObject final : Waitable {
    static constexpr Kind kKind = Kind::Process;
    Kind kind() const override { return kKind; }
    pid_t pid = 0;
    DWORD exitCode = 259;  // STILL_ACTIVE
};

// Marks a waitable as signalled and wakes its waiters.
void Signal(Waitable& object);

}  // namespace sim
