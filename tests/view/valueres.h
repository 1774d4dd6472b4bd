// Control ids of the value-control test dialogs, shared by the resource script and the tests.
#pragma once

#define IDD_VALUES 710
#define IDD_VALUE_PAGE 711

#define IDC_V_TEXT 1000
#define IDC_V_BYPASS 1002
#define IDC_V_SWATCH 1201
#define IDC_V_FEDIT 1301
#define IDC_V_IEDIT 1302
#define IDC_V_F3EDIT 1303  // x, y, z: 1303 to 1305
#define IDC_V_I3EDIT 1306  // x, y, z: 1306 to 1308
#define IDC_V_FSPIN 1401
#define IDC_V_ISPIN 1402
#define IDC_V_F3SPIN 1403  // x, y, z: 1403 to 1405
#define IDC_V_I3SPIN 1406  // x, y, z: 1406 to 1408
#define IDC_V_STEP 1409
#define IDC_V_TAB 1500

#define IDC_P_TEXT 1600
#define IDC_P_EDIT 1601
#define IDC_P_SPIN 1602
