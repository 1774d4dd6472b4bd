// Resource ids of the filter tests.
#pragma once

#define IDD_TEST_SETTINGS 100  // a filter's settings dialog: OK and Cancel
#define IDD_TEST_ABOUT 101     // a filter's about box: OK and Cancel
#define IDI_QUORLIB_ICON 135   // the library's icon (in the library module)
