// The installed-driver dialog: offers to delete installed printers of the chosen model
// before installing.
//
// Stand-in until the dialog and its delete worker are built: it shows nothing and
// answers Install, so the wizard installs beside the printers already there.
#pragma once

#include "platform/ui/afx.h"
#include "platform/win32.h"

class DriverInfoDlg {
public:
    DriverInfoDlg() : m_bChinese(false), m_nChoice(0) {}

    INT_PTR DoModal() {
        m_nChoice = 1;
        return IDOK;
    }

    bool m_bChinese;
    CString m_strCount;
    CString m_strDriverName;
    int m_nChoice;  // 0 none, 1 Install, 2 Cancel
};
