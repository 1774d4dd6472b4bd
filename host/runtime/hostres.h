// Resource ids of the host runtime's own dialogs.
#pragma once

#include "vselids.h"

#define IDD_HITBYNAME 200
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
