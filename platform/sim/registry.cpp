// ADVAPI32's registry functions on the machine's store. Results and error codes follow
// Windows: the functions return the error and leave GetLastError() alone.
#include "win32/errors.h"
#include "win32/registry.h"

#include <cstring>

#include "faults.h"
#include "handles.h"
#include "machine.h"
#include "regtree.h"
#include "text.h"

namespace sim {
namespace {

struct KeyObject final : Object {
    static constexpr Kind kKind = Kind::Key;
    KeyObject(int64_t i, REGSAM a) : id(i), access(a) {}
    Kind kind() const override { return kKind; }
    int64_t id;
    REGSAM access;
};

REGSAM NormalizeAccess(REGSAM sam) {
    sam &= ~static_cast<REGSAM>(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    if (sam & (MAXIMUM_ALLOWED | GENERIC_ALL)) sam |= KEY_ALL_ACCESS;
    if (sam & GENERIC_READ) sam |= KEY_READ;
    if (sam & GENERIC_WRITE) sam |= KEY_WRITE;
    if (sam & GENERIC_EXECUTE) sam |= KEY_EXECUTE;
    return sam & ~static_cast<REGSAM>(MAXIMUM_ALLOWED | GENERIC_ALL | GENERIC_READ |
                                      GENERIC_WRITE | GENERIC_EXECUTE);
}

// An open key: the predefined roots, or a handle from RegOpenKeyEx/RegCreateKeyEx.
struct Open {
    LONG error = ERROR_SUCCESS;
    int64_t id = 0;
    REGSAM access = 0;
};

// Runs inside a transaction.
Open Resolve(Store& db, HKEY hKey) {
    if (hKey == HKEY_CLASSES_ROOT) {  // the machine's class registrations
        int64_t id = reg::FindPath(db, reg::kLocalMachine, {u"SOFTWARE", u"Classes"});
        if (!id) return {ERROR_FILE_NOT_FOUND};
        return {ERROR_SUCCESS, id, KEY_ALL_ACCESS};
    }
    if (hKey == HKEY_CURRENT_USER) return {ERROR_SUCCESS, reg::kCurrentUser, KEY_ALL_ACCESS};
    if (hKey == HKEY_LOCAL_MACHINE) return {ERROR_SUCCESS, reg::kLocalMachine, KEY_ALL_ACCESS};
    if (hKey == HKEY_USERS) return {ERROR_SUCCESS, reg::kUsers, KEY_ALL_ACCESS};
    auto key = Lookup<KeyObject>(hKey);
    if (!key) return {ERROR_INVALID_HANDLE};
    if (!reg::KeyExists(db, key->id)) return {ERROR_KEY_DELETED};
    return {ERROR_SUCCESS, key->id, key->access};
}

// The predefined keys are sign-extended 32-bit values, as in the SDK.
bool IsPredefined(HKEY hKey) {
    auto v = static_cast<int64_t>(reinterpret_cast<intptr_t>(hKey));
    return v >= static_cast<int32_t>(0x80000000) && v <= static_cast<int32_t>(0x80000006);
}

std::u16string_view Name(LPCWSTR s) { return View(s); }

// Runs body in a transaction of the current machine; a store failure becomes
// ERROR_REGISTRY_CORRUPT, as a damaged hive would on Windows.
template <class F>
LONG InRead(F&& body) {
    try {
        return CurrentMachine().Db().Read(std::forward<F>(body));
    } catch (const StoreError&) {
        return ERROR_REGISTRY_CORRUPT;
    }
}
template <class F>
LONG InWrite(F&& body) {
    try {
        return CurrentMachine().Db().Write(std::forward<F>(body));
    } catch (const StoreError&) {
        return ERROR_REGISTRY_CORRUPT;
    }
}

LONG Faulted(const char* op) {
    DWORD error = 0;
    return TakeFault(op, &error) ? static_cast<LONG>(error) : ERROR_SUCCESS;
}

// Copies a name into a caller's buffer of *cch characters (terminator included).
LONG CopyName(const std::u16string& name, LPWSTR out, LPDWORD cch) {
    if (name.size() + 1 > *cch) return ERROR_MORE_DATA;
    std::memcpy(out, name.data(), name.size() * sizeof(WCHAR));
    out[name.size()] = 0;
    *cch = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

// Copies value data into a caller's buffer, with Windows' sizing rules.
LONG CopyData(const reg::Value& v, LPDWORD type, LPBYTE data, LPDWORD cbData) {
    if (type) *type = v.type;
    if (data && !cbData) return ERROR_INVALID_PARAMETER;
    if (!cbData) return ERROR_SUCCESS;
    DWORD need = static_cast<DWORD>(v.data.size());
    if (data) {
        if (*cbData < need) {
            *cbData = need;
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, v.data.data(), need);
    }
    *cbData = need;
    return ERROR_SUCCESS;
}

}  // namespace
}  // namespace sim

using namespace sim;

LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                   PHKEY phkResult) {
    (void)ulOptions;
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    REGSAM access = NormalizeAccess(samDesired);
    return InRead([&]() -> LONG {
        if (LONG f = Faulted("RegOpenKeyExW")) return f;  // joins this transaction
        Open parent = Resolve(CurrentMachine().Db(), hKey);
        if (parent.error) return parent.error;
        auto parts = reg::SplitPath(Name(lpSubKey));
        if (!parts) return ERROR_BAD_PATHNAME;
        int64_t id = reg::FindPath(CurrentMachine().Db(), parent.id, *parts);
        if (!id) return ERROR_FILE_NOT_FOUND;
        *phkResult = static_cast<HKEY>(InsertHandle(std::make_shared<KeyObject>(id, access)));
        return ERROR_SUCCESS;
    });
}

LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                     DWORD dwOptions, REGSAM samDesired,
                     const SECURITY_ATTRIBUTES* lpSecurityAttributes, PHKEY phkResult,
                     LPDWORD lpdwDisposition) {
    (void)Reserved, (void)lpClass, (void)lpSecurityAttributes;
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    if (dwOptions & REG_OPTION_VOLATILE) return ERROR_NOT_SUPPORTED;
    REGSAM access = NormalizeAccess(samDesired);
    return InWrite([&]() -> LONG {
        if (LONG f = Faulted("RegCreateKeyExW")) return f;  // joins this transaction
        Store& db = CurrentMachine().Db();
        Open parent = Resolve(db, hKey);
        if (parent.error) return parent.error;
        auto parts = reg::SplitPath(Name(lpSubKey));
        if (!parts) return ERROR_BAD_PATHNAME;
        int64_t existing = reg::FindPath(db, parent.id, *parts);
        bool created = false;
        int64_t id = existing;
        // The new key's own security decides, not the rights of the handle it is named
        // relative to: a read-only parent handle still creates subkeys.
        if (!existing) id = reg::CreatePath(db, parent.id, *parts, &created);
        *phkResult = static_cast<HKEY>(InsertHandle(std::make_shared<KeyObject>(id, access)));
        if (lpdwDisposition)
            *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        return ERROR_SUCCESS;
    });
}

LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved) return ERROR_INVALID_PARAMETER;
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    return InRead([&]() -> LONG {
        if (LONG f = Faulted("RegQueryValueExW")) return f;  // joins this transaction
        Store& db = CurrentMachine().Db();
        Open key = Resolve(db, hKey);
        if (key.error) return key.error;
        if (!(key.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
        auto v = reg::GetValue(db, key.id, Name(lpValueName));
        if (!v) return ERROR_FILE_NOT_FOUND;
        return CopyData(*v, lpType, lpData, lpcbData);
    });
}

LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                    const BYTE* lpData, DWORD cbData) {
    (void)Reserved;
    if (!lpData && cbData) return ERROR_NOACCESS;
    if (Name(lpValueName).size() > 16383) return ERROR_INVALID_PARAMETER;
    return InWrite([&]() -> LONG {
        if (LONG f = Faulted("RegSetValueExW")) return f;  // joins this transaction
        Store& db = CurrentMachine().Db();
        Open key = Resolve(db, hKey);
        if (key.error) return key.error;
        if (!(key.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
        DWORD size = cbData;
        // A string whose terminator follows the counted bytes is stored with it, as
        // Windows NT does for callers that forgot to count it.
        bool isString = dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == REG_MULTI_SZ;
        if (isString && lpData && size >= sizeof(WCHAR) && size % sizeof(WCHAR) == 0) {
            const WCHAR* text = reinterpret_cast<const WCHAR*>(lpData);
            if (text[size / sizeof(WCHAR) - 1] != 0 && text[size / sizeof(WCHAR)] == 0)
                size += sizeof(WCHAR);
        }
        reg::SetValue(db, key.id, Name(lpValueName), dwType,
                      std::string_view(reinterpret_cast<const char*>(lpData), size));
        return ERROR_SUCCESS;
    });
}

LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                   LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                   PFILETIME lpftLastWriteTime) {
    (void)lpReserved;
    if (!lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    return InRead([&]() -> LONG {
        if (LONG f = Faulted("RegEnumKeyExW")) return f;  // joins this transaction
        Store& db = CurrentMachine().Db();
        Open key = Resolve(db, hKey);
        if (key.error) return key.error;
        if (!(key.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
        auto name = reg::SubKeyAt(db, key.id, dwIndex);
        if (!name) return ERROR_NO_MORE_ITEMS;
        LONG rc = CopyName(*name, lpName, lpcchName);
        if (rc) return rc;
        if (lpClass && lpcchClass && *lpcchClass) {
            lpClass[0] = 0;
            *lpcchClass = 0;
        } else if (lpcchClass) {
            *lpcchClass = 0;
        }
        if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
        return ERROR_SUCCESS;
    });
}

LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                   LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved) return ERROR_INVALID_PARAMETER;
    if (!lpValueName || !lpcchValueName) return ERROR_INVALID_PARAMETER;
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    return InRead([&]() -> LONG {
        if (LONG f = Faulted("RegEnumValueW")) return f;  // joins this transaction
        Store& db = CurrentMachine().Db();
        Open key = Resolve(db, hKey);
        if (key.error) return key.error;
        if (!(key.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
        auto v = reg::ValueAt(db, key.id, dwIndex);
        if (!v) return ERROR_NO_MORE_ITEMS;
        // Windows reports a short name or data buffer together, as one ERROR_MORE_DATA.
        bool nameFits = v->name.size() + 1 <= *lpcchValueName;
        bool dataFits = !lpData || *lpcbData >= v->data.size();
        if (!nameFits || !dataFits) {
            if (lpcbData) *lpcbData = static_cast<DWORD>(v->data.size());
            if (lpType) *lpType = v->type;
            return ERROR_MORE_DATA;
        }
        CopyName(v->name, lpValueName, lpcchValueName);
        return CopyData(*v, lpType, lpData, lpcbData);
    });
}

LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    return InWrite([&]() -> LONG {
        if (LONG f = Faulted("RegDeleteValueW")) return f;  // joins this transaction
        Store& db = CurrentMachine().Db();
        Open key = Resolve(db, hKey);
        if (key.error) return key.error;
        if (!(key.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
        return reg::DeleteValue(db, key.id, Name(lpValueName)) ? ERROR_SUCCESS
                                                                 : ERROR_FILE_NOT_FOUND;
    });
}

LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    return InWrite([&]() -> LONG {
        if (LONG f = Faulted("RegDeleteKeyW")) return f;  // joins this transaction
        Store& db = CurrentMachine().Db();
        Open parent = Resolve(db, hKey);
        if (parent.error) return parent.error;
        auto parts = reg::SplitPath(Name(lpSubKey));
        if (!parts) return ERROR_BAD_PATHNAME;
        // An empty subkey deletes the key the handle refers to.
        int64_t id = parts->empty() ? parent.id : reg::FindPath(db, parent.id, *parts);
        if (!id) return ERROR_FILE_NOT_FOUND;
        if (id <= reg::kUsers) return ERROR_ACCESS_DENIED;  // the roots stay
        if (parts->empty() && !(parent.access & DELETE)) return ERROR_ACCESS_DENIED;
        return reg::DeleteLeafKey(db, id) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    });
}

LONG RegCloseKey(HKEY hKey) {
    if (IsPredefined(hKey)) return ERROR_SUCCESS;
    return RemoveHandle(hKey, Kind::Key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
