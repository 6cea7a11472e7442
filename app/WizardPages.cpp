// The wizard's pages (licence, model, port), the progress view, and Next, Back and Cancel.
#include <stdlib.h>
#include <string.h>

#include "app/DrovanDlg.h"
#include "engine/Catalogue.h"
#include "ports/SerialSettings.h"

namespace {

// The serial lists' values by selection index (no selection gives the last one).
const int kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 115200};
const WCHAR kParities[] = {TEXT('e'), TEXT('o'), TEXT('n')};
const int kDataBits[] = {5, 6, 7, 8};
const WCHAR kStopBits[] = {TEXT('1'), TEXT('5'), TEXT('2')};
const WCHAR kFlows[] = {TEXT('x'), TEXT('p'), 0};

template <class T, size_t N>
T ValueAt(const T (&values)[N], int nIndex, T none) {
    return nIndex >= 0 && static_cast<size_t>(nIndex) < N ? values[nIndex] : none;
}

}  // namespace

void CDrovanDlg::ShowLicencePage() {
    m_editLicence.ShowWindow(SW_SHOW);
    m_chkAccept.ShowWindow(SW_SHOW);
    m_stcPageFrame.SetWindowText(m_bChinese ? TEXT("软件许可协议") : TEXT("Software lisence"));
    LPCWSTR pszFile = m_bChinese ? TEXT("ReadMe_cn.txt") : TEXT("ReadMe_en.txt");

    // A missing file raises the framework's file exception, which leaves here.
    CFile file(pszFile, CFile::modeRead | CFile::shareExclusive);
    UINT nLength = static_cast<UINT>(file.GetLength());
    WCHAR* pText = static_cast<WCHAR*>(calloc(static_cast<size_t>(nLength) + 2, sizeof(WCHAR)));
    if (pText != NULL) {
        if (nLength > 0) file.Read(pText, nLength);
        m_editLicence.SetWindowText(pText);
        free(pText);
    }
    file.Close();

    m_btnNext.EnableWindow(m_chkAccept.GetCheck() == BST_CHECKED);
    m_btnBack.EnableWindow(FALSE);
    m_btnNext.SetWindowText(m_bChinese ? TEXT("下一步>>") : TEXT("Next>>"));

    CWnd* hidden[] = {&m_rdoPaper76, &m_rdoPaper57, &m_rdoModel1, &m_rdoModel2, &m_rdoModel3,
                      &m_rdoModel4, &m_stcModelNote1, &m_stcModelNote2, &m_stcModelNote3,
                      &m_chkDefaultPrinter, &m_stcModelFrame, &m_editUnused, &m_cbMakerModels,
                      &m_stcModelNotesFrame, &m_stcSerialFrame, &m_stcBaudLabel, &m_stcParityLabel,
                      &m_stcDataBitsLabel, &m_stcStopBitsLabel, &m_stcFlowLabel, &m_cbBaud,
                      &m_cbParity, &m_cbDataBits, &m_cbStopBits, &m_cbFlow, &m_stcPortLabel,
                      &m_cbPort, &m_stcProgressText, &m_btnAddPort};
    for (CWnd* pWnd : hidden) pWnd->ShowWindow(SW_HIDE);
}

void CDrovanDlg::ShowModelPage() {
    m_editLicence.ShowWindow(SW_HIDE);
    m_chkAccept.ShowWindow(SW_HIDE);
    m_stcPageFrame.SetWindowText(m_bChinese ? TEXT("打印驱动属性") : TEXT("Printer driver property"));
    m_rdoPaper76.ShowWindow(SW_HIDE);
    m_rdoPaper57.ShowWindow(SW_HIDE);
    m_rdoModel1.ShowWindow(SW_SHOW);
    m_rdoModel2.ShowWindow(SW_SHOW);
    m_stcModelNote1.ShowWindow(SW_HIDE);
    m_stcModelNote2.ShowWindow(SW_HIDE);
    m_stcModelNote3.ShowWindow(SW_HIDE);
    m_chkDefaultPrinter.ShowWindow(SW_SHOW);
    if (m_rdoModel1.GetCheck() != BST_CHECKED && m_rdoModel2.GetCheck() != BST_CHECKED &&
        m_rdoModel3.GetCheck() != BST_CHECKED && m_rdoModel4.GetCheck() != BST_CHECKED)
        m_rdoModel1.SetCheck(BST_CHECKED);
    m_chkDefaultPrinter.SetCheck(BST_CHECKED);
    m_stcModelFrame.ShowWindow(SW_SHOW);
    m_btnBack.EnableWindow(TRUE);
    m_btnNext.SetWindowText(m_bChinese ? TEXT("下一步>>") : TEXT("Next>>"));
    if (!m_bChinese) m_stcModelFrame.SetWindowText(TEXT("Printer Model"));

    CWnd* hidden[] = {&m_stcPortLabel, &m_cbPort, &m_stcSerialFrame, &m_stcBaudLabel,
                      &m_stcParityLabel, &m_stcDataBitsLabel, &m_stcStopBitsLabel, &m_stcFlowLabel,
                      &m_cbBaud, &m_cbParity, &m_cbDataBits, &m_cbStopBits, &m_cbFlow,
                      &m_stcProgressText, &m_btnAddPort};
    for (CWnd* pWnd : hidden) pWnd->ShowWindow(SW_HIDE);
}

