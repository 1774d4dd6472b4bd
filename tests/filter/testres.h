// Resource ids of the filter tests.
#pragma once

#define IDD_TEST_SETTINGS 100  // a filter's settings dialog: OK and Cancel
#define IDD_TEST_ABOUT 101     // a filter's about box: OK and Cancel
#define IDI_QUORLIB_ICON 135   // the library's icon (in the library module)

// A filter dialog with previews, an update button and settings buttons.
#define IDD_TEST_PREVIEW 102
#define IDC_TEST_MAIN 1200     // the main preview (JUniversalWindow)
#define IDC_TEST_SECOND 1201   // a secondary preview (JUniversalWindow)
#define IDC_TEST_UPDATE 1202   // the update button (CustButton)
#define IDC_TEST_SAVE 1203     // settings buttons (push buttons)
#define IDC_TEST_LOAD 1204
#define IDC_TEST_SAVE2 1205
#define IDC_TEST_LOAD2 1206
