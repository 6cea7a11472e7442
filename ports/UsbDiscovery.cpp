// The attached USB printer and its port.
//
// Stand-in: the machine's device setup (SetupAPI) is not built yet, so no USB printer is
// ever found and the port page is always shown. Replaced when USB discovery lands.
#include "app/DrovanDlg.h"

bool CDrovanDlg::FindUsbPrinter() { return false; }

CString CDrovanDlg::GetUsbPortName() { return CString(TEXT("USB00")); }