void CDrovanDlg::ShowPortPage() {
    m_nPage = 3;
    m_stcPageFrame.SetWindowText(m_bChinese ? TEXT("打印驱动配置") : TEXT("Printer driver configure"));
    CWnd* hidden[] = {&m_editLicence, &m_chkAccept, &m_rdoPaper76, &m_rdoPaper57, &m_rdoModel1,
                      &m_rdoModel2, &m_rdoModel3, &m_rdoModel4, &m_stcModelNote1, &m_stcModelNote2,
                      &m_stcModelNote3, &m_stcModelNotesFrame, &m_chkDefaultPrinter,
                      &m_stcModelFrame, &m_editUnused, &m_cbMakerModels, &m_stcProgressText};
    for (CWnd* pWnd : hidden) pWnd->ShowWindow(SW_HIDE);
    CWnd* shown[] = {&m_stcPortLabel, &m_cbPort, &m_stcSerialFrame, &m_stcBaudLabel,
                     &m_stcParityLabel, &m_stcDataBitsLabel, &m_stcStopBitsLabel, &m_stcFlowLabel,
                     &m_cbBaud, &m_cbParity, &m_cbDataBits, &m_cbStopBits, &m_cbFlow};
    for (CWnd* pWnd : shown) pWnd->ShowWindow(SW_SHOW);
    m_btnNext.SetWindowText(m_bChinese ? TEXT("安装") : TEXT("Install"));
}

void CDrovanDlg::ShowProgressPage() {
    CWnd* hidden[] = {&m_editLicence, &m_chkAccept, &m_rdoPaper76, &m_rdoPaper57, &m_rdoModel1,
                      &m_rdoModel2, &m_rdoModel3, &m_rdoModel4, &m_stcModelNote1, &m_stcModelNote2,
                      &m_stcModelNote3, &m_chkDefaultPrinter, &m_stcModelFrame, &m_editUnused,
                      &m_cbMakerModels, &m_stcModelNotesFrame, &m_stcSerialFrame, &m_stcBaudLabel,
                      &m_stcParityLabel, &m_stcDataBitsLabel, &m_stcStopBitsLabel, &m_stcFlowLabel,
                      &m_cbBaud, &m_cbParity, &m_cbDataBits, &m_cbStopBits, &m_cbFlow,
                      &m_stcPortLabel, &m_cbPort, &m_btnAddPort};
    for (CWnd* pWnd : hidden) pWnd->ShowWindow(SW_HIDE);
    m_btnBack.EnableWindow(FALSE);
    m_btnNext.EnableWindow(FALSE);
    if (CWnd* pCancel = GetDlgItem(IDCANCEL)) pCancel->EnableWindow(FALSE);
    m_progress.ShowWindow(SW_SHOW);
    m_stcProgressText.ShowWindow(SW_SHOW);
    m_progress.SetRange(0, 120);
    m_progress.SetStep(2);
}

void CDrovanDlg::OnBnClickedAccept() {
    if (m_nPage == 1) m_btnNext.EnableWindow(m_chkAccept.GetCheck() == BST_CHECKED);
}

void CDrovanDlg::OnBnClickedModel() {
    m_stcModelNotesFrame.ShowWindow(SW_HIDE);
    m_stcModelNote3.ShowWindow(SW_HIDE);
    m_rdoPaper76.ShowWindow(SW_HIDE);
    m_rdoPaper57.ShowWindow(SW_HIDE);
}

void CDrovanDlg::OnCbnSelchangePort() {
    CString strPort;
    int nSel = m_cbPort.GetCurSel();
    if (nSel != CB_ERR) m_cbPort.GetLBText(nSel, strPort);
    BOOL bSerial = wcsstr(strPort, TEXT("COM")) != NULL;
    m_cbBaud.EnableWindow(bSerial);
    m_cbParity.EnableWindow(bSerial);
    m_cbDataBits.EnableWindow(bSerial);
    m_cbStopBits.EnableWindow(bSerial);
    m_cbFlow.EnableWindow(bSerial);
}

void CDrovanDlg::OnBnClickedBack() {
    if (m_nPage == 2) {
        ShowLicencePage();
        m_nPage = 1;
    } else if (m_nPage == 3) {
        ShowModelPage();
        m_nPage = 2;
    }
}

