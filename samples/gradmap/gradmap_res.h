// Resource ids of the gradient ramp sample.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_RAMP 100       // the parameter dialog
#define IDR_RAMP_LAYOUT 110  // the ramp's own default flags (also what the window's Reset restores)

#define IDC_GRADIENT 1001    // the gradient window; its flag markers hang below it
#define IDC_GRAD_LABEL 1002  // the active flag's colour and position
#define IDC_AXIS 1003        // along u, along v, or out from the centre
#define IDC_REPEAT_EDIT 1004
#define IDC_REPEAT_SPIN 1005
