// The user's default printer, kept where Windows keeps it: the "Device" value of
// HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows ("name,winspool,Ne00:").
#include <cstring>

#include "spooler_call.h"
#include "spooler_index.h"
#include "text.h"
#include "win32/spooler.h"

using namespace sim;
using namespace sim::spool;

BOOL SetDefaultPrinterW(LPCWSTR pszPrinter) {
    return SpoolerCall("SetDefaultPrinterW", true, [&](Store& db) -> DWORD {
        if (!pszPrinter || !*pszPrinter) {
            // No name: keep the default there is, else take the first printer.
            if (DefaultPrinter(db)) return ERROR_SUCCESS;
            auto local = LocalPrinterTable(db);
            auto connections = Connections(db);
            if (local->Size() > 0) spool::MakeDefault(db, local->ToPrinter(local->At(0)));
            else if (!connections.empty()) spool::MakeDefault(db, connections.front());
            else return ERROR_INVALID_PRINTER_NAME;
            return ERROR_SUCCESS;
        }
        auto p = FindPrinter(db, View(pszPrinter));
        if (!p) return ERROR_INVALID_PRINTER_NAME;
        spool::MakeDefault(db, *p);
        return ERROR_SUCCESS;
    });
}

BOOL SetDefaultPrinterA(LPCSTR pszPrinter) {
    DWORD error = 0;
    if (TakeFault("SetDefaultPrinterA", &error)) return Fail(error);
    if (!pszPrinter) return SetDefaultPrinterW(nullptr);
    int n = MultiByteToWideChar(CP_ACP, 0, pszPrinter, -1, nullptr, 0);
    if (n <= 0) return Fail(ERROR_INVALID_PRINTER_NAME);
    std::u16string wide(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, pszPrinter, -1, wide.data(), n);
    return SetDefaultPrinterW(wide.c_str());
}

BOOL GetDefaultPrinterW(LPWSTR pszBuffer, LPDWORD pcchBuffer) {
    return SpoolerCall("GetDefaultPrinterW", false, [&](Store& db) -> DWORD {
        if (!pcchBuffer) return ERROR_INVALID_PARAMETER;
        auto name = DefaultPrinter(db);
        if (!name) return ERROR_FILE_NOT_FOUND;
        DWORD needed = static_cast<DWORD>(name->size() + 1);
        if (!pszBuffer || *pcchBuffer < needed) {
            *pcchBuffer = needed;
            return ERROR_INSUFFICIENT_BUFFER;
        }
        std::memcpy(pszBuffer, name->c_str(), needed * sizeof(WCHAR));
        *pcchBuffer = needed;
        return ERROR_SUCCESS;
    });
}
