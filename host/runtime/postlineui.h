// The Postline's windows: the queue window and the event dialogs (inside the runtime only).
#pragma once

#include "vpost.h"

// The queue window of the scene's Postline: shown (made when needed) and answered.
HWND ShowPostlineWindow();
HWND PostlineWindow();  // null when not made
// The modal event dialogs over owner: the index added (or -1), and 1 when an edit was accepted.
int RunAddEventDialog(IPostline* queue, HWND owner);
int RunEditEventDialog(IPostline* queue, HWND owner, int event);
