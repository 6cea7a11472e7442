// The closing picture dialog shown after a successful installation: a borderless pop-up
// whose whole face is one picture, with two painted buttons that act on a click.
#pragma once

#include "platform/ui/afx.h"
#include "platform/win32.h"
#include "res/resource.h"

class CUserOptionDlg : public CDialog {
    DECLARE_DYNAMIC(CUserOptionDlg)

public:
    explicit CUserOptionDlg(CWnd* pParent = NULL);

    enum { IDD = IDD_USEROPTION_DIALOG };

    // What a click at a point of the client area lands on. The painted buttons are
    // rectangles of the picture, and the picture is stretched over the client area, so the
    // point is taken back through that stretch first: at the picture's own size nothing
    // changes, at any other (another font, another DPI) the click follows the picture.
    enum EHotArea { HOT_NONE, HOT_WEB_PAGE, HOT_CLOSE };
    static EHotArea HotAreaAt(CPoint point, CSize sizeClient, CSize sizePicture);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnPaint();
    DECLARE_MESSAGE_MAP()
};
