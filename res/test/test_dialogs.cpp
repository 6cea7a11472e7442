// Small test dialogs: every control kind, radio groups, a sorted and an unsorted list, a
// nested dialog and a borderless picture dialog.
#include "res/test/test_dialogs.h"

#include "res/dialog_template.h"

using drovan::res::ControlKind;

DROVAN_DIALOG_TEMPLATE(g_testMain) = {
    .id = IDD_TEST_MAIN,
    .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    .x = 0, .y = 0, .cx = 300, .cy = 200,
    .caption = TEXT("Test dialog"),
    .fontFace = TEXT("MS Shell Dlg"),
    .fontPoints = 8,
    .controls = {
        {.id = IDC_RADIO_A, .kind = ControlKind::Button, .style = BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, .text = TEXT("A"), .x = 10, .y = 10, .cx = 40, .cy = 10},
        {.id = IDC_RADIO_B, .kind = ControlKind::Button, .style = BS_AUTORADIOBUTTON, .text = TEXT("B"), .x = 10, .y = 22, .cx = 40, .cy = 10},
        {.id = IDC_RADIO_C, .kind = ControlKind::Button, .style = BS_AUTORADIOBUTTON, .text = TEXT("C"), .x = 10, .y = 34, .cx = 40, .cy = 10, .hidden = true},
        {.id = IDC_RADIO_D, .kind = ControlKind::Button, .style = BS_AUTORADIOBUTTON | WS_GROUP, .text = TEXT("D"), .x = 60, .y = 10, .cx = 40, .cy = 10},
        {.id = IDC_RADIO_E, .kind = ControlKind::Button, .style = BS_AUTORADIOBUTTON, .text = TEXT("E"), .x = 60, .y = 22, .cx = 40, .cy = 10},
        {.id = IDC_CHECK, .kind = ControlKind::Button, .style = BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, .text = TEXT("Check"), .x = 110, .y = 10, .cx = 60, .cy = 10},
        {.id = IDC_SORTED, .kind = ControlKind::ComboBox, .style = CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP, .x = 10, .y = 50, .cx = 90, .cy = 100},
        {.id = IDC_BAUD, .kind = ControlKind::ComboBox, .style = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, .x = 110, .y = 50, .cx = 90, .cy = 100,
         .items = {TEXT("1200"), TEXT("2400"), TEXT("9600")}},
        {.id = IDC_PROGRESS, .kind = ControlKind::Progress, .style = WS_BORDER, .x = 10, .y = 70, .cx = 150, .cy = 12},
        {.id = IDC_ADDRESS, .kind = ControlKind::IpAddress, .style = WS_TABSTOP, .x = 10, .y = 90, .cx = 100, .cy = 14},
        {.id = IDC_EDIT, .kind = ControlKind::Edit, .style = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, .x = 120, .y = 90, .cx = 150, .cy = 14},
        {.id = IDC_LABEL, .kind = ControlKind::Static, .style = SS_LEFT, .text = TEXT("Label"), .x = 10, .y = 110, .cx = 200, .cy = 10},
        {.id = IDC_DISABLED, .kind = ControlKind::Button, .style = BS_PUSHBUTTON, .text = TEXT("Disabled"), .x = 10, .y = 125, .cx = 50, .cy = 14, .disabled = true},
        {.id = IDC_START_TIMER, .kind = ControlKind::Button, .style = BS_PUSHBUTTON, .text = TEXT("Timer"), .x = 65, .y = 125, .cx = 50, .cy = 14},
        {.id = IDC_WORKER, .kind = ControlKind::Button, .style = BS_PUSHBUTTON, .text = TEXT("Worker"), .x = 120, .y = 125, .cx = 50, .cy = 14},
        {.id = IDC_NESTED, .kind = ControlKind::Button, .style = BS_PUSHBUTTON, .text = TEXT("Nested"), .x = 175, .y = 125, .cx = 50, .cy = 14},
        {.id = IDC_FINISH, .kind = ControlKind::Button, .style = BS_PUSHBUTTON, .text = TEXT("Finish"), .x = 230, .y = 125, .cx = 50, .cy = 14},
        {.id = IDC_THROW, .kind = ControlKind::Button, .style = BS_PUSHBUTTON, .text = TEXT("Open"), .x = 10, .y = 145, .cx = 50, .cy = 14},
        {.id = IDC_FRAME, .kind = ControlKind::Button, .style = BS_GROUPBOX, .text = TEXT("Frame"), .x = 200, .y = 5, .cx = 90, .cy = 40},
        {.id = IDOK, .kind = ControlKind::Button, .style = BS_DEFPUSHBUTTON | WS_TABSTOP, .text = TEXT("OK"), .x = 180, .y = 180, .cx = 50, .cy = 14},
        {.id = IDCANCEL, .kind = ControlKind::Button, .style = BS_PUSHBUTTON | WS_TABSTOP, .text = TEXT("Cancel"), .x = 240, .y = 180, .cx = 50, .cy = 14},
    },
};

DROVAN_DIALOG_TEMPLATE(g_testNested) = {
    .id = IDD_TEST_NESTED,
    .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    .x = 20, .y = 20, .cx = 120, .cy = 60,
    .caption = TEXT("Nested"),
    .fontFace = TEXT("MS Shell Dlg"),
    .fontPoints = 8,
    .controls = {
        {.id = IDOK, .kind = ControlKind::Button, .style = BS_DEFPUSHBUTTON | WS_TABSTOP, .text = TEXT("OK"), .x = 10, .y = 40, .cx = 45, .cy = 14},
        {.id = IDCANCEL, .kind = ControlKind::Button, .style = BS_PUSHBUTTON | WS_TABSTOP, .text = TEXT("Cancel"), .x = 65, .y = 40, .cx = 45, .cy = 14},
    },
};

DROVAN_DIALOG_TEMPLATE(g_testPicture) = {
    .id = IDD_TEST_PICTURE,
    .style = WS_POPUP | WS_SYSMENU | DS_SETFONT,
    .x = 0, .y = 0, .cx = 200, .cy = 100,
    .fontFace = TEXT("MS Shell Dlg"),
    .fontPoints = 8,
    .controls = {
        {.id = IDOK, .kind = ControlKind::Button, .style = BS_DEFPUSHBUTTON | WS_TABSTOP, .text = TEXT("OK"), .x = 10, .y = 80, .cx = 50, .cy = 14, .hidden = true},
        {.id = IDCANCEL, .kind = ControlKind::Button, .style = BS_PUSHBUTTON | WS_TABSTOP, .text = TEXT("Cancel"), .x = 140, .y = 80, .cx = 50, .cy = 14, .hidden = true},
    },
};

// A 40 x 20, 24-bit picture: the file and information headers are what the framework reads.
static const BYTE kTestBmp[] = {
    'B', 'M', 54, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
    40, 0, 0, 0, 40, 0, 0, 0, 20, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};
DROVAN_BITMAP_RESOURCE(g_testBitmap) = {.id = IDB_TEST_PICTURE, .bmp = kTestBmp, .size = sizeof kTestBmp};
DROVAN_ICON_RESOURCE(g_testIcon) = {.id = IDI_TEST_ICON};
