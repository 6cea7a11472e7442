#include "app/cli/WizardAnswerer.h"

#include <string.h>

#include "app/DrovanDlg.h"
#include "app/cli/Messages.h"
#include "app/cli/ProgramOutput.h"
#include "engine/Catalogue.h"
#include "ports/SerialSettings.h"
#include "platform/ui/text.h"

using drovan::ui::Text;
using drovan::ui::Window;
using drovan::ui::headless::AnswerRunner;
using drovan::ui::headless::Command;

namespace {

const int kNext = 3;  // the wizard's Next (Install on the port page)

// Situations counted for stalls: how often a turn may come round in each.
enum {
    TURN_LICENCE = 1,
    TURN_MODEL,
    TURN_PORT,
    TURN_CANCEL,
    TURN_DRIVER_INFO,
    TURN_CLOSING,
    TURN_OTHER,
};

Command Make(Command::Kind kind, int nId = 0) {
    Command c;
    c.kind = kind;
    c.id = nId;
    return c;
}

Command Select(int nId, const CString& strItem) {
    Command c = Make(Command::Select, nId);
    c.text = drovan::ui::text::ToUtf8(strItem.Str());
    return c;
}

Command Check(int nId, int nState) {
    Command c = Make(Command::Check, nId);
    c.index = nState;
    return c;
}

bool Shown(const Window& dialog, int nId) {
    const Window* w = dialog.Child(nId);
    return w != NULL && w->Visible();
}

bool Usable(const Window& dialog, int nId) {
    const Window* w = dialog.Child(nId);
    return w != NULL && w->Visible() && w->Enabled();
}

CString CurrentItem(CComboBox& list) {
    CString s;
    int nSel = list.GetCurSel();
    if (nSel != CB_ERR) list.GetLBText(nSel, s);
    return s;
}

CString PortsOf(CComboBox& list) {
    CString s;
    for (int i = 0; i < list.GetCount(); ++i) {
        CString item;
        list.GetLBText(i, item);
        if (i > 0) s += TEXT(", ");
        s += item;
    }
    return s.IsEmpty() ? Say(TEXT("none"), TEXT("无")) : s;
}

}  // namespace

CWizardAnswerer::CWizardAnswerer(const CCommandLine& cmdLine, CDrovanDlg& dlg)
    : m_cmdLine(cmdLine), m_choices(cmdLine.m_choices), m_dlg(dlg) {}

CWizardAnswerer::EPage CWizardAnswerer::PageOf(Window& wizard) {
    if (Shown(wizard, IDC_PROGRESS)) return PAGE_PROGRESS;
    bool bLicence = Shown(wizard, IDC_ACCEPT);
    bool bModel = Shown(wizard, IDC_MODEL_1);
    bool bPort = Shown(wizard, IDC_PORT_LIST);
    // Controls of two pages at once: the wizard has not (or not wholly) laid out a page,
    // as when its licence text could not be read at start.
    if (bLicence && !bModel && !bPort) return PAGE_LICENCE;
    if (bModel && !bLicence && !bPort) return PAGE_MODEL;
    if (bPort && !bLicence && !bModel) return PAGE_PORT;
    return PAGE_UNKNOWN;
}

std::vector<Command> CWizardAnswerer::Next(Window& dialog, AnswerRunner& runner) {
    switch (dialog.id) {
        case IDD_DROVAN_DIALOG: return WizardTurn(dialog, runner);
        case IDD_DRIVERINFO_DIALOG: return DriverInfoTurn(dialog);
        case IDD_USEROPTION_DIALOG:
            // The closing picture: closed, never its web page.
            if (Stalled(TURN_CLOSING)) return CCommands();
            return CCommands{Make(Command::KeyEscape)};
        default: {
            CString why;
            why.Format(TEXT("dialog %d"), dialog.id);
            Stop(EXIT_NOT_RUN, Say(TEXT("a dialog the switches do not answer appeared (%s)"),
                                   TEXT("出现了开关无法回答的对话框（%s）"), why.GetString()));
            if (Stalled(TURN_OTHER)) return CCommands();
            return CCommands{Make(Command::KeyEscape)};
        }
    }
}

