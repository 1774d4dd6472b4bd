// Shared inside the host runtime by the custom controls: window procedures, the per-window state
// lookup, notifications and the count of interface objects.
#pragma once

#include "vcore.h"

namespace custctrl {

// Window procedures of the registered classes.
LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK SpinnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK SwatchProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// Each control keeps its state in a window property under its own name, so that a window of
// another class (or one subclassed by its owner) is never mistaken for a control.
extern const char kButtonProp[];
extern const char kEditProp[];
extern const char kSpinnerProp[];
extern const char kSwatchProp[];

template <class State>
State* StateOf(HWND hwnd, const char* prop) {
  return hwnd ? static_cast<State*>(GetPropA(hwnd, prop)) : nullptr;
}

// Answers WM_PAINT with draw(state, dc); WM_PRINTCLIENT calls draw directly.
template <class State>
void PaintWith(HWND hwnd, State* s, void (*draw)(State*, HDC)) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  draw(s, dc);
  EndPaint(hwnd, &ps);
}

// Sends msg to the control's parent with the control id in the low word of wParam, code in the
// high word and the control's window as lParam. A top-level control has nobody to tell.
LRESULT NotifyParent(HWND ctl, UINT msg, WORD code);

// The runtime's own module, owner of its internal window classes.
HINSTANCE HostInstance();

// Counts interface objects for GetLiveCustomControlCount.
void InterfaceCreated();
void InterfaceReleased();

// A control in the middle of a gesture, whose parent may hold an undo step open until it hears the
// gesture's end, watches for its destruction: when DestroyWindow begins on the control itself
// (alone) or on a window it sits in, going(control, alone) runs before any of them hears
// WM_DESTROY, so that the parent, still whole, can be told. A parent hearing from a child after
// its own WM_DESTROY may already have let go of its state. The watch ends with that call or with
// StopWatchingDestroy; controls and watches belong to the interface thread.
void WatchDestroy(HWND control, void (*going)(HWND control, bool alone));
void StopWatchingDestroy(HWND control);

// Text as a number: true when the whole text (spaces around it aside) is one finite number.
bool ParseNumber(const char* text, double* value);

// Between a spinner and its linked edit. The edit tells its spinner that the user committed a
// text (Enter or leaving the edit); the spinner sets the edit's key brackets and forgets an edit
// that goes away, and the edit forgets a spinner that goes away.
void SpinnerTakeEditText(HWND spinner);
void SpinnerEditGone(HWND spinner, HWND edit);
void EditLinkSpinner(HWND edit, HWND spinner);
void EditSetBrackets(HWND edit, BOOL on);
bool IsCustEdit(HWND hwnd);

// What the interface object's CommitPendingEdits finishes: the custom edit that has the focus
// commits typed text not yet taken, and a spinner that holds the mouse capture ends its gesture
// accepted. Each answers whether it had something to finish.
bool CommitFocusedEdit();
bool EndCapturedSpinnerGesture();

// Between a colour swatch and the colour picker. The picker reads and shows a swatch's colour
// without a notification (it sends its own), and hears when the swatch's colour is set from code
// or the swatch goes away.
COLORREF SwatchColor(HWND swatch);
void SwatchShowColor(HWND swatch, COLORREF color);
const char* SwatchTitle(HWND swatch);
// Makes swatch the one the picker edits; without an open picker, opens one when openNew is set.
void PickerEdit(HWND swatch, bool openNew);
// The picker, when it edits swatch, closes accepting the colour.
void PickerRelease(HWND swatch);
void PickerSwatchColorSet(HWND swatch);
void PickerSwatchGone(HWND swatch);

// The red key brackets inside a control's frame of width frame, around the client area r: the
// two sides with short ticks along the top and bottom.
void DrawKeyBrackets(HDC dc, const RECT& r, int frame);

}  // namespace custctrl

namespace custctrl {

// The part of an interface object that every control shares: the window it stands for, found
// alive by the control's state property. Counted for GetLiveCustomControlCount.
template <class Interface>
class ControlRef : public Interface {
 public:
  ControlRef(HWND h, const char* statePropName) : hwnd(h), prop(statePropName) { InterfaceCreated(); }
  virtual ~ControlRef() { InterfaceReleased(); }
  ControlRef(const ControlRef&) = delete;
  ControlRef& operator=(const ControlRef&) = delete;
  HWND GetHwnd() override { return hwnd; }
  BOOL IsEnabled() override { return Alive() && IsWindowEnabled(hwnd); }
  void Enable(BOOL onOff) override {
    if (Alive()) EnableWindow(hwnd, onOff);
  }
  void Disable() override { Enable(FALSE); }

 protected:
  bool Alive() const { return GetPropA(hwnd, prop) != nullptr; }
  // The control's window text, for the controls whose text is their window's.
  void ReadText(char* text, int ct) {
    if (!text || ct <= 0) return;
    text[0] = '\0';
    if (Alive()) GetWindowTextA(hwnd, text, ct);
  }
  void WriteText(const char* text) {
    if (Alive()) SetWindowTextA(hwnd, text ? text : "");
  }
  HWND hwnd;         // the control's window
  const char* prop;  // name of the control's state property
};

}  // namespace custctrl
