#include "handles.h"

#include <mutex>
#include <unordered_map>

namespace sim {
namespace {

struct Table {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects;
    uintptr_t next = 0x100;
};

Table& TheTable() {
    static Table* table = new Table;  // outlives static destructors of other objects
    return *table;
}

}  // namespace

void* InsertHandle(std::shared_ptr<Object> object) {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    uintptr_t value = t.next;
    t.next += 4;  // handle values are multiples of four, as on Windows
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<void*>(value);
}

std::shared_ptr<Object> LookupHandle(const void* handle, Kind kind) {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end() || it->second->kind() != kind) return nullptr;
    return it->second;
}

std::optional<Kind> HandleKind(const void* handle) {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end()) return std::nullopt;
    return it->second->kind();
}

bool RemoveHandle(const void* handle, Kind kind) {
    std::shared_ptr<Object> doomed;  // destroyed outside the lock
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end() || it->second->kind() != kind) return false;
    doomed = std::move(it->second);
    t.objects.erase(it);
    return true;
}

bool RemoveAnyHandle(const void* handle) {
    std::shared_ptr<Object> doomed;
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end()) return false;
    doomed = std::move(it->second);
    t.objects.erase(it);
    return true;
}

}  // namespace sim
