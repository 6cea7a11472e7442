// Removal of the printers of a model and of their driver: the installer names a printer
// after its driver, so the model's name is also the name of the driver its printers use.
#include <stdlib.h>
#include <string.h>

#include "engine/LocalPrinters.h"
#include "engine/PrinterInfo.h"
#include "engine/SpoolerService.h"

namespace {

const int kDriverRetries = 2;
const DWORD kAfterStopMs = 5000;    // times the pass number plus one
const DWORD kAfterStartMs = 10000;  // likewise
const size_t kPurgeRecordBytes = 20;

// The copy rule: the model name, any one character, then an opening parenthesis and at
// least one more character ("KELV MR5A Printer (Copy 1)").
bool IsCopyName(LPCWSTR pszName, LPCWSTR pszModel, size_t nModel) {
    return wcslen(pszName) > nModel + 2 && wcsncmp(pszName, pszModel, nModel) == 0 &&
           pszName[nModel + 1] == TEXT('(');
}

}  // namespace

int CPrinterInfo::EnumSamePrinter(LPCWSTR pszName, CPrinterNameList& list) {
    size_t nModel = wcslen(pszName);
    DWORD dwCount = 0;
    bool bFailed = false;
    BYTE* pBuffer = EnumLocalPrinters(&dwCount, &bFailed);
    if (bFailed) return -1;
    int nSameNumbers = 0;
    // An empty model name would make every printer whose second character is "(" a copy
    // of it: nothing belongs to an empty name.
    if (nModel > 0) {
        const PRINTER_INFO_2W* pPrinters = reinterpret_cast<const PRINTER_INFO_2W*>(pBuffer);
        for (DWORD i = 0; i < dwCount; ++i) {
            LPCWSTR pszPrinter = pPrinters[i].pPrinterName;
            if (pszPrinter == NULL) continue;
            if (wcscmp(pszPrinter, pszName) == 0) {
                list.push_back(pszPrinter);
                ++nSameNumbers;
            }
            if (IsCopyName(pszPrinter, pszName, nModel)) {
                list.push_back(pszPrinter);
                ++nSameNumbers;
            }
        }
    }
    free(pBuffer);
    Log(TEXT("kwl at PrinterInfo EnumSamePrinter() nSameNumbers=%d"), nSameNumbers);
    return nSameNumbers;
}

void CPrinterInfo::GetPrinterName(LPWSTR pszBuffer, int nCapacity) {
    if (pszBuffer == NULL || nCapacity <= 0) return;
    // A name that does not fit is not cut short: a shortened model name would take other
    // models' printers for copies of it. The caller gets an empty name, which matches none.
    if (wcslen(m_szPrinterName) >= static_cast<size_t>(nCapacity)) pszBuffer[0] = 0;
    else wcscpy_s(pszBuffer, static_cast<size_t>(nCapacity), m_szPrinterName);
    Log(TEXT("kwl at PrinterInfo DeletePrintJob() GetPrinterName() lpszName=%s,szBuf=%d"), pszBuffer,
        nCapacity);
}

int CPrinterInfo::DeletePrintJob(HANDLE hPrinter) {
    Log(TEXT("kwl at PrinterInfo DeletePrintJob() begin..."));
    DWORD dwNeeded = 0;
    if (!GetPrinterW(hPrinter, 2, NULL, 0, &dwNeeded)) {
        Log(TEXT("kwl at PrinterInfo DeletePrintJob() GetPrinter() false"));
    }
    BYTE* pRecord = static_cast<BYTE*>(calloc(dwNeeded > 0 ? dwNeeded : 1, 1));
    if (pRecord == NULL) return 0;
    Log(TEXT("kwl at PrinterInfo DeletePrintJob() GetPrinter() true dwBufSize=%d"), dwNeeded);

    BYTE abPurge[kPurgeRecordBytes];
    memset(abPurge, 0, sizeof(abPurge));
    BYTE* pPurge = NULL;
    DWORD dwSize = dwNeeded;
    if (GetPrinterW(hPrinter, 2, pRecord, dwSize, &dwNeeded)) {
        memcpy(abPurge, pRecord, dwSize < kPurgeRecordBytes ? dwSize : kPurgeRecordBytes);
        pPurge = abPurge;
    } else {
        Log(TEXT("kwl at PrinterInfo DeletePrintJob() GetPrinter() true2 dwBufSize=%d"), dwNeeded);
    }
    free(pRecord);

    if (SetPrinterW(hPrinter, 0, pPurge, PRINTER_CONTROL_PURGE)) {
        Log(TEXT("kwl at PrinterInfo DeletePrintJob() SetPrinter() true"));
        return 1;
    }
    DWORD dwError = GetLastError();
    WCHAR szMessage[128];
    memset(szMessage, 0, sizeof(szMessage));
    wsprintfW(szMessage, TEXT("DeletePrintJob-SetPrinter errors, the error code is:%d\n"), dwError);
    MessageBoxW(NULL, szMessage, TEXT("Error"), MB_OK);
    Log(TEXT("kwl at PrinterInfo DeletePrintJob() SetPrinter() false dwError=%x"), dwError);
    return 0;
}

int CPrinterInfo::DeleteDriver(LPCWSTR pszDriver, const CPrinterNameList& printers) {
    Log(TEXT("kwl at PrinterInfo DeleteDriver() pszDriver=%s"), pszDriver);
    // The printers go first: their driver cannot go while one of them still uses it, and
    // it is one driver for all of them, deleted once.
    int nFailed = 0;
    for (size_t i = 0; i < printers.size(); ++i) {
        if (DeleteListedPrinter(printers[i].c_str()) == 0) ++nFailed;
    }
    if (nFailed > 0) {
        // A printer left behind may use the driver: it stays too, and the user may try again.
        Log(TEXT("kwl at PrinterInfo DeleteDriver() nFailedPrinters=%d"), nFailed);
        return 0;
    }
    if (pszDriver == NULL || pszDriver[0] == 0) return 0;  // no driver can be named
    return DeleteModelDriver(pszDriver);
}

