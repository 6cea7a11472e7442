// The registry tree inside the store: keys and typed values, addressed by key id.
// Every function here runs inside the caller's transaction (Store::Read or Write).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store.h"

namespace sim::reg {

constexpr int64_t kLocalMachine = 1;
constexpr int64_t kCurrentUser = 2;
constexpr int64_t kUsers = 3;

struct Value {
    std::u16string name;
    uint32_t type = 0;
    std::string data;  // raw bytes, exactly as set
};

// Splits a subkey path at backslashes. Trailing backslashes are ignored; a leading one
// or an empty component makes the path invalid (nullopt), as Windows refuses them.
std::optional<std::vector<std::u16string>> SplitPath(std::u16string_view path);

bool KeyExists(Store& db, int64_t id);
int64_t FindChild(Store& db, int64_t parent, std::u16string_view name);  // 0 if none
int64_t FindPath(Store& db, int64_t parent, const std::vector<std::u16string>& parts);
// Creates missing keys along the path; *created tells whether the last one was new.
int64_t CreatePath(Store& db, int64_t parent, const std::vector<std::u16string>& parts,
                   bool* created);
std::u16string KeyName(Store& db, int64_t id);
std::u16string KeyPath(Store& db, int64_t id);  // "HKEY_LOCAL_MACHINE\SOFTWARE\..."

// Subkeys in Windows' order (case-insensitive by name); values in creation order.
std::vector<std::u16string> SubKeys(Store& db, int64_t id);
std::optional<std::u16string> SubKeyAt(Store& db, int64_t id, uint32_t index);
size_t SubKeyCount(Store& db, int64_t id);
std::vector<Value> Values(Store& db, int64_t id);
std::optional<Value> ValueAt(Store& db, int64_t id, uint32_t index);

std::optional<Value> GetValue(Store& db, int64_t key, std::u16string_view name);
void SetValue(Store& db, int64_t key, std::u16string_view name, uint32_t type,
              std::string_view data);
bool DeleteValue(Store& db, int64_t key, std::u16string_view name);
// Deletes a key that has no subkeys, with its values. False when it has subkeys.
bool DeleteLeafKey(Store& db, int64_t id);
// Deletes a key with everything below it (drovan-machine's `reg delete`).
void DeleteTree(Store& db, int64_t id);

// Resolves "HKLM\A\B", "HKEY_CURRENT_USER\X" and the like to a root id and the rest.
std::optional<std::pair<int64_t, std::u16string>> ParseRootedPath(std::u16string_view path);

// Convenience for building defaults: a REG_SZ value with its terminator.
void SetString(Store& db, int64_t key, std::u16string_view name, std::u16string_view text);
void SetDword(Store& db, int64_t key, std::u16string_view name, uint32_t value);

}  // namespace sim::reg
