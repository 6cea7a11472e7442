// The application object: starts the common controls and GDI+, runs the wizard modally
// and ends the process when it closes.
#pragma once

#include "platform/win32.h"
#include "platform/ui/afx.h"

class CDrovanApp : public CWinApp {
public:
    CDrovanApp();

    BOOL InitInstance() override;

    ULONG_PTR m_gdiplusToken;

    DECLARE_MESSAGE_MAP()
};

extern CDrovanApp theApp;