int CPrinterInfo::DeleteListedPrinter(LPCWSTR pszPrinter) {
    Log(TEXT("kwl at PrinterInfo DeleteDriver() pszPrinter=%s"), pszPrinter);
    PRINTER_DEFAULTSW defaults;
    defaults.pDatatype = NULL;
    defaults.pDevMode = NULL;
    defaults.DesiredAccess = PRINTER_ALL_ACCESS;
    HANDLE hPrinter = NULL;
    BOOL bOpened = OpenPrinterW(const_cast<LPWSTR>(pszPrinter), &hPrinter, &defaults);
    Log(TEXT("kwl at PrinterInfo DeleteDriver() OpenPrinter() retBool=%d"), bOpened && hPrinter != NULL ? 1 : 0);
    if (!bOpened || hPrinter == NULL) {
        // A printer that went since it was listed is gone, as asked; one that cannot be
        // opened is still there.
        DWORD dwError = GetLastError();
        Log(TEXT("kwl at PrinterInfo DeleteDriver() OpenPrinter() false dwError=%x"), dwError);
        return dwError == ERROR_INVALID_PRINTER_NAME ? 1 : 0;
    }
    if (DeletePrintJob(hPrinter) == 0) {
        Log(TEXT("kwl at PrinterInfo DeleteDriver() DeletePrintJob() false"));
        ClosePrinter(hPrinter);
        return 0;
    }
    Log(TEXT("kwl at PrinterInfo DeleteDriver() DeletePrintJob() true"));
    BOOL bDeleted = DeletePrinter(hPrinter);
    if (bDeleted) {
        Log(TEXT("kwl at PrinterInfo DeleteDriver() DeletePrinter() true"));
    } else {
        Log(TEXT("kwl at PrinterInfo DeleteDriver() DeletePrinter() false dwError=%x"), GetLastError());
    }
    if (ClosePrinter(hPrinter)) {
        Log(TEXT("kwl at PrinterInfo DeleteDriver() ClosePrinter() true"));
    } else {
        Log(TEXT("kwl at PrinterInfo DeleteDriver() ClosePrinter() false dwError=%x"), GetLastError());
    }
    return bDeleted ? 1 : 0;
}

int CPrinterInfo::DeleteModelDriver(LPCWSTR pszDriver) {
    LPWSTR pszName = const_cast<LPWSTR>(pszDriver);
    if (DeletePrinterDriverExW(NULL, NULL, pszName, DPD_DELETE_UNUSED_FILES, 3)) {
        Log(TEXT("kwl at PrinterInfo DeleteDriver() DeletePrinterDriverEx() true"));
        return 1;
    }
    DWORD dwError = GetLastError();
    Log(TEXT("kwl at PrinterInfo DeleteDriver() DeletePrinterDriverEx() false pszDriver=%s,dwError1=%x"), pszDriver,
        dwError);
    if (dwError == ERROR_UNKNOWN_PRINTER_DRIVER) {
        // Not installed (any more, or never): nothing of the model is left.
        Log(TEXT("kwl at PrinterInfo DeleteDriver() DeletePrinterDriverEx() not installed pszDriver=%s"), pszDriver);
        return 1;
    }
    // The spooler answers "in use" both for a driver a printer uses and for one whose
    // files it still holds; only the second goes after a restart. Any other refusal is
    // not cured by one either.
    if (dwError != ERROR_PRINTER_DRIVER_IN_USE) return 0;
    int nUsers = CountDriverUsers(pszDriver);
    Log(TEXT("kwl at PrinterInfo DeleteDriver() CountDriverUsers() nUsers=%d"), nUsers);
    if (nUsers != 0) return 0;

    for (int ii = 0; ii < kDriverRetries; ++ii) {
        StopSpoolerService();
        Sleep(kAfterStopMs * static_cast<DWORD>(ii + 1));
        StartSpoolerService();
        Sleep(kAfterStartMs * static_cast<DWORD>(ii + 1));
        if (DeletePrinterDriverExW(NULL, NULL, pszName, DPD_DELETE_UNUSED_FILES, 3)) {
            Log(TEXT("kwl at PrinterInfo DeleteDriver() DeletePrinterDriverEx()2 true ii=%d"), ii);
            return 1;
        }
        Log(TEXT("kwl at PrinterInfo DeleteDriver() DeletePrinterDriverEx()2 false ii=%d"), ii);
    }
    return 0;
}

int CPrinterInfo::CountDriverUsers(LPCWSTR pszDriver) {
    DWORD dwCount = 0;
    bool bFailed = false;
    BYTE* pBuffer = EnumLocalPrinters(&dwCount, &bFailed);
    if (bFailed) return -1;
    const PRINTER_INFO_2W* pPrinters = reinterpret_cast<const PRINTER_INFO_2W*>(pBuffer);
    int nUsers = 0;
    for (DWORD i = 0; i < dwCount; ++i) {
        // Driver names are the spooler's, compared without regard to case.
        if (pPrinters[i].pDriverName != NULL && _wcsicmp(pPrinters[i].pDriverName, pszDriver) == 0) ++nUsers;
    }
    free(pBuffer);
    return nUsers;
}
