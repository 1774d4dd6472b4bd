// Window objects and the registry that connects windows and dialogs to them: the library's window
// class "JUniversalWindow" and its dialogs share one window procedure and one dialog procedure,
// which find the owning object in the window's user-data slot. Also the small Win32 helpers the
// controls and dialogs use: check boxes, 24-bit pixel rows, bitmaps and image lists from
// resources, owner and child lookup, message pumps and rollup panels.
#pragma once

#include "JExport.h"
#include "vantor.h"

#include <commctrl.h>

class JWinProc;
class JDlgProc;

// The window procedure of "JUniversalWindow": routes to the attached object, or DefWindowProc.
QUORAPI LRESULT CALLBACK UniWinProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The dialog procedure of the library's dialogs; the dialog object (never null) is the creation
// parameter of CreateDialogParam or DialogBoxParam. Answers FALSE without an object.
QUORAPI INT_PTR CALLBACK UniDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The base of every window object. A window of the class "JUniversalWindow" created with the
// object as creation parameter (or attached with SetWinProc) hands it every message from
// WM_CREATE up to and including WM_DESTROY. Not copyable: one object per window.
class QUORAPI JWinProc {
 public:
  // Registers the class "JUniversalWindow" on first use and answers its atom (0 when the
  // registration failed; the next call tries again).
  static unsigned short Register();

  JWinProc();  // registers the class; no window yet
  JWinProc(const JWinProc&) = delete;
  JWinProc& operator=(const JWinProc&) = delete;

  // Every message the window gets while the object is attached; the table's first slot.
  virtual LRESULT WinProc(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
  virtual ~JWinProc();  // leaves the window alone

  HWND GetHwnd() { return hwnd; }

 protected:
  HWND hwnd;  // null until the object is attached; kept after the window is destroyed
  friend struct JRegistryAccess;  // the routing attaches the handle
};

// ---- The registry: one user-data slot per window, shared by window and dialog objects ----
QUORAPI JWinProc* GetWinProc(HWND hwnd);  // the attached object, or null
QUORAPI JDlgProc* GetDlgProc(HWND hwnd);  // the attached object, or null
QUORAPI void SetWinProc(HWND hwnd, JWinProc* object);  // null detaches
QUORAPI void SetDlgProc(HWND hwnd, JDlgProc* object);  // null detaches
// Windows of this process whose slot holds an object at the moment (for leak checks).
QUORAPI int JAttachedCount();

// ---- Host time and message pumps ----
QUORAPI int GetTime();  // the host's current animation time, in ticks
// Lets the host process the pending messages; answers the host's result (0 once it quits).
QUORAPI int JPumpMessages();
// Dispatches the calling thread's pending WM_PAINT messages only; input stays queued. Answers 1.
QUORAPI int JPumpPaintMessages();

// ---- Drawing ----
// Draws width x height pixels, packed rows of red, green, blue with row 0 at the top, at (x, y).
// Nothing for null pixels.
QUORAPI void JBitBlt(HDC hdc, int x, int y, int width, int height, BMM_Color_24* pixels);

// ---- Check boxes (BM_SETCHECK / BM_GETCHECK) ----
// An id of -1 means there is no such control: nothing is set, and it reads as checked (1).
QUORAPI void SetCheck(HWND dlg, int id, int state);
QUORAPI int GetCheck(HWND dlg, int id);
QUORAPI void SetCheck(HWND button, int state);
QUORAPI int GetCheck(HWND button);

// ---- Resources ----
// A bitmap resource of hinst, found by LoadBitmap or as a bitmap file stored under the custom type
// "BMP"; the caller deletes it. Null when there is neither.
QUORAPI HBITMAP JCreateMappedBitmap(HINSTANCE hinst, int id);
// An image list cut from bitmap resource id: images of cx pixels (count becomes width / cx), or,
// with cx 0, count images (cx becomes width / count); cy becomes the height. Button-face pixels
// are transparent. The caller destroys it. Null on any failure.
QUORAPI HIMAGELIST JCreateImageList(HINSTANCE hinst, int id, int& count, int& cx, int& cy);

// ---- Windows ----
// The nearest ancestor-or-self that is not a child window (null for null).
QUORAPI HWND GetSafeOwner(HWND hwnd);
// The first descendant whose class name is className (case-sensitive), or null.
QUORAPI HWND FindChildByClass(HWND parent, const char* className);
// Opens (state non-zero) or closes panel index of a host rollup window.
QUORAPI void SetRollupPanel(HWND rollup, int index, int state);
