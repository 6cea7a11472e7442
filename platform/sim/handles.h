// The process's handle table. Every kernel object the machine hands out (keys, threads,
// events, processes, files, modules, and later printers and services) is an entry here;
// a handle of the wrong kind is refused with ERROR_INVALID_HANDLE, as Windows does.
#pragma once

#include <memory>
#include <optional>

#include "win32/types.h"

namespace sim {

enum class Kind { Key, Thread, Event, Process, File, Module, Printer, ScManager, Service, DevInfo };

struct Object {
    virtual ~Object() = default;
    virtual Kind kind() const = 0;
};

// Adds an object and returns its handle value (never null, never INVALID_HANDLE_VALUE).
void* InsertHandle(std::shared_ptr<Object> object);

// The object behind a handle, or null when the handle is unknown or of another kind.
std::shared_ptr<Object> LookupHandle(const void* handle, Kind kind);

template <class T>
std::shared_ptr<T> Lookup(const void* handle) {
    return std::static_pointer_cast<T>(LookupHandle(handle, T::kKind));
}

// The kind of a handle's object, if the handle is known.
std::optional<Kind> HandleKind(const void* handle);

// Removes a handle of the given kind; false when there is none.
bool RemoveHandle(const void* handle, Kind kind);
// Removes a handle of any kind; false when there is none.
bool RemoveAnyHandle(const void* handle);

}  // namespace sim
