// The attached USB printer and its port: the device is found among the present USB device
// interfaces by its vendor and product IDs, and its spooler port is formed from the port
// number the system gave it, kept under the printer class's key of the device.
#include <stdlib.h>
#include <string.h>

#include "app/DrovanDlg.h"

namespace {

// GUID_DEVINTERFACE_USB_DEVICE
const GUID kGuidUsbDevice = {0xA5DCBF10L, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

const WCHAR kszUsbIdentity[] = TEXT("vid_0483&pid_5720");
const WCHAR* const kaszControlSets[] = {TEXT("ControlSet001"), TEXT("ControlSet002"), TEXT("ControlSet003")};

}  // namespace

bool CDrovanDlg::FindUsbPrinter() {
    HDEVINFO hDevInfo =
        SetupDiGetClassDevsW(&kGuidUsbDevice, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (hDevInfo == INVALID_HANDLE_VALUE) return false;

    bool bFound = false;
    for (DWORD dwIndex = 0;; ++dwIndex) {
        SP_DEVICE_INTERFACE_DATA interfaceData;
        memset(&interfaceData, 0, sizeof(interfaceData));
        // The record's size is this build's: 28 bytes in a 32-bit process, 32 in a 64-bit
        // one, where 28 is refused and no device would ever be found.
        interfaceData.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
        if (!SetupDiEnumDeviceInterfaces(hDevInfo, NULL, &kGuidUsbDevice, dwIndex, &interfaceData)) break;

        DWORD dwRequired = 0;
        SetupDiGetDeviceInterfaceDetailW(hDevInfo, &interfaceData, NULL, 0, &dwRequired, NULL);
        PSP_DEVICE_INTERFACE_DETAIL_DATA_W pDetail =
            static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(calloc(dwRequired > 0 ? dwRequired : 1, 1));
        if (pDetail == NULL) break;
        pDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);  // the fixed part: 6 or 8 bytes
        if (!SetupDiGetDeviceInterfaceDetailW(hDevInfo, &interfaceData, pDetail, dwRequired, NULL, NULL)) {
            free(pDetail);
            break;
        }
        CString strPath(pDetail->DevicePath);
        free(pDetail);
        CString strLower(strPath);
        strLower.MakeLower();
        if (strLower.Find(kszUsbIdentity) >= 0) {
            m_strUsbDevicePath = strPath;
            bFound = true;
            break;
        }
    }
    SetupDiDestroyDeviceInfoList(hDevInfo);
    return bFound;
}

CString CDrovanDlg::GetUsbPortName() {
    // The instance part: "#A1B2C3" of "...#vid_0483&pid_5720#A1B2C3#{class}".
    CString strInstance;
    int nLast = m_strUsbDevicePath.ReverseFind(TEXT('#'));
    if (nLast >= 0) {
        CString strHead = m_strUsbDevicePath.Left(nLast);
        int nStart = strHead.ReverseFind(TEXT('#'));
        if (nStart >= 0) strInstance = strHead.Mid(nStart);
    }

    int nPortNumber = -1;
    for (size_t i = 0; i < sizeof(kaszControlSets) / sizeof(kaszControlSets[0]); ++i) {
        CString strKey;
        strKey.Format(TEXT("SYSTEM\\%s\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\")
                          TEXT("##?#USB#vid_0483&pid_5720%s#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\#\\Device Parameters"),
                      kaszControlSets[i], static_cast<LPCWSTR>(strInstance));
        HKEY hKey = NULL;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, strKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS) continue;
        BYTE abData[50];
        memset(abData, 0, sizeof(abData));
        DWORD dwSize = sizeof(abData);
        if (RegQueryValueExW(hKey, TEXT("Port Number"), NULL, NULL, abData, &dwSize) == ERROR_SUCCESS) {
            nPortNumber = abData[0];  // the low byte of the DWORD
        }
        RegCloseKey(hKey);
    }
    if (nPortNumber < 0) return CString(TEXT("USB00"));
    // The spooler names the port with three digits: USB001, and USB010 for port 10.
    CString strPort;
    strPort.Format(TEXT("USB%03d"), nPortNumber);
    return strPort;
}
