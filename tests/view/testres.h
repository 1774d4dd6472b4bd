// Resource ids of the view tests.
#pragma once

#define IDB_TEST_STRIP 700  // ten 9 x 9 cells, see draw_test_images.py

// A dialog with one control of each button-like kind.
#define IDD_BUTTONS 800
#define IDC_PUSH 1001
#define IDC_CUST 1002
#define IDC_CHECK 1003
#define IDC_CHECK_PEER 1004
#define IDC_BYPASS 1005
#define IDC_COMBO 1006
#define IDC_COMBO_EMPTY 1007
#define IDC_RADIO_A 101
#define IDC_RADIO_B 102
#define IDC_RADIO_C 103
