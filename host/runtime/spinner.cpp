// "SpinnerControl": two arrow halves that change a number by clicking and dragging, shown in a
// linked custom edit where it can also be typed. The parent hears of presses, changes and the
// end of each gesture, so that it can hold an undo step open for the length of a drag.
#include "custctrl.h"

#include <windowsx.h>

#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace custctrl {

namespace {

constexpr float kDefaultScale = 0.1f;
constexpr double kDefaultLow = 0.0, kDefaultHigh = 100.0;
constexpr int kFloatDigits = 3;  // digits after the point in a float spinner's edit

// What the left mouse button is doing to the spinner.
enum class Gesture {
  Idle,       // nothing
  Pressed,    // pressed on an arrow, not moved yet: a release steps once
  Dragging,   // moved while pressed: the value follows the pointer
  Cancelled,  // a right click cancelled the drag; waiting for the left button to come up
};

// One spinner.
struct SpinnerState {
  HWND hwnd;             // the spinner window
  EditSpinnerType type;  // int or float: how values are rounded, stepped and shown
  double value;          // current value: a float spinner holds floats, an int spinner integers
  double low, high;      // limits, low <= high
  float scale;           // change per pixel of drag and per click
  double resetValue;     // what a right click sets, clamped when used
  HWND edit;             // the edit that shows the value (a custom edit, linked both ways), or null
  BOOL keyBrackets;      // key brackets are shown around the edit
  Gesture gesture;       // the left button's gesture
  int arrow;             // the arrow pressed: +1 upper, -1 lower, 0 none
  int pressY;            // pointer y at the press, client coordinates
  double dragStart;      // the value at the press, restored when the drag is cancelled
  // A drag's values count from this value at pointer y baseY: the press, or where the program
  // last set the value during the drag (a set value holds, and the drag goes on from it).
  double dragBase;
  int baseY;
  int lastY;  // pointer y of the drag's latest move
};

SpinnerState* SpinnerOf(HWND hwnd) { return StateOf<SpinnerState>(hwnd, kSpinnerProp); }

double Clamp(const SpinnerState* s, double v) { return v < s->low ? s->low : v > s->high ? s->high : v; }

// v as this spinner holds values: rounded to a whole number or to a float, then clamped.
double Normalise(const SpinnerState* s, double v) {
  if (s->type == EDITTYPE_INT) {
    v = v <= (double)LLONG_MIN ? (double)LLONG_MIN : v >= (double)LLONG_MAX ? (double)LLONG_MAX : (double)llround(v);
    return Clamp(s, v);
  }
  return (double)(float)Clamp(s, (double)(float)v);
}

// The edit shows the current value.
void Show(const SpinnerState* s) {
  if (!s->edit || !IsWindow(s->edit)) return;
  char buf[64];
  if (s->type == EDITTYPE_INT)
    snprintf(buf, sizeof buf, "%.0f", s->value);
  else
    snprintf(buf, sizeof buf, "%.*f", kFloatDigits, s->value);
  SetWindowTextA(s->edit, buf);
}

// Sets v (normalised); true when the value changed.
bool Change(SpinnerState* s, double v) {
  v = Normalise(s, v);
  if (v == s->value) return false;
  s->value = v;
  Show(s);
  return true;
}

// The value a drag dy pixels upwards from its base gives.
double DragValue(const SpinnerState* s, int dy) {
  if (s->type == EDITTYPE_INT) return s->dragBase + (double)llround((double)dy * s->scale);
  return (double)((float)s->dragBase + (float)dy * s->scale);
}

// One click's step towards the pressed arrow: the scale, at least 1 for an int spinner.
double StepValue(const SpinnerState* s) {
  if (s->type == EDITTYPE_INT) {
    long long step = llround(fabs((double)s->scale));
    return s->value + s->arrow * (double)(step < 1 ? 1 : step);
  }
  return (double)((float)s->value + (float)s->arrow * s->scale);
}

void Invalidate(SpinnerState* s) { InvalidateRect(s->hwnd, nullptr, TRUE); }

// Ends the gesture before capture goes, so that losing it is not taken for a cancel.
void EndGesture(SpinnerState* s) {
  StopWatchingDestroy(s->hwnd);
  s->gesture = Gesture::Idle;
  s->arrow = 0;
  Invalidate(s);
  if (GetCapture() == s->hwnd) ReleaseCapture();
}

// The value goes back to where the drag began and the parent hears that the gesture was cancelled.
void CancelDrag(SpinnerState* s, Gesture next) {
  HWND self = s->hwnd;
  StopWatchingDestroy(self);
  s->value = s->dragStart;
  Show(s);
  s->gesture = next;
  s->arrow = 0;
  Invalidate(s);
  NotifyParent(self, CC_SPINNER_BUTTONUP, 0);
}

// DestroyWindow begins on the spinner or a window it sits in while a press or drag goes on: the
// parent, still whole, hears the gesture's end and can close the undo step it holds for it. A
// spinner that goes alone cancels the drag (the parent stays and shows the value it had); a window
// that closes around it finishes the drag accepted, as committing pending edits does on closing.
void GestureGoing(HWND self, bool alone) {
  SpinnerState* s = SpinnerOf(self);
  if (!s || (s->gesture != Gesture::Pressed && s->gesture != Gesture::Dragging)) return;
  if (alone) {
    CancelDrag(s, Gesture::Idle);
    return;
  }
  EndGesture(s);
  NotifyParent(self, CC_SPINNER_BUTTONUP, 1);
}

// Each handler may see the control destroyed by the parent it notifies, so it looks the state up
// again (or touches it no more) after every notification.
void OnLeftDown(SpinnerState* s, int y) {
  if (s->gesture != Gesture::Idle || !IsWindowEnabled(s->hwnd)) return;
  RECT r;
  GetClientRect(s->hwnd, &r);
  s->arrow = y < r.bottom / 2 ? 1 : -1;
  s->gesture = Gesture::Pressed;
  s->pressY = s->baseY = s->lastY = y;
  s->dragStart = s->dragBase = s->value;
  SetCapture(s->hwnd);
  Invalidate(s);
  WatchDestroy(s->hwnd, GestureGoing);
  NotifyParent(s->hwnd, CC_SPINNER_BUTTONDOWN, 0);
}

void OnMove(SpinnerState* s, int y) {
  if (s->gesture != Gesture::Pressed && s->gesture != Gesture::Dragging) return;
  if (s->gesture == Gesture::Pressed && y == s->pressY) return;
  s->gesture = Gesture::Dragging;
  s->lastY = y;
  if (Change(s, DragValue(s, s->baseY - y))) NotifyParent(s->hwnd, CC_SPINNER_CHANGE, 1);
}

void OnLeftUp(SpinnerState* s) {
  HWND self = s->hwnd;
  Gesture g = s->gesture;
  if (g == Gesture::Cancelled) EndGesture(s);
  if (g != Gesture::Pressed && g != Gesture::Dragging) return;
  if (g == Gesture::Pressed && Change(s, StepValue(s))) {
    NotifyParent(self, CC_SPINNER_CHANGE, 1);
    if (!(s = SpinnerOf(self))) return;
  }
  EndGesture(s);
  NotifyParent(self, CC_SPINNER_BUTTONUP, 1);
}

void OnRightDown(SpinnerState* s) {
  HWND self = s->hwnd;
  if (s->gesture == Gesture::Pressed || s->gesture == Gesture::Dragging) {
    CancelDrag(s, Gesture::Cancelled);  // capture stays until the left button comes up
    return;
  }
  if (s->gesture != Gesture::Idle || !IsWindowEnabled(self)) return;
  // A reset is a gesture of its own: pressed, changed, accepted.
  NotifyParent(self, CC_SPINNER_BUTTONDOWN, 0);
  if (!(s = SpinnerOf(self))) return;
  double v = Normalise(s, s->resetValue);
  s->value = v;
  Show(s);
  NotifyParent(self, CC_SPINNER_CHANGE, 0);
  if (SpinnerOf(self)) NotifyParent(self, CC_SPINNER_BUTTONUP, 1);
}

// Arrow halves: raised, or sunken while pressed, with a filled triangle. Drawn as polygons so
// that no symbol font is needed.
void Draw(SpinnerState* s, HDC dc) {
  RECT r;
  GetClientRect(s->hwnd, &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  int half = r.bottom / 2;
  COLORREF ink = GetSysColor(IsWindowEnabled(s->hwnd) ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
  HBRUSH brush = CreateSolidBrush(ink);
  HPEN pen = CreatePen(PS_SOLID, 1, ink);
  HGDIOBJ oldBrush = SelectObject(dc, brush), oldPen = SelectObject(dc, pen);
  for (int arrow : {1, -1}) {
    RECT part = {0, arrow > 0 ? 0 : half, r.right, arrow > 0 ? half : r.bottom};
    bool in = s->arrow == arrow && s->gesture != Gesture::Idle;
    DrawEdge(dc, &part, in ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    int cx = (part.left + part.right) / 2 + (in ? 1 : 0);
    int cy = (part.top + part.bottom) / 2 + (in ? 1 : 0);
    int size = (part.bottom - part.top) / 4;
    int across = (part.right - part.left) / 4;
    if (across < size) size = across;
    if (size < 1) size = 1;
    POINT tri[3];
    if (arrow > 0)
      tri[0] = {cx, cy - size}, tri[1] = {cx + size, cy + size / 2}, tri[2] = {cx - size, cy + size / 2};
    else
      tri[0] = {cx, cy + size}, tri[1] = {cx - size, cy - size / 2}, tri[2] = {cx + size, cy - size / 2};
    Polygon(dc, tri, 3);
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(brush);
  DeleteObject(pen);
}

// Unlinks the current edit (if any), then links edit.
void Link(SpinnerState* s, HWND edit) {
  HWND old = s->edit;
  if (old && old != edit) {
    EditSetBrackets(old, FALSE);
    EditLinkSpinner(old, nullptr);  // tells this spinner the edit is gone
  }
  s->edit = edit;
  if (edit) {
    EditLinkSpinner(edit, s->hwnd);  // a spinner linked to it before forgets it
    EditSetBrackets(edit, s->keyBrackets);
  }
}

// A spinner's interface object.
class SpinnerRef : public ControlRef<ISpinnerControl> {
 public:
  explicit SpinnerRef(HWND h) : ControlRef(h, kSpinnerProp) {}
  float GetFVal() override { return S() ? (float)S()->value : 0.0f; }
  int GetIVal() override {
    SpinnerState* s = S();
    if (!s) return 0;
    double v = floor(s->value + 0.5);
    return v <= INT_MIN ? INT_MIN : v >= INT_MAX ? INT_MAX : (int)v;
  }
  void SetValue(float value, int notify) override { Set((double)value, notify); }
  void SetValue(int value, int notify) override { Set((double)value, notify); }
  void SetLimits(float low, float high, int limitCurValue) override {
    Limits((double)low, (double)high, limitCurValue);
  }
  void SetLimits(int low, int high, int limitCurValue) override {
    Limits((double)low, (double)high, limitCurValue);
  }
  void SetScale(float scale) override {
    if (SpinnerState* s = S()) s->scale = scale;
  }
  float GetScale() override { return S() ? S()->scale : 0.0f; }
  void SetResetValue(float value) override {
    if (SpinnerState* s = S()) s->resetValue = value;
  }
  void SetResetValue(int value) override {
    if (SpinnerState* s = S()) s->resetValue = value;
  }
  void LinkToEdit(HWND edit, EditSpinnerType type) override {
    SpinnerState* s = S();
    if (!s) return;
    s->type = type == EDITTYPE_INT ? EDITTYPE_INT : EDITTYPE_FLOAT;
    s->value = Normalise(s, s->value);
    Link(s, edit);
    Show(s);
  }
  void SetKeyBrackets(BOOL onOff) override {
    SpinnerState* s = S();
    if (!s) return;
    s->keyBrackets = onOff ? TRUE : FALSE;
    if (s->edit) EditSetBrackets(s->edit, s->keyBrackets);
  }
  BOOL IsKeyBrackets() override { return S() ? S()->keyBrackets : FALSE; }

 private:
  SpinnerState* S() const { return SpinnerOf(hwnd); }
  void Set(double v, int notify) {
    SpinnerState* s = S();
    if (!s) return;
    s->value = Normalise(s, v);
    if (s->gesture == Gesture::Pressed || s->gesture == Gesture::Dragging) {
      s->dragBase = s->value;
      s->baseY = s->lastY;
    }
    Show(s);
    if (notify) NotifyParent(hwnd, CC_SPINNER_CHANGE, 0);
  }
  void Limits(double low, double high, int limitCurValue) {
    SpinnerState* s = S();
    if (!s) return;
    s->low = low < high ? low : high;
    s->high = low < high ? high : low;
    if (limitCurValue) {
      s->value = Clamp(s, s->value);
      Show(s);
    }
  }
};

ISpinnerControl* Setup(HWND hwnd, int idSpin, int idEdit, EditSpinnerType type, double low,
                       double high, double value, float scale) {
  ISpinnerControl* spin = GetISpinner(GetDlgItem(hwnd, idSpin));
  if (!spin) return nullptr;
  SpinnerState* s = SpinnerOf(spin->GetHwnd());
  s->type = type;
  s->low = low < high ? low : high;
  s->high = low < high ? high : low;
  s->scale = scale;
  s->value = Normalise(s, value);
  Link(s, GetDlgItem(hwnd, idEdit));
  Show(s);
  return spin;
}

}  // namespace

LRESULT CALLBACK SpinnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  SpinnerState* s = SpinnerOf(hwnd);
  if (msg == WM_NCCREATE) {
    s = new SpinnerState{};
    s->hwnd = hwnd;
    s->type = EDITTYPE_FLOAT;
    s->low = kDefaultLow;
    s->high = kDefaultHigh;
    s->scale = kDefaultScale;
    s->gesture = Gesture::Idle;
    SetPropA(hwnd, kSpinnerProp, s);
  }
  if (!s) return DefWindowProcA(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_LBUTTONDOWN:
      OnLeftDown(s, GET_Y_LPARAM(lp));
      return 0;
    case WM_MOUSEMOVE:
      OnMove(s, GET_Y_LPARAM(lp));
      return 0;
    case WM_LBUTTONUP:
      OnLeftUp(s);
      return 0;
    case WM_RBUTTONDOWN:
      OnRightDown(s);
      return 0;
    case WM_CAPTURECHANGED:
      // Capture taken away in the middle of a drag (another window, a disabled spinner) cancels it.
      if ((HWND)lp != hwnd) {
        if (s->gesture == Gesture::Pressed || s->gesture == Gesture::Dragging)
          CancelDrag(s, Gesture::Idle);
        else
          s->gesture = Gesture::Idle;
      }
      return 0;
    case WM_ENABLE:
      if (!wp && GetCapture() == hwnd) ReleaseCapture();
      if ((s = SpinnerOf(hwnd)) && s->edit) EnableWindow(s->edit, (BOOL)wp);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      PaintWith(hwnd, s, Draw);
      return 0;
    case WM_PRINTCLIENT:
      Draw(s, (HDC)wp);
      return 0;
    case WM_DESTROY:
      // A live gesture was ended when the destruction began (GestureGoing).
      StopWatchingDestroy(hwnd);
      s->gesture = Gesture::Idle;
      if (GetCapture() == hwnd) ReleaseCapture();
      break;
    case WM_NCDESTROY:
      Link(s, nullptr);
      RemovePropA(hwnd, kSpinnerProp);
      delete s;
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

bool EndCapturedSpinnerGesture() {
  HWND self = GetCapture();
  SpinnerState* s = SpinnerOf(self);
  if (!s || s->gesture == Gesture::Idle) return false;
  bool live = s->gesture != Gesture::Cancelled;  // a cancelled drag was already reported
  EndGesture(s);
  if (live) NotifyParent(self, CC_SPINNER_BUTTONUP, 1);
  return live;
}

void SpinnerTakeEditText(HWND spinner) {
  SpinnerState* s = SpinnerOf(spinner);
  if (!s || !s->edit) return;
  int n = GetWindowTextLengthA(s->edit);
  std::string text(n + 1, '\0');
  GetWindowTextA(s->edit, &text[0], n + 1);
  double v;
  if (!ParseNumber(text.c_str(), &v)) {
    Show(s);
    return;
  }
  s->value = Normalise(s, v);
  Show(s);
  NotifyParent(spinner, CC_SPINNER_CHANGE, 0);
}

void SpinnerEditGone(HWND spinner, HWND edit) {
  SpinnerState* s = SpinnerOf(spinner);
  if (s && s->edit == edit) s->edit = nullptr;
}

}  // namespace custctrl

ISpinnerControl* GetISpinner(HWND hCtrl) {
  return custctrl::SpinnerOf(hCtrl) ? new custctrl::SpinnerRef(hCtrl) : nullptr;
}

void ReleaseISpinner(ISpinnerControl* spinner) { delete static_cast<custctrl::SpinnerRef*>(spinner); }

ISpinnerControl* SetupFloatSpinner(HWND hwnd, int idSpin, int idEdit, float low, float high, float value,
                                   float scale) {
  return custctrl::Setup(hwnd, idSpin, idEdit, EDITTYPE_FLOAT, low, high, value, scale);
}

ISpinnerControl* SetupIntSpinner(HWND hwnd, int idSpin, int idEdit, int low, int high, int value) {
  return custctrl::Setup(hwnd, idSpin, idEdit, EDITTYPE_INT, low, high, value, 1.0f);
}
