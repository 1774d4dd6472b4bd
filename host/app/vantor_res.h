// Resource ids of the host application.
#pragma once

#define IDD_CONTROLS 100
#define IDC_RENDER 1001
#define IDC_LOCK 1002
#define IDC_SHAPE 1003
#define IDC_NAME 1004
#define IDC_OPACITY_EDIT 1005
#define IDC_OPACITY_SPIN 1006
#define IDC_SAMPLES_EDIT 1007
#define IDC_SAMPLES_SPIN 1008
#define IDC_TINT 1009
#define IDC_PREVIEW 1010
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
