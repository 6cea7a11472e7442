// The application object: starts the common controls and GDI+, runs the wizard modally
// and ends the process when it closes. With a command line the run is unattended (the
// wizard answered from its switches), or the wizard with a switch of its own (app/cli).
#pragma once

#include "app/cli/CommandLine.h"
#include "platform/win32.h"
#include "platform/ui/afx.h"

class CDrovanDlg;

class CDrovanApp : public CWinApp {
public:
    CDrovanApp();

    BOOL InitInstance() override;
    int ExitInstance() override;

    ULONG_PTR m_gdiplusToken;

    // What this run was asked for on its command line, and the code it ends with.
    CCommandLine m_cmdLine;
    int m_nExitCode;
    bool IsDryRun() const { return m_cmdLine.m_bWhatIf; }

private:
    // Reads the command line and switches the log on as it asks; false when the run ends
    // here (the usage shown, the command line refused).
    bool BeginRun();
    // The wizard's modal run: for a person, or answered from the switches.
    void RunWizard(CDrovanDlg& dlg);
    // Reports how the run ended (its output, its box, its log's last line).
    void EndRun(const CString& strSummary);

    DECLARE_MESSAGE_MAP()
};

extern CDrovanApp theApp;
