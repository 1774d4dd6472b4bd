// The library's entry to the system's open and save file dialogs.
#pragma once

#include "JExport.h"

#include <windows.h>

// Asks for a file name. path (room for 260 characters) gives the initial folder and name and
// receives the chosen full name; fileTitle (optional, 260) receives the name without folder;
// filter is a system filter list; defExt is appended when the user types no extension; open is
// non-zero for an open dialog. 1 when a file was chosen, 0 when cancelled (path unchanged).
QUORAPI int GetOFN(const char* title, HWND owner, char* path, char* fileTitle, const char* filter,
                   const char* defExt, int open);