CWizardAnswerer::CCommands CWizardAnswerer::WizardTurn(Window& wizard, AnswerRunner& runner) {
    EPage ePage = PageOf(wizard);
    // The installation runs: its outcome comes as a message box, then the wizard ends.
    if (ePage == PAGE_PROGRESS) return CCommands();

    if (!Stopping()) {
        switch (ePage) {
            case PAGE_LICENCE:
                if (Stalled(TURN_LICENCE)) break;
                if (wizard.Child(IDC_ACCEPT)->check != BST_CHECKED)
                    return CCommands{Make(Command::Click, IDC_ACCEPT), Make(Command::Click, kNext)};
                return CCommands{Make(Command::Click, kNext)};
            case PAGE_MODEL:
                if (Stalled(TURN_MODEL)) break;
                // Before anything changes: the port must be there, or nothing is done at all
                // (with /replace, the old printers are not deleted for nothing).
                runner.OnGuiThread([this] {
                    CheckPort();
                    if (m_cmdLine.m_bWhatIf) PlanDryRun();
                });
                if (!Stopping()) return ModelPage(wizard);
                break;
            case PAGE_PORT:
                if (Stalled(TURN_PORT)) break;
                return PortPage();
            default:
                break;
        }
    }
    // The run ends here: by the wizard's Cancel while it is there, else its close box.
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_nStopCode < 0) {
            CString last = m_messages.empty() ? CString() : m_messages.back();
            m_nStopCode = EXIT_NOT_RUN;
            m_strStopReason = Say(TEXT("The wizard could not be taken to an installation%s; nothing was installed."),
                                  TEXT("无法使安装向导进行安装%s；未安装。"),
                                  last.IsEmpty() ? TEXT("") : (TEXT(" (") + last + TEXT(")")).GetString());
        }
    }
    if (Stalled(TURN_CANCEL)) return CCommands();
    if (Usable(wizard, IDCANCEL)) return CCommands{Make(Command::Click, IDCANCEL)};
    return CCommands{Make(Command::Close)};
}

CWizardAnswerer::CCommands CWizardAnswerer::ModelPage(Window& wizard) {
    CCommands commands;
    // The catalogue's four models, also the two the page does not show: checked as the
    // program itself checks a model option.
    const int ids[] = {IDC_MODEL_1, IDC_MODEL_2, IDC_MODEL_3, IDC_MODEL_4};
    for (int nId : ids)
        commands.push_back(Check(nId, static_cast<UINT>(nId) == m_choices.pModel->nOptionId ? BST_CHECKED : BST_UNCHECKED));
    bool bDefaultChecked = wizard.Child(IDC_DEFAULT_PRINTER)->check == BST_CHECKED;
    if (bDefaultChecked != m_choices.bDefault) commands.push_back(Make(Command::Click, IDC_DEFAULT_PRINTER));
    commands.push_back(Make(Command::Click, kNext));
    return commands;
}

CWizardAnswerer::CCommands CWizardAnswerer::PortPage() {
    if (m_strPortItem.IsEmpty()) {
        // The USB printer was found before Next and is gone now: the wizard asks for a port.
        Stop(EXIT_NO_PORT, Say(TEXT("The USB printer was unplugged during the run; nothing was installed."),
                               TEXT("运行期间 USB 打印机被拔下；未安装。")));
        return CCommands();
    }
    CCommands commands{Select(IDC_PORT_LIST, m_strPortItem)};
    if (m_choices.bSerial) {
        CString items[5];
        m_choices.serial.ListItems(items);
        const int ids[5] = {IDC_BAUD, IDC_PARITY, IDC_DATA_BITS, IDC_STOP_BITS, IDC_FLOW};
        for (int i = 0; i < 5; ++i) commands.push_back(Select(ids[i], items[i]));
    }
    commands.push_back(Make(Command::Click, kNext));
    return commands;
}

