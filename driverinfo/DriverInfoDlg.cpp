#include "driverinfo/DriverInfoDlg.h"

#include <string.h>

#include "engine/PrinterInfo.h"

namespace {

const int kNameCapacity = 100;

}  // namespace

IMPLEMENT_DYNAMIC(DriverInfoDlg, CDialog)

BEGIN_MESSAGE_MAP(DriverInfoDlg, CDialog)
    ON_BN_CLICKED(IDC_DRIVERINFO_DELETE, &DriverInfoDlg::OnBnClickedDelete)
    ON_BN_CLICKED(IDC_DRIVERINFO_INSTALL, &DriverInfoDlg::OnBnClickedInstall)
    ON_BN_CLICKED(IDC_DRIVERINFO_CANCEL, &DriverInfoDlg::OnBnClickedCancel)
END_MESSAGE_MAP()

DriverInfoDlg::DriverInfoDlg(CWnd* pParent)
    : CDialog(IDD_DRIVERINFO_DIALOG, pParent), m_bChinese(false), m_nChoice(0) {}

void DriverInfoDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DRIVERINFO_DELETE, m_btnDelete);
    DDX_Control(pDX, IDC_DRIVERINFO_INSTALL, m_btnInstall);
    DDX_Control(pDX, IDC_DRIVERINFO_CANCEL, m_btnCancel);
    DDX_Text(pDX, IDC_DRIVERINFO_MESSAGE, m_strMessage);
}

BOOL DriverInfoDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    CString strMessage;
    if (m_bChinese) {
        strMessage = TEXT("本机已安装了 ") + m_strCount + TEXT(" 个 ") + m_strDriverName +
                     TEXT(" 驱动程序\r\n\r\n") + TEXT("请选择删除还是继续安装?");
    } else {
        strMessage = TEXT("There are ") + m_strCount + TEXT(" ") + m_strDriverName +
                     TEXT(" Drivers Installed\r\n\r\n") + TEXT("Please choose Delete or still Install");
        m_btnDelete.SetWindowText(TEXT("Delete"));
        m_btnInstall.SetWindowText(TEXT("Install"));
        m_btnCancel.SetWindowText(TEXT("Cancel"));
    }
    ShowMessage(strMessage);
    m_btnDelete.EnableWindow(TRUE);
    return TRUE;
}

void DriverInfoDlg::ShowMessage(const CString& strText) {
    m_strMessage = strText;
    SetDlgItemText(IDC_DRIVERINFO_MESSAGE, m_strMessage);
}

void DriverInfoDlg::ShowOutcome(bool bDeleted, const CString& strDeleted, const CString& strFailed) {
    ShowMessage(bDeleted ? strDeleted : strFailed);
    m_btnDelete.EnableWindow(bDeleted ? FALSE : TRUE);
    m_btnInstall.EnableWindow(bDeleted ? TRUE : FALSE);
    m_btnCancel.EnableWindow(TRUE);
}

void DriverInfoDlg::OnBnClickedDelete() {
    const CString strQuoted = TEXT("\"") + m_strDriverName + TEXT("\"");
    const CString strDeletingCn = TEXT("正在删除 ") + strQuoted + TEXT(" 驱动程序 ...");
    const CString strDeletingEn = TEXT("Deleting ") + strQuoted + TEXT(" drivers ...");
    const CString strDeletedCn = TEXT("\r\n      ") + strQuoted + TEXT(" 驱动程序已删除");
    const CString strDeletedEn = TEXT("\r\n      ") + strQuoted + TEXT(" drivers have been deleted");
    const CString strFailedCn = TEXT("    驱动删除失败");
    const CString strFailedEn = TEXT("   Driver delete failed");
    const CString& strDeleted = m_bChinese ? strDeletedCn : strDeletedEn;
    const CString& strFailed = m_bChinese ? strFailedCn : strFailedEn;

    g_printerInfo.SetPrinterName(m_strDriverName);
    HANDLE hEvent = CreateEventW(NULL, TRUE, FALSE, NULL);
    ShowMessage(m_bChinese ? strDeletingCn : strDeletingEn);
    m_btnDelete.EnableWindow(FALSE);
    m_btnInstall.EnableWindow(FALSE);
    m_btnCancel.EnableWindow(FALSE);
    // This thread handles no messages until the worker is done: paint the deleting text
    // and the disabled buttons now, or the dialog would show its old face all along.
    UpdateWindow();

    DWORD dwThreadId = 0;
    HANDLE hThread = hEvent != NULL ? CreateThread(NULL, 0, DeleteThreadProc, hEvent, 0, &dwThreadId) : NULL;
    if (hThread == NULL) {
        // Without the event or the worker there is nothing to wait for: waiting would
        // never end. Nothing was deleted; the user may try again or cancel.
        if (hEvent != NULL) CloseHandle(hEvent);
        ShowOutcome(false, strDeleted, strFailed);
        return;
    }
    WaitForSingleObject(hEvent, INFINITE);
    DWORD dwExitCode = STILL_ACTIVE;
    while (dwExitCode == STILL_ACTIVE) {
        if (!GetExitCodeThread(hThread, &dwExitCode)) dwExitCode = 1;
    }
    CloseHandle(hThread);
    CloseHandle(hEvent);

    // Clicks made while the worker ran must not press the buttons it is about to enable.
    MSG msg;
    while (PeekMessageW(&msg, NULL, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_REMOVE)) {
    }
    ShowOutcome(dwExitCode == 0, strDeleted, strFailed);
}

void DriverInfoDlg::OnBnClickedInstall() {
    m_nChoice = 1;
    CDialog::OnOK();
}

void DriverInfoDlg::OnBnClickedCancel() {
    m_nChoice = 2;
    CDialog::OnOK();
}

DWORD WINAPI DriverInfoDlg::DeleteThreadProc(LPVOID lpParameter) {
    HANDLE hEvent = static_cast<HANDLE>(lpParameter);
    bool bSuccess = true;
    WCHAR szName[kNameCapacity];
    memset(szName, 0, sizeof(szName));
    CPrinterNameList list;
    g_printerInfo.GetPrinterName(szName, kNameCapacity);
    int nSame = g_printerInfo.EnumSamePrinter(szName, list);
    if (nSame < 0) {
        // The printers could not be read, so none were deleted: that is no success, and
        // the user may try again.
        bSuccess = false;
    } else if (g_printerInfo.DeleteDriver(szName, list) == 0) {
        // Also with no printer left: a driver that an earlier Delete could not remove is
        // tried again, and only a model with neither printers nor driver counts as deleted.
        bSuccess = false;
    }
    SetEvent(hEvent);
    return bSuccess ? 0 : 1;
}
