// Dialog template 151: Add Port. Its texts are shown in both languages.
#include "res/dialog_template.h"
#include "res/resource.h"

using drovan::res::ControlKind;

DROVAN_DIALOG_TEMPLATE(g_dialog151) = {
    IDD_ADDPORT_DIALOG,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
    0,
    0, 0, 236, 119,
    TEXT("添加端口"),
    TEXT("MS Shell Dlg"), 8,
    {
        {IDC_ADDPORT_SERIAL_LIST, ControlKind::ComboBox, CBS_DROPDOWNLIST | WS_VSCROLL, nullptr, 105, 27, 100, 87},
        {IDC_ADDPORT_ADDRESS, ControlKind::IpAddress, 0, nullptr, 105, 70, 100, 14},
        {IDOK, ControlKind::Button, BS_DEFPUSHBUTTON, TEXT("确定"), 46, 99, 50, 14},
        {IDCANCEL, ControlKind::Button, BS_PUSHBUTTON, TEXT("取消"), 139, 99, 50, 14},
        {IDC_ADDPORT_SERIAL_FRAME, ControlKind::Button, BS_GROUPBOX, TEXT(""), 19, 10, 198, 36},
        {IDC_ADDPORT_NETWORK_FRAME, ControlKind::Button, BS_GROUPBOX, TEXT(""), 19, 53, 198, 36},
        {IDC_ADDPORT_SERIAL_LABEL, ControlKind::Static, SS_LEFT, TEXT("串口名称："), 53, 29, 41, 8},
        {IDC_ADDPORT_ADDRESS_LABEL, ControlKind::Static, SS_LEFT, TEXT("IP地址："), 62, 73, 32, 8},
        {IDC_ADDPORT_SERIAL, ControlKind::Button, BS_AUTORADIOBUTTON | WS_GROUP, TEXT("串口"), 26, 10, 32, 10},
        {IDC_ADDPORT_ETHERNET, ControlKind::Button, BS_AUTORADIOBUTTON, TEXT("以太网接口"), 26, 53, 56, 10},
    },
};
