// Resource ids of the library module.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Bitmaps
#define IDB_TIMEBAR 105  // the time toolbar: previous, play, stop, next, unlock, lock (16 x 15)
#define IDB_ALPHA 106    // the alpha channel fly-off: eight 16 x 15 images
#define IDB_TOOLBAR 107  // the filter toolbar: eight 16 x 15 images
#define IDB_BYPASS 117   // the bypass button: shown, hidden, disabled (9 x 9)
#define IDB_INPUT 118    // image input options: out, in (16 x 15)
#define IDB_FIELDS 119   // fields and aspect: out, in (16 x 15)

// Dialogs and their controls
#define IDD_PROGRESS 104          // " Progress Dialog": status line, progress bar, Cancel
#define IDC_PROGRESS_BAR 1001     // msctls_progress32
#define IDC_PROGRESS_STATUS 1002  // the status line

// Cursors and icons
#define IDC_DELETEFLAG 115  // a flag dragged off the gradient is deleted on release
#define IDI_QUORLIB 135     // the library's dialogs

// Dialogs
#define IDD_RENAME 114         // " Rename": the title of a library dialog
#define IDC_RENAME_EDIT 1000   // the rename dialog's text

// The flag properties dialog (" Flag Properties") of the gradient's flag markers
#define IDD_FLAGPROPS 1017
#define IDC_FLAG_NAME 1000         // edit: the flag's name
#define IDC_FLAG_POS_BYPASS 1002   // bypass buttons of the position, second position and colour
#define IDC_FLAG_POS2_BYPASS 1003
#define IDC_FLAG_COLOR_BYPASS 1004
#define IDC_FLAG_POS2_LABEL 1005   // "Position Y"
#define IDC_FLAG_INTERP_LABEL 1007 // "Interpolation"
#define IDC_FLAG_INTERP 1029       // combo box of the interpolation types
#define IDC_FLAG_TEXTURE_LABEL 1030
#define IDC_FLAG_COLOR_LABEL 1031
#define IDC_FLAG_POS_LABEL 1032    // "Position X", "Position" while the second position is hidden
#define IDC_FLAG_TEXTURE 1034      // custom button: the flag's texture
#define IDC_FLAG_COLOR 1201        // colour swatch
#define IDC_FLAG_POS_EDIT 1303
#define IDC_FLAG_POS2_EDIT 1304
#define IDC_FLAG_POS_SPIN 1403
#define IDC_FLAG_POS2_SPIN 1404
#define IDC_FLAG_STEP 1405         // spinner that steps to the next or previous flag

// The image file selection: the extended open-file dialog (a system file dialog template: its
// standard controls keep the system's ids) and its gamma and fields-and-aspect dialogs.
#define IDD_SELECTFILE 1016        // " Open"
#define IDC_SELECT_ALPHA 1025      // custom button: alpha channel source fly-off
#define IDC_SELECT_INPUT 1026      // custom button: the host's input options
#define IDC_SELECT_FIELDS 1027     // custom button: fields and aspect
#define IDC_SELECT_VIEW 1017       // "View..."
#define IDC_SELECT_SETUP 1031      // "Setup..." (always disabled)
#define IDC_SELECT_DEVICES 1032    // "Devices..."
#define IDC_SELECT_INFO 1033       // "Info..."
#define IDC_SELECT_GAMMA 1039      // "Gamma..."
#define IDD_INPUTGAMMA 125         // "  Input Gamma Settings "
#define IDC_GAMMA_OWN 1008         // radio: use image's own gamma
#define IDC_GAMMA_DEFAULT 1009     // radio: use system default gamma
#define IDC_GAMMA_OVERRIDE 1010    // radio: override
#define IDC_GAMMA_EDIT 1011
#define IDC_GAMMA_SPIN 1012
#define IDD_FIELDSASPECT 126       // " Image Input Options"
#define IDC_FA_PIXEL_EDIT 1013
#define IDC_FA_PIXEL_SPIN 1014
#define IDC_FA_FIELDS_NONE 1015
#define IDC_FA_FIELDS_EVEN 1016
#define IDC_FA_FIELDS_ODD 1017
#define IDC_FA_FIELDS_SYSTEM 1018
#define IDC_FA_DEINT_NO 1019
#define IDC_FA_DEINT_YES 1020
#define IDC_FA_ASPECT_FILE 1021
#define IDC_FA_IMAGE_EDIT 1022
#define IDC_FA_ASPECT_OVERRIDE 1023
#define IDC_FA_IMAGE_SPIN 1024

// The filter toolbar's preview setup dialog
#define IDD_PREVIEW_SETUP 103      // " Preview Setup": size, pixel aspect and what the host renders
#define IDC_SETUP_CLOSE 6          // "Close": keeps the settings without a preview
#define IDC_SETUP_120X90 1036      // 1036 to 1041: the size buttons
#define IDC_SETUP_160X120 1037
#define IDC_SETUP_240X180 1038
#define IDC_SETUP_320X240 1039
#define IDC_SETUP_640X480 1040
#define IDC_SETUP_800X600 1041
#define IDC_SETUP_ASPECT_EDIT 1103
#define IDC_SETUP_UPTO_FILTER 1132  // "Up to the filter only"
#define IDC_SETUP_WHOLE_QUEUE 1133  // "The whole queue"
#define IDC_SETUP_RATIO 1137        // the image aspect ratio
#define IDC_SETUP_WIDTH_EDIT 1303
#define IDC_SETUP_HEIGHT_EDIT 1304
#define IDC_SETUP_WIDTH_SPIN 1403
#define IDC_SETUP_HEIGHT_SPIN 1404
#define IDC_SETUP_ASPECT_SPIN 1405
