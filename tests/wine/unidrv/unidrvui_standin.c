/* UNIDRVUI.DLL of the Wine test prefix: a stand-in for the universal printer driver's
 * configuration module, which Wine does not have. Wine's spooler loads a printer's
 * configuration module when the printer is created (AddPrinterW asks it for the printer's
 * default DEVMODE through DocumentPropertiesW) and refuses the printer when it cannot; so
 * this module answers what is asked without a user interface: the size and the content of a
 * default DEVMODE for the printer, and the capabilities that a DEVMODE of that kind has.
 * It has no settings pages. Built for the Wine tests only, never shipped. */
#include <windows.h>

#include <compstui.h>

/* The header that DocumentPropertiesW hands the configuration module (documented for
 * printer interface DLLs; MinGW's winddiui.h does not have it). */
typedef struct {
    WORD cbSize;
    WORD Reserved;
    HANDLE hPrinter;
    LPWSTR pszPrinterName;
    PDEVMODEW pdmIn;
    PDEVMODEW pdmOut;
    DWORD cbOut;
    DWORD fMode;
} StandInDocumentPropertyHeader;

/* What every printer of this driver starts with: one copy of a portrait page, the paper by
 * its size in tenths of a millimetre (80 x 297 mm: the receipt models' roll). */
static void DefaultDevMode(const WCHAR* printer, DEVMODEW* dm) {
    ZeroMemory(dm, sizeof *dm);
    if (printer) lstrcpynW(dm->dmDeviceName, printer, CCHDEVICENAME);
    dm->dmSpecVersion = DM_SPECVERSION;
    dm->dmDriverVersion = 0x0300;
    dm->dmSize = sizeof *dm;
    dm->dmFields = DM_ORIENTATION | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_COPIES | DM_PRINTQUALITY;
    dm->dmOrientation = DMORIENT_PORTRAIT;
    dm->dmPaperLength = 2970;
    dm->dmPaperWidth = 800;
    dm->dmCopies = 1;
    dm->dmPrintQuality = 203;
}

__declspec(dllexport) LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam) {
    StandInDocumentPropertyHeader* header = (StandInDocumentPropertyHeader*)lParam;
    if (info != NULL || header == NULL) {
        SetLastError(ERROR_NOT_SUPPORTED); /* no settings pages */
        return -1;
    }
    if (header->fMode == 0 || header->pdmOut == NULL) {
        header->cbOut = sizeof(DEVMODEW);
        return sizeof(DEVMODEW);
    }
    if (header->cbOut < sizeof(DEVMODEW)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return -1;
    }
    DefaultDevMode(header->pszPrinterName, header->pdmOut);
    if ((header->fMode & DM_IN_BUFFER) && header->pdmIn && header->pdmIn->dmSize >= sizeof(DEVMODEW)) {
        /* The caller's choices of what this driver knows, over the defaults. */
        const DEVMODEW* in = header->pdmIn;
        if (in->dmFields & DM_ORIENTATION) header->pdmOut->dmOrientation = in->dmOrientation;
        if (in->dmFields & DM_COPIES) header->pdmOut->dmCopies = in->dmCopies;
    }
    return IDOK;
}

__declspec(dllexport) DWORD WINAPI DrvDeviceCapabilities(HANDLE printer, PWSTR device, WORD capability,
                                                         PVOID output, PDEVMODEW devmode) {
    (void)printer;
    (void)device;
    (void)output;
    (void)devmode;
    switch (capability) {
        case DC_FIELDS: return DM_ORIENTATION | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_COPIES | DM_PRINTQUALITY;
        case DC_SIZE: return sizeof(DEVMODEW);
        case DC_EXTRA: return 0;
        case DC_VERSION: return DM_SPECVERSION;
        case DC_DRIVER: return 0x0300;
        case DC_COPIES: return 1;
        case DC_ORIENTATION: return 0; /* no landscape */
        default: return 0;              /* none of the listed kind */
    }
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
