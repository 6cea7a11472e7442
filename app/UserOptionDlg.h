// The closing picture dialog shown after a successful installation.
//
// Stand-in until the picture dialog is built: it shows nothing and closes at once.
#pragma once

#include "platform/ui/afx.h"
#include "platform/win32.h"

class CUserOptionDlg {
public:
    INT_PTR DoModal() { return IDOK; }
};