CWizardAnswerer::CCommands CWizardAnswerer::DriverInfoTurn(Window& dialog) {
    bool bDelete = Usable(dialog, IDC_DRIVERINFO_DELETE);
    bool bInstall = Usable(dialog, IDC_DRIVERINFO_INSTALL);
    bool bCancel = Usable(dialog, IDC_DRIVERINFO_CANCEL);
    if (!bDelete && !bInstall && !bCancel) return CCommands();  // deleting
    if (Stalled(TURN_DRIVER_INFO)) return CCommands{Make(Command::KeyEscape)};
    LPCWSTR pszModel = m_choices.pModel->pszPrinterName;
    if (!m_choices.bReplace) {
        Stop(EXIT_MODEL_INSTALLED,
             Say(TEXT("%d printer(s) of the model \"%s\" are installed already; nothing was changed. "
                      "/replace deletes them (and their driver) first."),
                 TEXT("本机已安装了 %d 个 \"%s\" 型号的打印机；未作任何更改。/replace 会先删除它们（及其驱动程序）。"),
                 m_dlg.m_nInstalledCount, pszModel));
        return CCommands{Make(Command::Click, IDC_DRIVERINFO_CANCEL)};
    }
    if (!m_bDeleteClicked && bDelete) {
        m_bDeleteClicked = true;
        return CCommands{Make(Command::Click, IDC_DRIVERINFO_DELETE)};
    }
    if (bInstall && !bDelete) return CCommands{Make(Command::Click, IDC_DRIVERINFO_INSTALL)};
    Stop(EXIT_REMOVAL_FAILED,
         Say(TEXT("The installed printers of the model \"%s\" or their driver could not all be deleted; nothing "
                  "was installed (printers deleted before the failure stay deleted)."),
             TEXT("未能全部删除已安装的 \"%s\" 型号打印机或其驱动程序；未安装（失败前已删除的打印机不会恢复）。"),
             pszModel));
    return CCommands{Make(Command::Click, IDC_DRIVERINFO_CANCEL)};
}

void CWizardAnswerer::CheckPort() {
    bool bUsbAttached = m_dlg.FindUsbPrinter();
    if (m_choices.strPort.IsEmpty()) {
        if (!bUsbAttached) {
            Stop(EXIT_NO_PORT, Say(TEXT("No USB printer of the family is attached (or it is switched off); nothing "
                                        "was changed. Plug it in and switch it on, or name its port with /port."),
                                   TEXT("未连接本系列的 USB 打印机（或未打开电源）；未作任何更改。请连接并打开打印机，"
                                        "或用 /port 指定端口。")));
            return;
        }
        m_strInstallPort = m_dlg.GetUsbPortName();
        return;
    }
    CComboBox& list = m_dlg.m_cbPort;
    for (int i = 0; i < list.GetCount() && m_strPortItem.IsEmpty(); ++i) {
        CString item;
        list.GetLBText(i, item);
        if (item.CompareNoCase(m_choices.strPort) == 0) m_strPortItem = item;
    }
    if (m_strPortItem.IsEmpty()) {
        Stop(EXIT_NO_PORT, Say(TEXT("There is no port \"%s\" on this computer (its ports: %s); nothing was changed."),
                               TEXT("本机没有端口 \"%s\"（本机端口：%s）；未作任何更改。"),
                               m_choices.strPort.GetString(), PortsOf(list).GetString()));
        return;
    }
    bool bUsbName = wcsstr(m_strPortItem, TEXT("USB")) != NULL;
    if (bUsbAttached && !bUsbName) {
        // The wizard installs on an attached printer without asking for a port: it would
        // not be the port the command line names.
        Stop(EXIT_NO_PORT, Say(TEXT("A USB printer of the family is attached, and the wizard installs on it, not on "
                                    "%s; nothing was changed. Give /port:USB, or unplug it."),
                               TEXT("已连接本系列的 USB 打印机，安装向导会安装到它上面，而不是 %s；未作任何更改。"
                                    "请给出 /port:USB，或拔下该打印机。"),
                               m_strPortItem.GetString()));
        return;
    }
    if (m_choices.bSerial && wcsstr(m_strPortItem, TEXT("COM")) == NULL) {
        Stop(EXIT_COMMAND_LINE, Say(TEXT("/serial sets a COM port, and %s is none; nothing was changed."),
                                    TEXT("/serial 用于 COM 端口，而 %s 不是；未作任何更改。"),
                                    m_strPortItem.GetString()));
        return;
    }
    m_strInstallPort = bUsbName && bUsbAttached ? m_dlg.GetUsbPortName() : m_strPortItem;
}

