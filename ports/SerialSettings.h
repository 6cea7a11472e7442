// The serial settings of a COM port are stored under a value named after the port; this
// reads the port's number from its name.
#pragma once

#include "platform/win32.h"

// The number n of a port named COMn: (COM3: gives 3, COM123: gives 123), or 0 for any
// other name (KLCOM5:, COM0:, COM03:, COM1 without its colon): the value written is named
// "COM%d:" with this number, so only a name that reads back the same has one.
int ComPortNumber(LPCWSTR pszPortName);
