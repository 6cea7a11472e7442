// Dialog template 152: the closing picture. A borderless pop-up whose face is bitmap 154
// painted over the whole client area; its OK and Cancel buttons exist only so that Enter,
// Escape and the system's close command end it, and are never shown.
#include "res/dialog_template.h"
#include "res/resource.h"

using drovan::res::ControlKind;

DROVAN_DIALOG_TEMPLATE(g_dialog152) = {
    IDD_USEROPTION_DIALOG,
    WS_POPUP | WS_SYSMENU | DS_SETFONT | DS_FIXEDSYS,
    0,
    0, 0, 701, 411,
    nullptr,
    TEXT("MS Shell Dlg"), 8,
    {
        {IDOK, ControlKind::Button, BS_DEFPUSHBUTTON | WS_TABSTOP, TEXT("确定"), 205, 390, 50, 14, true},
        {IDCANCEL, ControlKind::Button, BS_PUSHBUTTON | WS_TABSTOP, TEXT("取消"), 644, 390, 50, 14, true},
    },
};
