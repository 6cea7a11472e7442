// Starting an installation: the printer record filled from the user's choices, the
// worker started, and the timer that polls its outcome.
#include "app/DrovanDlg.h"
#include "app/cli/RecordChoices.h"
#include "engine/Catalogue.h"

namespace {

const CatalogueRow* ChosenRow(CDrovanDlg& dlg) {
    CButton* models[] = {&dlg.m_rdoModel1, &dlg.m_rdoModel2, &dlg.m_rdoModel3, &dlg.m_rdoModel4};
    const UINT ids[] = {IDC_MODEL_1, IDC_MODEL_2, IDC_MODEL_3, IDC_MODEL_4};
    for (int i = 0; i < 4; ++i)
        if (models[i]->GetCheck() == BST_CHECKED) return FindCatalogueRow(ids[i]);
    return FindCatalogueRow(IDC_MODEL_1);  // the model page always checks one
}

}  // namespace

DWORD WINAPI CDrovanDlg::InstallThreadProc(LPVOID pParam) {
    CDrovanDlg* pDlg = static_cast<CDrovanDlg*>(pParam);
    pDlg->BeginWaitCursor();
    if (pDlg->m_printerInfo.InstallPrinter()) {
        Sleep(100);
        pDlg->m_nInstallState = 1;
        pDlg->EndWaitCursor();
        return 0;
    }
    pDlg->m_nInstallState = -1;
    pDlg->EndWaitCursor();
    return 1;
}

bool CDrovanDlg::StartInstall() {
    bool b64Bit = Is64BitSystem();
    const CatalogueRow* pRow = ChosenRow(*this);
    m_printerInfo.SetPrinterName(pRow->pszPrinterName);
    m_printerInfo.SetInfFilePath(CatalogueInfFile(*pRow, b64Bit));
    CString strPort;
    int nSel = m_cbPort.GetCurSel();
    if (nSel != CB_ERR) m_cbPort.GetLBText(nSel, strPort);
    m_printerInfo.SetPortName(strPort);
    RecordInstallChoices(*this, false);
    // The worker's handle is not kept: nobody waits for it.
    HANDLE hThread = CreateThread(NULL, 0, InstallThreadProc, this, 0, NULL);
    if (hThread != NULL) CloseHandle(hThread);
    else m_nInstallState = -1;  // no worker: the next tick reports the failure
    m_nTimerId = SetTimer(1, 200, NULL);
    return true;
}

void CDrovanDlg::StartUsbInstall() {
    bool b64Bit = Is64BitSystem();
    const CatalogueRow* pRow = ChosenRow(*this);
    CString strPort = GetUsbPortName();
    ShowProgressPage();
    m_printerInfo.SetPrinterName(pRow->pszPrinterName);
    m_printerInfo.SetInfFilePath(CatalogueInfFile(*pRow, b64Bit));
    m_printerInfo.SetPortName(strPort);
    RecordInstallChoices(*this, true);
    m_progress.StepIt();
    SetWindowPos(&CWnd::wndTopMost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    HANDLE hThread = CreateThread(NULL, 0, InstallThreadProc, this, 0, NULL);
    if (hThread != NULL) CloseHandle(hThread);
    else m_nInstallState = -1;
    m_nTimerId = SetTimer(1, 200, NULL);
}
