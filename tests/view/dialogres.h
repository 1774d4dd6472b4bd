// Dialog templates and control ids of the dialog tests (shared by the resource script and the
// tests).
#pragma once

#define IDD_TEST_DIALOG 800  // a modeless dialog with edits, a fault button, OK and Cancel
#define IDD_TEST_PAGE 801    // a tab page (child dialog) with a fault button
#define IDC_EDIT_FIRST 1101  // edits IDC_EDIT_FIRST .. IDC_EDIT_FIRST + TEST_EDIT_COUNT - 1
#define TEST_EDIT_COUNT 12
#define IDC_FAULT 1201       // a button whose control faults when clicked
#define IDC_BYPASS 1202      // a check box used as a bypass control
#define IDC_TEST_TAB 1203    // a tab control for pages
#define IDC_PAGE_FAULT 1301  // the page's faulting button
