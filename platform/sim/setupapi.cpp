// SETUPAPI's device interface sets: a set is a snapshot of a class's interfaces taken when
// it is made, as Windows takes it; devices plugged in later are not in it.
#include <cstddef>
#include <cstring>

#include "devices.h"
#include "faults.h"
#include "handles.h"
#include "machine.h"
#include "text.h"
#include "win32/errors.h"
#include "win32/kernel.h"
#include "win32/setupapi.h"

namespace sim {
namespace {

struct DevInfoObject final : Object {
    static constexpr Kind kKind = Kind::DevInfo;
    Kind kind() const override { return kKind; }
    GUID classGuid{};
    std::vector<std::u16string> paths;
};

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx} in lower case, as the registry's class keys are named.
std::u16string GuidText(const GUID& g) {
    static const char hex[] = "0123456789abcdef";
    std::u16string s = u"{";
    auto put = [&](uint64_t v, int digits) {
        for (int i = digits - 1; i >= 0; --i) s += char16_t(hex[(v >> (4 * i)) & 0xF]);
    };
    put(g.Data1, 8);
    s += u'-';
    put(g.Data2, 4);
    s += u'-';
    put(g.Data3, 4);
    s += u'-';
    put(g.Data4[0], 2);
    put(g.Data4[1], 2);
    s += u'-';
    for (int i = 2; i < 8; ++i) put(g.Data4[i], 2);
    return s + u"}";
}

}  // namespace
}  // namespace sim

using namespace sim;

HDEVINFO SetupDiGetClassDevsW(const GUID* ClassGuid, LPCWSTR Enumerator, HWND hwndParent, DWORD Flags) {
    (void)hwndParent;
    DWORD error = 0;
    if (TakeFault("SetupDiGetClassDevsW", &error)) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    // Only interface sets of one class are served: the installer asks for nothing else.
    if (!(Flags & DIGCF_DEVICEINTERFACE) || (Flags & DIGCF_ALLCLASSES) || ClassGuid == nullptr ||
        (Enumerator != nullptr && Enumerator[0] != 0)) {
        SetLastError(ClassGuid == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_FLAGS);
        return INVALID_HANDLE_VALUE;
    }
    auto set = std::make_shared<DevInfoObject>();
    set->classGuid = *ClassGuid;
    try {
        Store& db = CurrentMachine().Db();
        db.Read([&] {
            for (const auto& d : devices::Interfaces(db, GuidText(*ClassGuid)))
                if (d.present || !(Flags & DIGCF_PRESENT)) set->paths.push_back(d.path);
        });
    } catch (const StoreError&) {
        SetLastError(ERROR_REGISTRY_CORRUPT);
        return INVALID_HANDLE_VALUE;
    }
    return InsertHandle(set);
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                 const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                 PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    auto set = Lookup<DevInfoObject>(DeviceInfoSet);
    if (!set) return Fail(ERROR_INVALID_HANDLE);
    if (DeviceInfoData != nullptr) return Fail(ERROR_INVALID_PARAMETER);  // per-device listing is not served
    if (InterfaceClassGuid == nullptr || DeviceInterfaceData == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    // The record's size tells the caller's structure layout: it must be this build's.
    if (DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
    if (!SameGuid(*InterfaceClassGuid, set->classGuid) || MemberIndex >= set->paths.size())
        return Fail(ERROR_NO_MORE_ITEMS);
    DeviceInterfaceData->InterfaceClassGuid = set->classGuid;
    DeviceInterfaceData->Flags = SPINT_ACTIVE;
    DeviceInterfaceData->Reserved = static_cast<ULONG_PTR>(MemberIndex) + 1;
    return TRUE;
}

BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
                                      DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                      PSP_DEVINFO_DATA DeviceInfoData) {
    (void)DeviceInfoData;
    auto set = Lookup<DevInfoObject>(DeviceInfoSet);
    if (!set) return Fail(ERROR_INVALID_HANDLE);
    if (DeviceInterfaceData == nullptr || DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) ||
        DeviceInterfaceData->Reserved == 0 || DeviceInterfaceData->Reserved > set->paths.size())
        return Fail(ERROR_INVALID_PARAMETER);
    const std::u16string& path = set->paths[DeviceInterfaceData->Reserved - 1];
    const DWORD required =
        static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) + (path.size() + 1) * sizeof(WCHAR));
    if (DeviceInterfaceDetailData == nullptr) {
        if (DeviceInterfaceDetailDataSize != 0) return Fail(ERROR_INVALID_USER_BUFFER);
        if (RequiredSize) *RequiredSize = required;
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    if (DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
        return Fail(ERROR_INVALID_USER_BUFFER);
    if (DeviceInterfaceDetailDataSize < required) {
        if (RequiredSize) *RequiredSize = required;
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(DeviceInterfaceDetailData->DevicePath, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    if (RequiredSize) *RequiredSize = required;
    return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    if (!RemoveHandle(DeviceInfoSet, Kind::DevInfo)) return Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}
