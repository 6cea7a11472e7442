// Device interface sets of SETUPAPI as the installer uses them to look for its USB printer,
// on a machine where no USB device is plugged in: a valid, empty set.
#include <gtest/gtest.h>

#include "contract_support.h"

namespace contract {
namespace {

const GUID kUsbDevice = {0xA5DCBF10L, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

TEST(DeviceInterfaces, PresentUsbDevicesOfAnEmptyMachineAreAnEmptySet) {
    SetLastError(kPoison);
    HDEVINFO set = SetupDiGetClassDevsW(&kUsbDevice, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE) << "error " << GetLastError();

    SP_DEVICE_INTERFACE_DATA data;
    memset(&data, 0, sizeof(data));
    data.cbSize = sizeof(data);
    SetLastError(kPoison);
    BOOL ok = SetupDiEnumDeviceInterfaces(set, nullptr, &kUsbDevice, 0, &data);
    DWORD error = GetLastError();
    EXPECT_FALSE(ok) << "no interface at index 0";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));

    // A record of another layout's size is refused, whatever the set holds.
    data.cbSize = 0;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &kUsbDevice, 0, &data));

    SetLastError(kPoison);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    SetLastError(kPoison);
    ok = SetupDiDestroyDeviceInfoList(set);
    error = GetLastError();
    EXPECT_FALSE(ok) << "the set was destroyed already";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
}  // namespace contract
