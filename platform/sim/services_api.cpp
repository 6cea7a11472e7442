// The service control manager calls: handles to the manager and to services, with the
// access each was opened with checked on every call, as the real manager checks them.
#include "faults.h"
#include "handles.h"
#include "machine.h"
#include "services_state.h"
#include "text.h"
#include "win32/errors.h"
#include "win32/kernel.h"
#include "win32/registry.h"
#include "win32/services.h"

namespace sim {
namespace {

struct ScManagerObject final : Object {
    static constexpr Kind kKind = Kind::ScManager;
    explicit ScManagerObject(DWORD a) : access(a) {}
    Kind kind() const override { return kKind; }
    DWORD access;
};

struct ServiceObject final : Object {
    static constexpr Kind kKind = Kind::Service;
    ServiceObject(std::u16string n, DWORD a) : name(std::move(n)), access(a) {}
    Kind kind() const override { return kKind; }
    std::u16string name;  // looked up again on each call: the service may go away
    DWORD access;
};

DWORD MapManagerAccess(DWORD access) {
    if (access & (GENERIC_ALL | MAXIMUM_ALLOWED)) access |= SC_MANAGER_ALL_ACCESS;
    if (access & GENERIC_READ) access |= READ_CONTROL | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS;
    if (access & GENERIC_WRITE) access |= READ_CONTROL | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG;
    if (access & GENERIC_EXECUTE) access |= READ_CONTROL | SC_MANAGER_CONNECT | SC_MANAGER_LOCK;
    return access | SC_MANAGER_CONNECT;
}

DWORD MapServiceAccess(DWORD access) {
    if (access & (GENERIC_ALL | MAXIMUM_ALLOWED)) access |= SERVICE_ALL_ACCESS;
    if (access & GENERIC_READ)
        access |= READ_CONTROL | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
                  SERVICE_ENUMERATE_DEPENDENTS;
    if (access & GENERIC_WRITE) access |= READ_CONTROL | SERVICE_CHANGE_CONFIG;
    if (access & GENERIC_EXECUTE)
        access |= READ_CONTROL | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE |
                  SERVICE_USER_DEFINED_CONTROL;
    return access;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool Faulted(const char* op) {
    DWORD error = 0;
    if (!TakeFault(op, &error)) return false;
    SetLastError(error);
    return true;
}

void Fill(const svc::Status& s, LPSERVICE_STATUS out) {
    out->dwServiceType = s.type & ~static_cast<DWORD>(SERVICE_INTERACTIVE_PROCESS);
    out->dwCurrentState = s.state;
    out->dwControlsAccepted = s.state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    out->dwWin32ExitCode = ERROR_SUCCESS;
    out->dwServiceSpecificExitCode = 0;
    bool pending = s.state == SERVICE_START_PENDING || s.state == SERVICE_STOP_PENDING;
    out->dwCheckPoint = pending ? 1 : 0;
    out->dwWaitHint = pending ? s.waitHint : 0;
}

// Runs body(db, serviceKey) on an open service handle that carries `needed` access.
template <class F>
BOOL OnService(SC_HANDLE handle, DWORD needed, bool write, F&& body) {
    auto service = Lookup<ServiceObject>(handle);
    if (!service) return Fail(ERROR_INVALID_HANDLE);
    if ((service->access & needed) != needed) return Fail(ERROR_ACCESS_DENIED);
    try {
        Store& db = CurrentMachine().Db();
        auto run = [&]() -> DWORD {
            int64_t key = svc::FindService(db, service->name);
            if (!key) return ERROR_SERVICE_MARKED_FOR_DELETE;  // deleted while open
            return body(db, key);
        };
        DWORD error = write ? db.Write(run) : db.Read(run);
        return error == ERROR_SUCCESS ? TRUE : Fail(error);
    } catch (const StoreError&) {
        return Fail(ERROR_REGISTRY_CORRUPT);
    }
}

}  // namespace
}  // namespace sim

using namespace sim;

SC_HANDLE OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess) {
    if (Faulted("OpenSCManagerW")) return nullptr;
    // Only this machine; the services of other machines are out of reach.
    if (lpMachineName && *lpMachineName) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return nullptr;
    }
    if (lpDatabaseName && !EqualsNoCase(View(lpDatabaseName), u"ServicesActive")) {
        SetLastError(ERROR_DATABASE_DOES_NOT_EXIST);
        return nullptr;
    }
    auto object = std::make_shared<ScManagerObject>(MapManagerAccess(dwDesiredAccess));
    return static_cast<SC_HANDLE>(InsertHandle(object));
}

