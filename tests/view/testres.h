// Resource ids of the view tests.
#pragma once

#define IDB_TEST_STRIP 700  // ten 9 x 9 cells, see draw_test_images.py

// A dialog with one control of each button-like kind.
#define IDD_BUTTONS 802  // beside the dialog tests' 800 and 801 (dialogres.h)
#define IDC_PUSH 1001
#define IDC_CUST 1002
#define IDC_CHECK 1003
#define IDC_CHECK_PEER 1004
#define IDC_BYPASS 1202  // the same id as the dialog tests' bypass box (dialogres.h)
#define IDC_COMBO 1006
#define IDC_COMBO_EMPTY 1007
#define IDC_RADIO_A 101
#define IDC_RADIO_B 102
#define IDC_RADIO_C 103

// A dialog for the small controls.
#define IDD_SMALL 810
#define IDC_LOCK 1101       // an auto check box
#define IDC_PICK 1102       // a push button
#define IDC_PICK_TEXT 1103  // a static text
#define IDC_RESET 1104      // a push button
#define IDC_IMAGE 1105      // a "JUniversalWindow" window
