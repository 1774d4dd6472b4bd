// Resource ids of the tiles sample.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_TILES 100         // the parameter dialog
#define IDD_TILES_PAGE_TILES 101
#define IDD_TILES_PAGE_MORTAR 102
#define IDD_TILES_PAGE_OUTPUT 103
#define IDB_BAKE 110          // the Bake button's images: normal, pressed, disabled, both
#define IDB_ANTIALIAS 111     // the antialiasing grids 2 x 2, 3 x 3, 4 x 4, and disabled
#define IDB_BONDS 112         // pictures of the three bonds

// The dialog.
#define IDC_BOND_STACK 1001
#define IDC_BOND_RUNNING 1002
#define IDC_BOND_CUSTOM 1003
#define IDC_BOND_SHOW 1004    // the bond's bypass: shown in the host's track editor
#define IDC_BEVEL 1005
#define IDC_BEVEL_SHOW 1006   // the bevel flag's bypass, a plain check box
#define IDC_BAKE_SIZE 1007
#define IDC_ANTIALIAS 1008
#define IDC_TABS 1009
#define IDC_BAKE 1010

// The Tiles page.
#define IDC_ACROSS_EDIT 1101
#define IDC_ACROSS_SPIN 1102
#define IDC_DOWN_EDIT 1103
#define IDC_DOWN_SPIN 1104
#define IDC_TILE_COLOR 1105
#define IDC_VARIATION_EDIT 1106  // red, green and blue: 1106, 1108, 1110
#define IDC_VARIATION_SPIN 1107  // 1107, 1109, 1111
#define IDC_BOND_PICTURE 1112

// The Mortar page.
#define IDC_JOINT_U_EDIT 1201
#define IDC_JOINT_U_SPIN 1202
#define IDC_JOINT_V_EDIT 1203
#define IDC_JOINT_V_SPIN 1204
#define IDC_JOINT_LOCK 1205
#define IDC_MORTAR_COLOR 1206
#define IDC_OFFSET_EDIT 1207     // u, v and stagger: 1207, 1209, 1211
#define IDC_OFFSET_SPIN 1208     // 1208, 1210, 1212
#define IDC_OFFSET_RESET 1213

// The Output page.
#define IDC_BAKE_FILE 1301
#define IDC_PICK_OBJECTS 1302
#define IDC_OBJECTS_TEXT 1303
