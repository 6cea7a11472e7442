// The program's command line: the switches of an unattended run, the wizard's own two
// (/saveinf, /log) and /?; and the choices file that /saveinf writes and /loadinf reads.
//
// Switches begin with / (or -), their names are case-insensitive, and a value follows a
// colon (or =): /model:QB410, "/port:COM1:", /log:"C:\Logs\drovan.log". The arguments are
// split as Windows splits any program's command line (quotes group, backslashes escape
// quotes), so one text works from cmd.exe, PowerShell and a deployment tool alike.
#pragma once

#include <vector>

#include "engine/Catalogue.h"
#include "platform/ui/afx.h"
#include "platform/win32.h"

// The serial settings of a COM port, as the port page's five lists offer them and as the
// registry stores them ("9600,n,8,1,p"): the baud rate, the parity letter, the data bits,
// the stop bits ('1', '5' for 1.5, '2') and the flow control ('x', 'p', or 0 for none).
struct CSerialChoice {
    int nBaud = 9600;
    WCHAR chParity = TEXT('n');
    int nDataBits = 8;
    WCHAR chStop = TEXT('1');
    WCHAR chFlow = TEXT('p');

    // The registry's form: "115200,e,7,1.5,x"; flow control none ends with the comma.
    CString Text() const;
    // Parses that form, accepting only values the port page offers (letters in either case).
    static bool Parse(const CString& strText, CSerialChoice& out, CString& strWhy);
    // The item texts of the port page's lists for these settings: baud, parity, data bits,
    // stop bits, flow control ("9600", "NONE", "8", "1", "Hardware").
    void ListItems(CString (&items)[5]) const;
    // The settings the lists show, from their items' texts; false for an unknown text.
    static bool FromListItems(const CString (&items)[5], CSerialChoice& out);
};

// What an unattended run installs: the answers to the wizard's questions.
struct CInstallChoices {
    const CatalogueRow* pModel = NULL;
    CString strPort;  // a port of the port list; empty: the attached USB printer
    bool bSerial = false;
    CSerialChoice serial;
    bool bDefault = false;
    bool bReplace = false;
};

class CCommandLine {
public:
    enum EMode {
        MODE_WIZARD,      // no switch, or only /saveinf and /log: the wizard for a person
        MODE_UNATTENDED,  // the switches answer the wizard's questions
        MODE_USAGE,       // /?
    };

    // Parses the arguments of a command line (without the program's name). False, with
    // m_strError, for a switch that is unknown, malformed, given twice or out of place.
    bool Parse(LPCWSTR pszCmdLine);
    // Reads the /loadinf file: its choices as if they were switches, those given on the
    // command line winning. Then checks that the choices make one installation. False with
    // m_strError. Only for MODE_UNATTENDED.
    bool Complete();
    EMode Mode() const;

    // Whether the command line has /quiet, whatever else it holds: a command line that is
    // wrong must not put up a box when it asked for none.
    static bool AsksQuiet(LPCWSTR pszCmdLine);
    // The arguments as Windows splits a command line (without the program's name).
    static std::vector<CString> Split(LPCWSTR pszCmdLine);
    // One argument quoted so that Split gives it back unchanged.
    static CString Quote(const CString& strArg);

    bool m_bQuiet = false;
    bool m_bWhatIf = false;
    bool m_bUsage = false;
    CString m_strLog;
    CString m_strSaveInf;
    CString m_strLoadInf;
    CInstallChoices m_choices;
    CString m_strError;

private:
    // One switch, from the command line or (pszFile) a line of a choices file.
    bool Apply(const CString& strName, const CString& strValue, bool bHasValue, LPCWSTR pszWhere);
    bool ReadChoicesFile();

    unsigned m_nGiven = 0;            // CHOICE_ bits: the choices given so far
    unsigned m_nFromCommandLine = 0;  // those the command line gave, while a file is read
};

// The choices file: an INI file of one section, [Drovan Setup], with Model, Port (USB for
// the attached printer), Serial (for a COM port), Default and Replace (0 or 1).
bool WriteChoicesFile(LPCWSTR pszPath, const CInstallChoices& choices, DWORD* pdwError);
