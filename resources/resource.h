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

// Cursors and icons
#define IDC_DELETEFLAG 115  // a flag dragged off the gradient is deleted on release
#define IDI_QUORLIB 135     // the library's dialogs

// Dialogs
#define IDD_RENAME 114         // " Rename": the title of a library dialog
#define IDC_RENAME_EDIT 1000   // the rename dialog's text
