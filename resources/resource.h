// Resource ids of the library module.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
