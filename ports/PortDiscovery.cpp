// The machine's printer ports for the port page, and the count of installed printers of
// a model.
#include <stdlib.h>
#include <string.h>

#include "app/DrovanDlg.h"

namespace {

// Monitors whose ports a printer can be installed on, as the ANSI port record names
// them: the local monitor (English and Simplified Chinese) and the USB monitor.
struct MonitorPrefix {
    const char* pszPrefix;
    size_t nBytes;
};
const MonitorPrefix kListedMonitors[] = {
    {"Local Monitor", 13},
    {"\xB1\xBE\xB5\xD8\xBC\xE0\xCA\xD3\xC6\xF7", 10},
    {"Dynamic Print Monitor", 21},
};

bool IsListedMonitor(const char* pszMonitor) {
    if (pszMonitor == NULL) return false;
    for (const MonitorPrefix& m : kListedMonitors)
        if (strncmp(pszMonitor, m.pszPrefix, m.nBytes) == 0) return true;
    return false;
}

}  // namespace

void CDrovanDlg::FillPortList() {
    DWORD dwNeeded = 0, dwReturned = 0;
    EnumPortsW(NULL, 2, NULL, 0, &dwNeeded, &dwReturned);
    if (dwNeeded == 0) return;

    BYTE* pBuffer = static_cast<BYTE*>(calloc(dwNeeded + 1, 1));
    if (pBuffer == NULL) return;
    DWORD dwSize = dwNeeded;
    dwReturned = 0;
    EnumPortsA(NULL, 2, pBuffer, dwSize, &dwNeeded, &dwReturned);
    const PORT_INFO_2A* pPorts = reinterpret_cast<const PORT_INFO_2A*>(pBuffer);
    for (DWORD i = 0; i < dwReturned; ++i) {
        if (!IsListedMonitor(pPorts[i].pMonitorName) || pPorts[i].pPortName == NULL) continue;
        int nLength = static_cast<int>(strlen(pPorts[i].pPortName));
        WCHAR* pszName = static_cast<WCHAR*>(calloc(static_cast<size_t>(nLength) + 1, sizeof(WCHAR)));
        if (pszName == NULL) continue;
        if (nLength > 0)
            MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, pPorts[i].pPortName, nLength, pszName,
                                nLength);
        m_cbPort.AddString(pszName);
        free(pszName);
    }
    free(pBuffer);

    int nLpt = m_cbPort.FindString(-1, TEXT("LPT"));
    m_cbPort.SetCurSel(nLpt != CB_ERR ? nLpt : 0);
    m_cbBaud.EnableWindow(FALSE);
    m_cbParity.EnableWindow(FALSE);
    m_cbDataBits.EnableWindow(FALSE);
    m_cbStopBits.EnableWindow(FALSE);
    m_cbFlow.EnableWindow(FALSE);
}

int CDrovanDlg::CountInstalledPrinters(CString printerName) {
    WCHAR szEmpty[1] = {0};
    DWORD dwNeeded = 0, dwReturned = 0;
    const DWORD dwFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    if (EnumPrintersW(dwFlags, szEmpty, 2, NULL, 0, &dwNeeded, &dwReturned)) return -1;
    if (dwNeeded == 0) return 0;

    BYTE* pBuffer = static_cast<BYTE*>(calloc(dwNeeded + 4, 1));
    if (pBuffer == NULL) return -1;
    dwReturned = 0;
    EnumPrintersW(dwFlags, szEmpty, 2, pBuffer, dwNeeded, &dwNeeded, &dwReturned);
    const PRINTER_INFO_2W* pPrinters = reinterpret_cast<const PRINTER_INFO_2W*>(pBuffer);
    int nCount = 0;
    for (DWORD i = 0; i < dwReturned; ++i) {
        LPCWSTR pszName = pPrinters[i].pPrinterName;
        LPCWSTR pszDriver = pPrinters[i].pDriverName;
        if (pszName != NULL && pszDriver != NULL && wcsstr(pszName, printerName) != NULL &&
            wcscmp(pszDriver, m_strDriverName) == 0)
            ++nCount;
    }
    free(pBuffer);
    return nCount;
}
