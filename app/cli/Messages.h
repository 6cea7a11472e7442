// The texts of the command line and of its runs, in the wizard's UI language: Simplified
// Chinese when the user's default language is 2052, English otherwise.
#pragma once

#include "platform/ui/afx.h"
#include "platform/win32.h"

bool UiIsChinese();
// The text of the UI language, formatted as CString::Format does (%s: wide text).
CString Say(LPCWSTR pszEnglish, LPCWSTR pszChinese, ...);
// The caption of the program's own message boxes.
CString ProgramCaption();
// The usage shown by /?: switches, examples and exit codes.
CString UsageText();
// "Windows error 5 (access denied)": a system error code as an administrator looks it up.
CString ErrorText(DWORD dwError);
// The program's version, as the version resource and the package name carry it.
LPCWSTR ProgramVersion();
