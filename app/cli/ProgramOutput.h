// The program's standard output and standard error, for the runs with a command line: each
// text is written as one or more whole lines, from any thread. Each home supplies the
// writing (linux/ProgramOutput.cpp, win32/ProgramOutput.cpp).
#pragma once

#include "platform/ui/afx.h"

void WriteOutput(const CString& strText);
void WriteError(const CString& strText);
