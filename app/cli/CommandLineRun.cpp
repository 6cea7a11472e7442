// The application object's runs with a command line: the switches read, the log switched
// on, the wizard run unattended on the headless backend with the switches' answers (or for
// a person, saving its choices), and the end reported on the standard streams, in the log
// and, unless /quiet, in a message box.
#include <thread>

#include "app/DrovanApp.h"
#include "app/DrovanDlg.h"
#include "app/cli/ExitCodes.h"
#include "app/cli/Messages.h"
#include "app/cli/ProgramOutput.h"
#include "app/cli/RecordChoices.h"
#include "app/cli/WizardAnswerer.h"
#include "engine/Log.h"
#include "platform/ui/headless/answerer.h"
#include "platform/ui/headless/system_boxes.h"

namespace {

// A box for the person who started the run, through the dialog backend of this home; none
// with /quiet, or where there is no backend (Linux without a display).
void ShowRunBox(const CCommandLine& cmdLine, const CString& strText, UINT nType) {
    if (cmdLine.m_bQuiet || !drovan::ui::HasBackend()) return;
    drovan::ui::ShowMessageBox(NULL, strText, ProgramCaption(), nType);
}

void LogRunEnd(int nCode, const CString& strSummary) {
    CString line;
    line.Format(TEXT("exit code %d: %s"), nCode, strSummary.GetString());
    CLogFile::WriteSinkLine(line);
}

}  // namespace

bool CDrovanApp::BeginRun() {
    m_cmdLine.m_bQuiet = CCommandLine::AsksQuiet(m_lpCmdLine);  // even when the rest is wrong
    bool bValid = m_cmdLine.Parse(m_lpCmdLine);
    if (bValid && m_cmdLine.Mode() == CCommandLine::MODE_UNATTENDED) bValid = m_cmdLine.Complete();

    // The log first, so that a refused command line leaves its trace where the
    // administrator looks for it.
    if (!m_cmdLine.m_strLog.IsEmpty()) {
        CString first;
        first.Format(TEXT("Drovan Setup %s, arguments: %s"), ProgramVersion(), m_lpCmdLine ? m_lpCmdLine : TEXT(""));
        DWORD dwError = 0;
        if (!CLogFile::OpenSink(m_cmdLine.m_strLog, first, &dwError) && bValid) {
            m_cmdLine.m_strError = Say(TEXT("cannot write the log file %s: %s"), TEXT("无法写入日志文件 %s：%s"),
                                       m_cmdLine.m_strLog.GetString(), ErrorText(dwError).GetString());
            bValid = false;
        }
    } else {
        CLogFile::KeepSinkOff();
    }

    if (!bValid) {
        m_nExitCode = EXIT_COMMAND_LINE;
        CString text = Say(TEXT("Command line: %s"), TEXT("命令行：%s"), m_cmdLine.m_strError.GetString());
        WriteError(text);
        LogRunEnd(m_nExitCode, text);
        CLogFile::CloseSink();
        ShowRunBox(m_cmdLine, text, MB_OK | MB_ICONERROR);
        return false;
    }
    if (m_cmdLine.Mode() == CCommandLine::MODE_USAGE) {
        CString usage = UsageText();
        WriteOutput(usage);
        CLogFile::CloseSink();
        ShowRunBox(m_cmdLine, usage, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    return true;
}

void CDrovanApp::RunWizard(CDrovanDlg& dlg) {
    if (m_cmdLine.Mode() != CCommandLine::MODE_UNATTENDED) {
        dlg.DoModal();
        CLogFile::CloseSink();
        return;
    }

    // The same wizard on the headless backend, its questions answered from the switches by
    // a user of its own thread; the home's backend (if any) comes back for the last box.
    namespace headless = drovan::ui::headless;
    headless::Transcript transcript(nullptr);
    headless::HeadlessBackend backend(transcript);
    drovan::ui::Backend* pHomeBackend = drovan::ui::HasBackend() ? &drovan::ui::CurrentBackend() : NULL;
    drovan::ui::SetBackend(&backend);
    headless::RouteSystemMessageBoxes();
    CWizardAnswerer answerer(m_cmdLine, dlg);
    headless::AnswerRunner runner(backend, transcript, answerer);
    std::thread user([&runner] { runner.Run(); });
    dlg.DoModal();
    backend.ProgramEnded();
    user.join();
    drovan::ui::SetBackend(pHomeBackend);

    m_nExitCode = answerer.ExitCode();
    EndRun(answerer.Summary());
}

void CDrovanApp::EndRun(const CString& strSummary) {
    if (m_nExitCode == EXIT_INSTALLED) WriteOutput(strSummary);
    else WriteError(strSummary);
    LogRunEnd(m_nExitCode, strSummary);
    CLogFile::CloseSink();
    UINT nIcon = m_nExitCode == EXIT_INSTALLED ? MB_ICONINFORMATION
                 : m_nExitCode == EXIT_MODEL_INSTALLED || m_nExitCode == EXIT_NO_PORT ? MB_ICONWARNING
                                                                                        : MB_ICONERROR;
    ShowRunBox(m_cmdLine, strSummary, MB_OK | nIcon);
}

void RecordInstallChoices(CDrovanDlg& dlg, bool bUsbPrinter) {
    const CString& strFile = theApp.m_cmdLine.m_strSaveInf;
    if (strFile.IsEmpty()) return;
    CInstallChoices choices;
    for (int i = 0; i < CATALOGUE_ROWS && choices.pModel == NULL; ++i)
        if (dlg.m_strDriverName == g_catalogue[i].pszPrinterName) choices.pModel = &g_catalogue[i];
    if (choices.pModel == NULL) return;  // no model chosen: nothing is being installed
    if (!bUsbPrinter) {
        int nSel = dlg.m_cbPort.GetCurSel();
        if (nSel != CB_ERR) dlg.m_cbPort.GetLBText(nSel, choices.strPort);
        // The port page writes serial settings for a COM port that is not a USB one.
        if (wcsstr(choices.strPort, TEXT("USB")) == NULL && wcsstr(choices.strPort, TEXT("COM")) != NULL) {
            CComboBox* lists[5] = {&dlg.m_cbBaud, &dlg.m_cbParity, &dlg.m_cbDataBits, &dlg.m_cbStopBits, &dlg.m_cbFlow};
            CString items[5];
            for (int i = 0; i < 5; ++i) {
                int nItem = lists[i]->GetCurSel();
                if (nItem != CB_ERR) lists[i]->GetLBText(nItem, items[i]);
            }
            choices.bSerial = CSerialChoice::FromListItems(items, choices.serial);
        }
    }
    choices.bDefault = dlg.m_chkDefaultPrinter.GetCheck() == BST_CHECKED;
    // The installed-driver dialog was shown and the model's printers are gone now: the
    // person deleted them, as /replace does.
    choices.bReplace = dlg.m_nInstalledCount >= 1 && dlg.CountInstalledPrinters(dlg.m_strDriverName) < 1;

    DWORD dwError = 0;
    if (!WriteChoicesFile(strFile, choices, &dwError)) {
        dlg.MessageBox(Say(TEXT("The choices could not be saved to %s: %s. The installation goes on."),
                           TEXT("无法把所作的选择保存到 %s：%s。安装继续进行。"), strFile.GetString(),
                           ErrorText(dwError).GetString()),
                       ProgramCaption(), MB_OK | MB_ICONWARNING);
    }
}