void CWizardAnswerer::PlanDryRun() {
    const CatalogueRow& row = *m_choices.pModel;
    WriteOutput(Say(TEXT("Dry run (/whatif): nothing is changed."), TEXT("试运行（/whatif）：不作任何更改。")));
    WriteOutput(Say(TEXT("Model: %s"), TEXT("型号：%s"), row.pszPrinterName));
    if (Stopping()) return;  // the port is not there: the run would end before anything else

    // What the model page's Next does first: the model's name, and its printers counted.
    m_dlg.m_strDriverName = row.pszPrinterName;
    int nCount = m_dlg.CountInstalledPrinters(m_dlg.m_strDriverName);
    if (nCount >= 1) {
        WriteOutput(Say(TEXT("Installed printers of the model: %d"), TEXT("已安装的该型号打印机：%d 个"), nCount));
        if (!m_choices.bReplace) {
            Stop(EXIT_MODEL_INSTALLED, Say(TEXT("Without /replace the run would stop here and change nothing."),
                                           TEXT("没有 /replace 时，运行到此停止，不作任何更改。")));
            return;
        }
        // What the installed-driver dialog's Delete removes.
        CPrinterNameList printers;
        g_printerInfo.EnumSamePrinter(row.pszPrinterName, printers);
        for (const auto& name : printers)
            WriteOutput(Say(TEXT("Would delete printer \"%s\", its queued jobs first"),
                            TEXT("将删除打印机 \"%s\"（先清除其队列中的作业）"), name.c_str()));
        WriteOutput(Say(TEXT("Would delete driver \"%s\""), TEXT("将删除驱动程序 \"%s\""), row.pszPrinterName));
    }
    bool bUsb = m_strPortItem.IsEmpty() || (wcsstr(m_strPortItem, TEXT("USB")) != NULL && m_strInstallPort != m_strPortItem);
    WriteOutput(bUsb ? Say(TEXT("Port: %s (the attached USB printer)"), TEXT("端口：%s（已连接的 USB 打印机）"),
                           m_strInstallPort.GetString())
                     : Say(TEXT("Port: %s"), TEXT("端口：%s"), m_strInstallPort.GetString()));
    if (!bUsb && wcsstr(m_strPortItem, TEXT("USB")) == NULL && wcsstr(m_strPortItem, TEXT("COM")) != NULL) {
        // What the port page's Next writes: its lists' settings, as the switch sets them.
        CSerialChoice serial = m_choices.serial;
        if (!m_choices.bSerial) {
            CString items[5] = {CurrentItem(m_dlg.m_cbBaud), CurrentItem(m_dlg.m_cbParity),
                                CurrentItem(m_dlg.m_cbDataBits), CurrentItem(m_dlg.m_cbStopBits),
                                CurrentItem(m_dlg.m_cbFlow)};
            CSerialChoice::FromListItems(items, serial);
        }
        int nPort = ComPortNumber(m_strPortItem);
        if (nPort >= 1)
            WriteOutput(Say(TEXT("Would write the serial settings: HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports, "
                                 "COM%d: = \"%s\""),
                            TEXT("将写入串口设置：HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports，COM%d: = \"%s\""),
                            nPort, serial.Text().GetString()));
        else
            WriteOutput(Say(TEXT("No serial settings would be written: %s is not a COMn: port"),
                            TEXT("不会写入串口设置：%s 不是 COMn: 端口"), m_strPortItem.GetString()));
    }

    // What StartInstall hands the installation worker, and the command it runs.
    CPrinterInfo& record = m_dlg.m_printerInfo;
    record.SetPrinterName(row.pszPrinterName);
    record.SetInfFilePath(CatalogueInfFile(row, Is64BitSystem()));
    record.SetPortName(m_strInstallPort);
    WCHAR szCmd[CPrinterInfo::COMMAND_CAPACITY];
    WCHAR szRundll[MAX_PATH];
    CPrinterInfo::GetRundllPath(szRundll);
    if (!record.FormatInstallCommand(szCmd)) {
        Stop(EXIT_FAILED, Say(TEXT("The installation would be refused: the driver package's path or the port name "
                                   "does not fit the print UI's command line."),
                              TEXT("安装会被拒绝：驱动程序包路径或端口名称不适合打印界面的命令行。")));
        WriteOutput(m_strStopReason);
        return;
    }
    WriteOutput(Say(TEXT("Would run: %s %s"), TEXT("将运行：%s %s"), szRundll, szCmd));
    if (GetFileAttributesW(record.m_szInfPath) == INVALID_FILE_ATTRIBUTES) {
        Stop(EXIT_FAILED, Say(TEXT("The driver package %s is missing: the installation would fail."),
                              TEXT("缺少驱动程序包 %s：安装会失败。"), record.m_szInfPath));
        WriteOutput(m_strStopReason);
        return;
    }

    WCHAR szDefault[256];
    DWORD cchDefault = 256;
    memset(szDefault, 0, sizeof(szDefault));
    CString strDefault = GetDefaultPrinterW(szDefault, &cchDefault) ? CString(TEXT("\"")) + szDefault + TEXT("\"")
                                                                    : Say(TEXT("none"), TEXT("无"));
    if (m_choices.bDefault)
        WriteOutput(Say(TEXT("Would make \"%s\" the default printer (now: %s)"), TEXT("将把 \"%s\" 设为默认打印机（当前：%s）"),
                        row.pszPrinterName, strDefault.GetString()));
    else
        WriteOutput(Say(TEXT("The default printer would stay: %s"), TEXT("默认打印机保持不变：%s"), strDefault.GetString()));
    Stop(EXIT_INSTALLED, Say(TEXT("Dry run: nothing was changed."), TEXT("试运行：未作任何更改。")));
}

