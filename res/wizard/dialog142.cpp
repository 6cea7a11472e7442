// Dialog template 142: the installed-driver dialog. A captionless pop-up with no close box;
// its English texts are set at run time. No button is the default one, so Enter presses
// none of them by surprise.
#include "res/dialog_template.h"
#include "res/resource.h"

using drovan::res::ControlKind;

DROVAN_DIALOG_TEMPLATE(g_dialog142) = {
    IDD_DRIVERINFO_DIALOG,
    WS_POPUP | DS_MODALFRAME,
    0,
    50, 20, 261, 118,
    nullptr,
    TEXT("MS Shell Dlg"), 8,
    {
        {IDC_STATIC, ControlKind::Static, SS_BITMAP, nullptr, 7, 7, 33, 31, false, false, 0,
         IDB_DRIVER_FOUND_PICTURE},
        {IDC_DRIVERINFO_MESSAGE, ControlKind::Static, SS_LEFT, TEXT(""), 39, 40, 192, 38},
        {IDC_DRIVERINFO_DELETE, ControlKind::Button, BS_PUSHBUTTON | WS_TABSTOP, TEXT("删除"), 41, 92, 50, 14},
        {IDC_DRIVERINFO_INSTALL, ControlKind::Button, BS_PUSHBUTTON | WS_TABSTOP, TEXT("安装"), 103, 92, 50, 14},
        {IDC_DRIVERINFO_CANCEL, ControlKind::Button, BS_PUSHBUTTON | WS_TABSTOP, TEXT("取消"), 166, 92, 50, 14},
    },
};
