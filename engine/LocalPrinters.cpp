#include "engine/LocalPrinters.h"

#include <stdlib.h>

BYTE* EnumLocalPrinters(DWORD* pdwCount, bool* pbFailed) {
    DWORD dwNeeded = 0, dwReturned = 0;
    *pdwCount = 0;
    *pbFailed = false;
    BYTE* pBuffer = NULL;
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &dwNeeded, &dwReturned)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            *pbFailed = true;
            return NULL;
        }
        pBuffer = static_cast<BYTE*>(calloc(dwNeeded, 1));
        if (pBuffer == NULL) {
            *pbFailed = true;
            return NULL;
        }
    }
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, pBuffer, dwNeeded, &dwNeeded, &dwReturned)) {
        free(pBuffer);
        *pbFailed = true;
        return NULL;
    }
    *pdwCount = dwReturned;
    return pBuffer;
}
