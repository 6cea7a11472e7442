// IDs of the small test dialogs the framework's tests and the test application use.
#pragma once

enum TestIds {
    IDD_TEST_MAIN = 900,
    IDD_TEST_NESTED = 901,
    IDD_TEST_PICTURE = 902,
    IDB_TEST_PICTURE = 990,
    IDI_TEST_ICON = 991,

    IDC_RADIO_A = 1001, IDC_RADIO_B = 1002, IDC_RADIO_C = 1003, IDC_RADIO_D = 1004, IDC_RADIO_E = 1005,
    IDC_CHECK = 1010,
    IDC_SORTED = 1020, IDC_BAUD = 1021,
    IDC_PROGRESS = 1030,
    IDC_ADDRESS = 1040,
    IDC_EDIT = 1050,
    IDC_LABEL = 1060,
    IDC_DISABLED = 1070,
    IDC_START_TIMER = 1080,
    IDC_WORKER = 1090,
    IDC_NESTED = 1100,
    IDC_FINISH = 1110,
    IDC_THROW = 1120,
    IDC_FRAME = 1130,
};
