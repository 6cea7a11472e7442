// The serial settings chosen for a COM port, stored as that port's system defaults.
#include <string.h>

#include "ports/SerialSettings.h"

#include "app/DrovanDlg.h"

namespace {

const int kLargestPortNumber = 99999;  // far beyond any serial port; keeps n from overflowing

}  // namespace

int ComPortNumber(LPCWSTR pszPortName) {
    if (pszPortName == NULL || wcsncmp(pszPortName, TEXT("COM"), 3) != 0) return 0;
    int nPort = 0;
    size_t i = 3;
    for (; pszPortName[i] >= TEXT('0') && pszPortName[i] <= TEXT('9'); ++i) {
        nPort = nPort * 10 + (pszPortName[i] - TEXT('0'));
        if (nPort > kLargestPortNumber) return 0;
    }
    if (i == 3 || pszPortName[3] == TEXT('0') || pszPortName[i] != TEXT(':') || pszPortName[i + 1] != 0) return 0;
    return nPort;
}

bool CDrovanDlg::SetSerialPortSettings(int nPort, int nBaud, WCHAR chParity, int nDataBits,
                                       WCHAR chStop, WCHAR chFlow) {
    // Only a real COM port number names a value of its own (ComPortNumber gives 0 for a
    // name such as KLCOM5:): a port 0 does not exist.
    if (nPort < 1) return false;
    HKEY hKey = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports"),
                      0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return false;
    WCHAR szData[64];
    memset(szData, 0, sizeof(szData));
    if (chStop == TEXT('5'))
        wsprintfW(szData, TEXT("%d,%c,%d,1.%c,%c"), nBaud, chParity, nDataBits, chStop, chFlow);
    else
        wsprintfW(szData, TEXT("%d,%c,%d,%c,%c"), nBaud, chParity, nDataBits, chStop, chFlow);
    WCHAR szName[32];
    wsprintfW(szName, TEXT("COM%d:"), nPort);
    // The text ends at its first NUL: flow control None leaves the trailing comma.
    DWORD cbData = static_cast<DWORD>((wcslen(szData) + 1) * sizeof(WCHAR));
    RegSetValueExW(hKey, szName, 0, REG_SZ, reinterpret_cast<const BYTE*>(szData), cbData);
    RegCloseKey(hKey);
    return true;
}
