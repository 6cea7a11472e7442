// The Add Port dialog (template 151): a serial port name of the list KLCOM1: to
// KLCOM256:, or a network printer's IP address.
#pragma once

#include "platform/ui/afx.h"
#include "platform/win32.h"
#include "res/resource.h"

class CAddPortDlg : public CDialog {
    DECLARE_DYNAMIC(CAddPortDlg)

public:
    explicit CAddPortDlg(CWnd* pParent = NULL);
    ~CAddPortDlg() override;

    enum { IDD = IDD_ADDPORT_DIALOG };

    int m_nPortType;  // 0 serial, 1 network
    WCHAR m_szNewPortName[200];
    CComboBox m_cbSerialPort;
    CIPAddressCtrl m_ipAddress;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    afx_msg void OnBnClickedSerial();
    afx_msg void OnBnClickedEthernet();
    afx_msg void OnBnClickedOk();
    DECLARE_MESSAGE_MAP()
};
