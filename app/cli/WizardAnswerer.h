// The answers an unattended run gives the wizard: what a person would click, page by page,
// for the choices of the command line; and a dry run (/whatif) that looks at the machine
// through the same operations and says what the installation would do.
#pragma once

#include <map>
#include <mutex>
#include <vector>

#include "app/cli/CommandLine.h"
#include "app/cli/ExitCodes.h"
#include "platform/ui/headless/answerer.h"

class CDrovanDlg;

class CWizardAnswerer : public drovan::ui::headless::Answerer {
public:
    CWizardAnswerer(const CCommandLine& cmdLine, CDrovanDlg& dlg);

    std::vector<drovan::ui::headless::Command> Next(drovan::ui::Window& dialog,
                                                    drovan::ui::headless::AnswerRunner& runner) override;
    int Answer(drovan::ui::Window* owner, const drovan::ui::Text& text, const drovan::ui::Text& caption,
               UINT type) override;
    void Refused(const drovan::ui::headless::ScriptError& error) override;

    // Once the wizard has ended: the run's exit code and what it did, in a sentence or two.
    int ExitCode() const;
    CString Summary() const;

private:
    enum EPage { PAGE_UNKNOWN, PAGE_LICENCE, PAGE_MODEL, PAGE_PORT, PAGE_PROGRESS };
    typedef std::vector<drovan::ui::headless::Command> CCommands;

    static EPage PageOf(drovan::ui::Window& wizard);
    CCommands WizardTurn(drovan::ui::Window& wizard, drovan::ui::headless::AnswerRunner& runner);
    CCommands DriverInfoTurn(drovan::ui::Window& dialog);
    CCommands ModelPage(drovan::ui::Window& wizard);
    CCommands PortPage();
    // Ends the run with the code and the reason; the wizard is cancelled next.
    void Stop(int nCode, const CString& strWhy);
    bool Stopping() const;
    // Counts turns in one situation; true when it has come round too often (the wizard
    // does not go on).
    bool Stalled(int nSituation);

    // On the GUI thread, before the first change: finds the port as the wizard will, and
    // stops the run where the installation could not be done. A dry run also makes its plan.
    void CheckPort();
    void PlanDryRun();

    const CCommandLine& m_cmdLine;
    const CInstallChoices& m_choices;
    CDrovanDlg& m_dlg;

    // The port: the port list's own spelling of the port asked for, and the port the
    // printer will be created on (the USB printer's, when it is used).
    CString m_strPortItem;
    CString m_strInstallPort;
    bool m_bDeleteClicked = false;
    std::map<int, int> m_turns;

    mutable std::mutex m_mutex;  // what follows is also written by the boxes' threads
    int m_nStopCode = -1;
    CString m_strStopReason;
    bool m_bInstalled = false;
    bool m_bFailed = false;
    std::vector<CString> m_messages;  // the texts of the other boxes shown
};
