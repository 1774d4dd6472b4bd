// Resource ids of the gradient window tests.
#pragma once

#define IDD_GRADIENT 700     // a dialog with a gradient window and its label
#define IDC_GRADIENT 100     // the gradient window
#define IDC_GRAD_LABEL 101   // its label
#define IDR_THREE_FLAGS 701  // a layout of three flags: Flag #1, Flag #2 and Flag #7
