// The installed-driver dialog: shown when printers of the chosen model are already
// installed, it offers to delete them (and their driver) or to install beside them.
#pragma once

#include "platform/ui/afx.h"
#include "platform/win32.h"
#include "res/resource.h"

class DriverInfoDlg : public CDialog {
    DECLARE_DYNAMIC(DriverInfoDlg)

public:
    explicit DriverInfoDlg(CWnd* pParent = NULL);

    enum { IDD = IDD_DRIVERINFO_DIALOG };

    CButton m_btnDelete;
    CButton m_btnInstall;
    CButton m_btnCancel;
    bool m_bChinese;  // copied from the wizard before each showing
    int m_nChoice;    // 0 none, 1 Install, 2 Cancel; kept from one showing to the next
    CString m_strCount;
    CString m_strDriverName;
    CString m_strMessage;

    // The delete worker: removes every printer of the model named in g_printerInfo, then
    // the model's driver. lpParameter is the completion event, signalled when it is done.
    // Exit code 0 when neither a printer of the model nor its driver is left, 1 otherwise.
    static DWORD WINAPI DeleteThreadProc(LPVOID lpParameter);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnBnClickedDelete();
    afx_msg void OnBnClickedInstall();
    afx_msg void OnBnClickedCancel();
    DECLARE_MESSAGE_MAP()

private:
    // Shows one of the dialog's texts in the message control, replacing what was there.
    void ShowMessage(const CString& strText);
    // The buttons as a finished deletion leaves them: Install only after a success,
    // Delete again only after a failure.
    void ShowOutcome(bool bDeleted, const CString& strDeleted, const CString& strFailed);
};
