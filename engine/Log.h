// The diagnostic log. Every engine step hands one converted line to g_log; the sink is
// switched off, so nothing is ever written, and logging can neither fail nor block.
#pragma once

#include "platform/win32.h"

class CLogFile {
public:
    CLogFile();
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Prepares the sink: nothing to prepare while it is off.
    int Open();
    // Hands over one converted line of nBytes bytes (2n + 2 for an n-character line).
    // Touches no state of the object, so it works before g_log has been constructed.
    int Write(const BYTE* pData, DWORD nBytes);

    // Tests only: receives every line handed to Write. The product never sets one.
    typedef void (*PFNLOGOBSERVER)(const BYTE* pData, DWORD nBytes);
    static void SetTestObserver(PFNLOGOBSERVER pfnObserver);

private:
    WCHAR* m_pszPath;
    // Zero before any constructor runs (constant initialisation), so Write may read it
    // during static construction.
    static PFNLOGOBSERVER s_pfnObserver;
};

extern CLogFile g_log;

// The log convention's steps 3 to 7 for a line already formatted into a wide buffer:
// convert with the given conversion and hand the 2n + 2 bytes to g_log.
typedef int (*PFNWIDETOANSI)(LPCWSTR pszWide, BYTE* pOut, int nOutBytes);
void WriteLogLine(LPCWSTR pszLine, PFNWIDETOANSI pfnWideToAnsi);

// The conversion of the log convention: the machine's ANSI code page, flags 0x240.
int LogWideToAnsi(LPCWSTR pszWide, BYTE* pOut, int nOutBytes);
