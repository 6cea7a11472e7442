// The local printers as the spooler lists them, for the operations that look printers up
// by name.
#pragma once

#include "platform/win32.h"

// The local printers' level-2 records, or NULL (with *pdwCount 0) when there are none or
// they cannot be read (*pbFailed true). The spooler sizes the buffer with a first call;
// with no printer at all that call may succeed and ask for nothing. The caller frees the
// buffer with free().
BYTE* EnumLocalPrinters(DWORD* pdwCount, bool* pbFailed);
