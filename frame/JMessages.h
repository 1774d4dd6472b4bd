// Window messages of the progress protocol: a long computation reports its progress to a window
// and asks it whether to stop. Progress dialogs and image view windows answer them.
#pragma once

#include <windows.h>

#define JWM_PROGRESS (WM_USER + 32)    // wParam: units done; lParam: units in total
#define JWM_QUERYABORT (WM_USER + 33)  // lParam: int* that receives 0 (go on) or -1 (stop)
#define JWM_SETSTATUS (WM_USER + 34)   // lParam: const char* status text
