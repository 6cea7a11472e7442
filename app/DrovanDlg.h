// The wizard dialog (template 102): licence, model and port pages and the progress view
// of one installation, in Simplified Chinese or English.
#pragma once

#include <atomic>

#include "app/UserOptionDlg.h"
#include "driverinfo/DriverInfoDlg.h"
#include "engine/PrinterInfo.h"
#include "platform/ui/afx.h"
#include "platform/win32.h"
#include "res/resource.h"

class CDrovanDlg : public CDialog {
public:
    explicit CDrovanDlg(CWnd* pParent = NULL);

    enum { IDD = IDD_DROVAN_DIALOG };

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

public:
    // Start-up.
    void ApplyLanguageTexts();
    void SetSerialDefaults();
    void WriteLanguageMarker();
    void WriteMarkerFile(int nCode);
    int WideToAnsi(LPCWSTR pszWide, BYTE* pOut, int nOutBytes);

    // Pages.
    void ShowLicencePage();
    void ShowModelPage();
    void ShowPortPage();
    void ShowProgressPage();
    void OnPortPageNext();

    // Ports and devices.
    void FillPortList();
    bool FindUsbPrinter();
    CString GetUsbPortName();
    int CountInstalledPrinters(CString printerName);
    bool SetSerialPortSettings(int nPort, int nBaud, WCHAR chParity, int nDataBits, WCHAR chStop,
                               WCHAR chFlow);

    // Installation.
    bool StartInstall();
    void StartUsbInstall();
    static DWORD WINAPI InstallThreadProc(LPVOID pParam);

protected:
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnBnClickedBack();
    afx_msg void OnBnClickedNext();
    afx_msg void OnBnClickedAccept();
    afx_msg void OnCbnSelchangePort();
    afx_msg void OnBnClickedPageFrame();
    afx_msg void OnBnClickedModel();
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnBnClickedCancel();
    afx_msg void OnBnClickedAddPort();
    afx_msg void OnBnClickedBaudLabel();
    afx_msg void OnBnClickedModel4();
    afx_msg void OnBnClickedDataBitsLabel();
    DECLARE_MESSAGE_MAP()

public:
    HICON m_hIcon;
    CEdit m_editLicence;
    CButton m_chkAccept;
    CButton m_btnBack;
    CButton m_btnNext;
    int m_nPage;
    // Written once by the installation worker, read and reset by the timer handler.
    std::atomic<int> m_nInstallState;
    UINT_PTR m_nTimerId;
    CButton m_chkDefaultPrinter;
    CButton m_rdoPaper76;
    CButton m_rdoPaper57;
    CButton m_rdoModel1;
    CButton m_rdoModel2;
    CButton m_rdoModel3;
    CButton m_rdoModel4;
    CStatic m_stcPageFrame;
    CStatic m_stcModelNotesFrame;
    CStatic m_stcModelNote1;
    CStatic m_stcModelNote2;
    CStatic m_stcModelNote3;
    CStatic m_stcUsbHint;
    CStatic m_stcPortLabel;
    CComboBox m_cbPort;
    CStatic m_stcSerialFrame;
    CStatic m_stcBaudLabel;
    CStatic m_stcParityLabel;
    CStatic m_stcDataBitsLabel;
    CStatic m_stcStopBitsLabel;
    CComboBox m_cbBaud;
    CComboBox m_cbParity;
    CComboBox m_cbDataBits;
    CComboBox m_cbStopBits;
    CStatic m_stcFlowLabel;
    CComboBox m_cbFlow;
    CPrinterInfo m_printerInfo;
    DriverInfoDlg m_dlgDriverInfo;
    CString m_strDriverName;
    int m_nInstalledCount;
    bool m_bUsbInstallStarted;
    CEdit m_editUnused;
    CComboBox m_cbMakerModels;
    CStatic m_stcModelFrame;
    CProgressCtrl m_progress;
    CStatic m_stcProgressText;
    bool m_bChinese;
    CButton m_btnAddPort;
    CString m_strUsbDevicePath;
    CUserOptionDlg m_dlgUserOption;
};
