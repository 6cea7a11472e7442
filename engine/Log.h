// The diagnostic log. Every engine step hands one converted line to g_log. The sink is
// switched off unless a run asks for it (the /log switch): then each line is also written,
// in order, to the file the run names. Logging can neither fail nor block its caller.
#pragma once

#include "platform/win32.h"

class CLogFile {
public:
    CLogFile();
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Prepares the sink: nothing to prepare, whether it is on or off.
    int Open();
    // Hands over one converted line of nBytes bytes (2n + 2 for an n-character line).
    // Works before g_log has been constructed: the sink's state is the class's own,
    // initialised before any constructor runs.
    int Write(const BYTE* pData, DWORD nBytes);

    // The sink for one run. Until the run decides, the lines handed over (those written
    // while the static objects are constructed) are kept, a few at most; OpenSink then
    // writes them after its first line, KeepSinkOff drops them.
    //
    // OpenSink creates (or empties) the file pszPath and writes pszFirstLine into it; every
    // line follows as it is handed over, converted from the ANSI code page it was handed
    // over in to UTF-8, one per line (CR LF). False, with the system's error in *pdwError,
    // when the file cannot be created; the sink then stays off.
    static bool OpenSink(LPCWSTR pszPath, LPCWSTR pszFirstLine, DWORD* pdwError);
    static void KeepSinkOff();
    // A line of the run's own (how it ended), written as it is while the sink is on.
    static void WriteSinkLine(LPCWSTR pszLine);
    // Stops writing and closes the file (the lines written so far stay).
    static void CloseSink();

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
