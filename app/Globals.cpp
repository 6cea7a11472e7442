// The program's static objects, defined together so that they are constructed in this
// order: C++ orders construction within one file but not across files. The global
// printer record writes its first log line before the log object exists, which the log
// allows.
#include "app/DrovanApp.h"
#include "engine/Log.h"
#include "engine/PrinterInfo.h"

CPrinterInfo g_printerInfo;
CDrovanApp theApp;
CLogFile g_log;