void CDrovanDlg::OnBnClickedNext() {
    if (m_nPage == 1) {
        ShowModelPage();
        m_nPage = 2;
        return;
    }
    if (m_nPage == 3) {
        OnPortPageNext();
        return;
    }
    if (m_nPage != 2) return;

    CButton* models[] = {&m_rdoModel1, &m_rdoModel2, &m_rdoModel3, &m_rdoModel4};
    const UINT ids[] = {IDC_MODEL_1, IDC_MODEL_2, IDC_MODEL_3, IDC_MODEL_4};
    for (int i = 0; i < 4; ++i) {
        if (models[i]->GetCheck() == BST_CHECKED) {
            m_strDriverName = FindCatalogueRow(ids[i])->pszPrinterName;
            break;
        }
    }
    m_nInstalledCount = CountInstalledPrinters(m_strDriverName);
    if (m_nInstalledCount >= 1) {
        m_dlgDriverInfo.m_bChinese = m_bChinese;
        m_dlgDriverInfo.m_strCount.Format(TEXT("%d"), m_nInstalledCount);
        m_dlgDriverInfo.m_strDriverName = m_strDriverName;
        m_dlgDriverInfo.DoModal();
        if (m_dlgDriverInfo.m_nChoice != 1) return;
    }
    if (FindUsbPrinter())
        StartUsbInstall();
    else
        ShowPortPage();
}

void CDrovanDlg::OnPortPageNext() {
    m_bUsbInstallStarted = false;
    int nSel = m_cbPort.GetCurSel();
    if (nSel == CB_ERR) {
        // Nothing to install on: say so and stay on the page.
        MessageBox(m_bChinese ? TEXT("请先选择打印机所连接的端口。")
                              : TEXT("Please select the port the printer is connected to."),
                   m_bChinese ? TEXT("错误") : TEXT("ERROR"), MB_OK | MB_ICONWARNING);
        return;
    }
    m_stcPageFrame.ShowWindow(SW_HIDE);
    CString strPort;
    m_cbPort.GetLBText(nSel, strPort);

    if (wcsstr(strPort, TEXT("USB")) != NULL) {
        if (FindUsbPrinter()) {
            StartUsbInstall();
            m_bUsbInstallStarted = true;
        }
    } else if (wcsstr(strPort, TEXT("COM")) != NULL) {
        // The whole number of a COMn: name (COM123: is port 123, not 12); 0 for others.
        int nPort = ComPortNumber(strPort);
        int nBaud = ValueAt(kBaudRates, m_cbBaud.GetCurSel(), 0);
        WCHAR chParity = ValueAt(kParities, m_cbParity.GetCurSel(), static_cast<WCHAR>(0));
        int nDataBits = ValueAt(kDataBits, m_cbDataBits.GetCurSel(), 0);
        WCHAR chStop = ValueAt(kStopBits, m_cbStopBits.GetCurSel(), static_cast<WCHAR>(0));
        WCHAR chFlow = ValueAt(kFlows, m_cbFlow.GetCurSel(), static_cast<WCHAR>(0));
        SetSerialPortSettings(nPort, nBaud, chParity, nDataBits, chStop, chFlow);
    }

    ShowProgressPage();
    if (!m_bUsbInstallStarted) {
        m_progress.StepIt();
        if (CMenu* pMenu = GetSystemMenu(FALSE)) pMenu->EnableMenuItem(SC_CLOSE, MF_GRAYED);
        SetWindowPos(&CWnd::wndTopMost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        StartInstall();
    }
}

void CDrovanDlg::OnBnClickedCancel() { CDialog::OnCancel(); }

void CDrovanDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != m_nTimerId) {
        CDialog::OnTimer(nIDEvent);
        return;
    }
    int nState = m_nInstallState.load();
    if (nState != 0) {
        KillTimer(m_nTimerId);
        if (nState == 1) {
            int nLower = 0, nUpper = 0;
            m_progress.GetRange(nLower, nUpper);
            m_progress.OffsetPos(nUpper);
            MessageBox(m_bChinese ? TEXT("恭喜，打印机驱动安装成功！")
                                  : TEXT("Printer driver installation success!"),
                       m_bChinese ? TEXT("成功") : TEXT("OK"), MB_OK | MB_ICONINFORMATION);
            if (m_chkDefaultPrinter.GetCheck() == BST_CHECKED) {
                typedef BOOL(WINAPI * PFNSETDEFAULTPRINTER)(LPCWSTR);
                HMODULE hSpooler = LoadLibraryW(TEXT("WINSPOOL.DRV"));
                PFNSETDEFAULTPRINTER pfnSetDefault =
                    hSpooler != NULL ? reinterpret_cast<PFNSETDEFAULTPRINTER>(reinterpret_cast<void*>(
                                           GetProcAddress(hSpooler, MAKEINTRESOURCEA(204))))
                                     : NULL;
                if (pfnSetDefault != NULL) pfnSetDefault(m_strDriverName);
            }
            EndDialog(2);
            m_dlgUserOption.DoModal();
        } else if (nState == -1) {
            MessageBox(m_bChinese ? TEXT("打印机驱动安装失败！") : TEXT("Printer driver installation failed!"),
                       m_bChinese ? TEXT("错误") : TEXT("ERROR"), MB_OK | MB_ICONERROR);
            EndDialog(2);
        }
        m_nInstallState = 0;
    }
    m_progress.StepIt();
    CDialog::OnTimer(nIDEvent);
}