SC_HANDLE OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess) {
    if (Faulted("OpenServiceW")) return nullptr;
    if (!Lookup<ScManagerObject>(hSCManager)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!lpServiceName) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return nullptr;
    }
    try {
        Store& db = CurrentMachine().Db();
        std::u16string name = db.Read([&] {
            int64_t key = svc::FindService(db, View(lpServiceName));
            return key ? svc::ServiceName(db, key) : std::u16string();
        });
        if (name.empty()) {
            SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
            return nullptr;
        }
        auto object = std::make_shared<ServiceObject>(name, MapServiceAccess(dwDesiredAccess));
        return static_cast<SC_HANDLE>(InsertHandle(object));
    } catch (const StoreError&) {
        SetLastError(ERROR_REGISTRY_CORRUPT);
        return nullptr;
    }
}

BOOL ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
    if (Faulted("ControlService")) return FALSE;
    if (!lpServiceStatus) return Fail(ERROR_INVALID_ADDRESS);
    DWORD needed = 0;
    switch (dwControl) {
        case SERVICE_CONTROL_STOP: needed = SERVICE_STOP; break;
        case SERVICE_CONTROL_INTERROGATE: needed = SERVICE_INTERROGATE; break;
        case SERVICE_CONTROL_PAUSE:
        case SERVICE_CONTROL_CONTINUE: needed = SERVICE_PAUSE_CONTINUE; break;
        default:
            if (dwControl < 128 || dwControl > 255) return Fail(ERROR_INVALID_PARAMETER);
            needed = SERVICE_USER_DEFINED_CONTROL;
    }
    return OnService(hService, needed, true, [&](Store& db, int64_t key) -> DWORD {
        DWORD error = ERROR_SUCCESS;
        if (dwControl == SERVICE_CONTROL_STOP) {
            error = svc::RequestStop(db, key);
        } else if (dwControl != SERVICE_CONTROL_INTERROGATE) {
            // The machine's services take no controls but stop and interrogate.
            svc::Status now = svc::Query(db, key);
            error = now.state == SERVICE_STOPPED ? ERROR_SERVICE_NOT_ACTIVE
                                                 : ERROR_INVALID_SERVICE_CONTROL;
        } else if (svc::Query(db, key).state == SERVICE_STOPPED) {
            error = ERROR_SERVICE_NOT_ACTIVE;
        }
        // The status comes back on success and with the three errors that describe it.
        if (error == ERROR_SUCCESS || error == ERROR_SERVICE_NOT_ACTIVE ||
            error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL || error == ERROR_INVALID_SERVICE_CONTROL)
            Fill(svc::Query(db, key), lpServiceStatus);
        return error;
    });
}

BOOL StartServiceW(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCWSTR* lpServiceArgVectors) {
    (void)dwNumServiceArgs, (void)lpServiceArgVectors;
    if (Faulted("StartServiceW")) return FALSE;
    return OnService(hService, SERVICE_START, true,
                     [&](Store& db, int64_t key) { return svc::RequestStart(db, key); });
}

BOOL QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
    if (Faulted("QueryServiceStatus")) return FALSE;
    if (!lpServiceStatus) return Fail(ERROR_INVALID_ADDRESS);
    return OnService(hService, SERVICE_QUERY_STATUS, false, [&](Store& db, int64_t key) -> DWORD {
        Fill(svc::Query(db, key), lpServiceStatus);
        return ERROR_SUCCESS;
    });
}

BOOL CloseServiceHandle(SC_HANDLE hSCObject) {
    if (Faulted("CloseServiceHandle")) return FALSE;
    if (RemoveHandle(hSCObject, Kind::Service) || RemoveHandle(hSCObject, Kind::ScManager))
        return TRUE;
    return Fail(ERROR_INVALID_HANDLE);
}
