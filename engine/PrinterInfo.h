// The installation engine's record of one printer: where the program runs from, which INF
// file installs the driver, the printer's name (also its driver model name) and its port.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

// Printer names in the spooler's enumeration order.
typedef std::vector<std::basic_string<WCHAR>> CPrinterNameList;

class CPrinterInfo {
public:
    CPrinterInfo();
    ~CPrinterInfo();
    CPrinterInfo(const CPrinterInfo&) = delete;
    CPrinterInfo& operator=(const CPrinterInfo&) = delete;

    void GetAppPath();
    void SetPrinterName(LPCWSTR pszPrinterName);
    void SetInfFilePath(LPCWSTR pszInfFileName);
    void SetPortName(LPCWSTR pszPortName);

    // False while a field holds a refused value (one that did not fit): such a record
    // must not be installed, since the field does not hold what was asked for. A later
    // value that fits clears its field's refusal.
    bool IsComplete() const { return m_nRefused == 0; }

    int WideToAnsi(LPCWSTR pszWide, BYTE* pOut, int nOutBytes);

    // Installation through the print UI.
    enum { COMMAND_CAPACITY = 1024 };
    // The print UI's parameters for this record, as NormalInstaller hands them to rundll32,
    // in a zeroed buffer of COMMAND_CAPACITY characters; false (the buffer left empty) when
    // the record must not be installed.
    bool FormatInstallCommand(WCHAR* pszCmd);
    // The system's rundll32 by its full path, in a buffer of MAX_PATH characters.
    static void GetRundllPath(WCHAR* pszPath);
    int NormalInstaller(LPCWSTR pszPrinterName, LPCWSTR pszPortName);
    int ExecutePrint(LPCWSTR pszParameters);
    int IsDriverInstall(LPCWSTR pszName);
    // The same check, and over the same reading of the printer list whether the printer
    // asked for is among them: *pbRequested is set true when a printer that the name rule
    // matches stands on m_szPortName with the model's driver (m_szPrinterName).
    int IsDriverInstall(LPCWSTR pszName, bool* pbRequested);
    bool InstallPrinter();

    // Removal of the printers of a model and of their driver.
    int EnumSamePrinter(LPCWSTR pszName, CPrinterNameList& list);
    void GetPrinterName(LPWSTR pszBuffer, int nCapacity);
    int DeletePrintJob(HANDLE hPrinter);
    // Deletes every listed printer (its queue purged first), then the driver named
    // pszDriver, once. 1 when every listed printer is gone and the driver is no longer
    // installed (also when it never was), else 0.
    int DeleteDriver(LPCWSTR pszDriver, const CPrinterNameList& printers);

    enum { APP_PATH_CAPACITY = 260, INF_PATH_CAPACITY = 260, NAME_CAPACITY = 200 };

    WCHAR m_szAppPath[APP_PATH_CAPACITY];
    WCHAR m_szInfPath[INF_PATH_CAPACITY];
    WCHAR m_szPrinterName[NAME_CAPACITY];
    WCHAR m_szPortName[NAME_CAPACITY];

private:
    static LPCWSTR LaunchErrorMessage(DWORD dwError);
    // Whether a printer record is the one an installation asked for.
    bool IsRequestedPrinter(const PRINTER_INFO_2W& printer, size_t nName) const;

    // The two halves of DeleteDriver: one listed printer (1 when it is gone), and the
    // driver (1 when it is no longer installed).
    int DeleteListedPrinter(LPCWSTR pszPrinter);
    int DeleteModelDriver(LPCWSTR pszDriver);
    // How many local printers use the driver, or -1 when the list cannot be read.
    int CountDriverUsers(LPCWSTR pszDriver);

    // Formats one line into a zeroed 1024-character buffer and hands it to the log.
    void Log(LPCWSTR pszFormat, ...);
    // Copies pszValue into a field of nCapacity characters, or refuses it (leaving the
    // field empty, logging the refusal and marking the record) when it does not fit.
    bool CopyField(WCHAR* pszField, size_t nCapacity, LPCWSTR pszValue, LPCWSTR pszTag,
                   int nField);

    enum { REFUSED_NAME = 1, REFUSED_INF = 2, REFUSED_PORT = 4, REFUSED_APP = 8 };
    int m_nRefused;
};

// True when Windows itself is 64-bit (x64 or Itanium), also for a 32-bit process.
bool Is64BitSystem();

extern CPrinterInfo g_printerInfo;
