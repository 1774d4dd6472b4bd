// Resource ids of the glow sample.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_GLOW 100          // the settings dialog
#define IDD_GLOW_ABOUT 101    // the about box
#define IDR_GLOW_GRADIENT 110 // the default gradient: deep red, orange, pale yellow

#define IDC_RADIUS_EDIT 1001
#define IDC_RADIUS_SPIN 1002
#define IDC_THRESHOLD_EDIT 1003
#define IDC_THRESHOLD_SPIN 1004
#define IDC_STRENGTH_EDIT 1005
#define IDC_STRENGTH_SPIN 1006
#define IDC_COLOR 1007
#define IDC_USE_GRADIENT 1008
#define IDC_GRADIENT 1009
#define IDC_PREVIEW 1010
#define IDC_ABOUT_TEXT 1011
#define IDC_PREVIEW_ON 1012      // the preview shown at all
#define IDC_PREVIEW_SCENE 1013   // the preview over the scene the host renders
#define IDC_PREVIEW_UPDATE 1014  // renders the scene again (a host custom button)