int CWizardAnswerer::Answer(Window* owner, const Text& text, const Text& caption, UINT type) {
    // The wizard's outcome: its own box while the progress view shows.
    bool bOutcome = owner != NULL && owner->id == IDD_DROVAN_DIALOG && Shown(*owner, IDC_PROGRESS);
    UINT nIcon = type & MB_ICONMASK;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (bOutcome && nIcon == MB_ICONINFORMATION) {
        m_bInstalled = true;
    } else if (bOutcome && nIcon == MB_ICONERROR) {
        m_bFailed = true;
    } else {
        // Any other box is news for whoever reads the run's output: an error of the print
        // UI's start, a refused purge, a missing licence text.
        CString message = CString(caption.c_str()) + TEXT(": ") + CString(text.c_str());
        message.Replace(TEXT("\r\n"), TEXT(" "));
        message.Replace(TEXT('\n'), TEXT(' '));
        m_messages.push_back(message);
        WriteError(message);
    }
    return 0;  // every box of the program has one button, or its default is the safe one
}

void CWizardAnswerer::Refused(const drovan::ui::headless::ScriptError& error) {
    CString why(drovan::ui::text::FromUtf8(error.message));
    Stop(EXIT_NOT_RUN, Say(TEXT("The wizard did not take a step (%s); nothing was installed."),
                           TEXT("安装向导未能执行一步（%s）；未安装。"), why.GetString()));
}

bool CWizardAnswerer::Stopping() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nStopCode >= 0;
}

void CWizardAnswerer::Stop(int nCode, const CString& strWhy) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_nStopCode >= 0) return;  // the first reason is the one
    m_nStopCode = nCode;
    m_strStopReason = strWhy;
}

bool CWizardAnswerer::Stalled(int nSituation) {
    // A page the answers have already been given on: the wizard did not go on with them.
    // The way out (cancel, escape) may take a few turns.
    int nLimit = nSituation == TURN_CANCEL || nSituation == TURN_CLOSING || nSituation == TURN_OTHER ||
                         nSituation == TURN_DRIVER_INFO
                     ? 4
                     : 1;
    return ++m_turns[nSituation] > nLimit;
}

int CWizardAnswerer::ExitCode() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    // The wizard's own outcome counts over anything that happened after it.
    if (m_bInstalled) return EXIT_INSTALLED;
    if (m_bFailed) return EXIT_FAILED;
    if (m_nStopCode >= 0) return m_nStopCode;
    return EXIT_NOT_RUN;
}

CString CWizardAnswerer::Summary() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    LPCWSTR pszModel = m_choices.pModel->pszPrinterName;
    if (m_bInstalled) {
        return Say(TEXT("Printer \"%s\" installed on %s."), TEXT("打印机 \"%s\" 已安装在 %s 上。"), pszModel,
                   m_strInstallPort.GetString()) +
               (m_choices.bDefault ? Say(TEXT(" It is the default printer."), TEXT("已设为默认打印机。")) : CString());
    }
    if (m_bFailed)
        return Say(TEXT("The installation of printer \"%s\" on %s failed."), TEXT("在 %s 上安装打印机 \"%s\" 失败。"),
                   UiIsChinese() ? m_strInstallPort.GetString() : pszModel,
                   UiIsChinese() ? pszModel : m_strInstallPort.GetString());
    if (m_nStopCode >= 0) return m_strStopReason;
    return Say(TEXT("The wizard ended without installing; nothing was installed."),
               TEXT("安装向导未安装即已结束；未安装。"));
}
