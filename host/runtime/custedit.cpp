// "CustEdit": a one-line edit field that reports Enter to its parent, reads and writes numbers and
// can show a spinner's value with key brackets around it. A Win32 edit inside the control takes
// the keyboard; the control draws the sunken frame and the brackets around it.
#include "custctrl.h"

#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace custctrl {

namespace {

constexpr int kFrame = 2;                       // width of the frame around the inner edit
constexpr int kInnerId = 1;                     // control id of the inner edit

// One custom edit.
struct EditState {
  HWND hwnd;      // the CustEdit window
  HWND inner;     // the Win32 edit inside it, which takes the keyboard
  HWND spinner;   // the spinner whose value the edit shows, or null
  BOOL brackets;  // key brackets drawn around the inner edit
};

// The Win32 edit class's own procedure, the same for every inner edit.
WNDPROC innerEditProc = nullptr;

EditState* EditOf(HWND hwnd) { return StateOf<EditState>(hwnd, kEditProp); }

std::string TextOf(HWND hwnd) {
  int n = GetWindowTextLengthA(hwnd);
  std::string s(n + 1, '\0');
  GetWindowTextA(hwnd, &s[0], n + 1);
  s.resize(strlen(s.c_str()));
  return s;
}

// The user finished a text: a linked spinner takes it, then the parent hears of it. Either may
// destroy the control, so the state is looked up again after each.
void Commit(HWND self, bool enter) {
  EditState* s = EditOf(self);
  if (!s) return;
  SendMessageA(s->inner, EM_SETMODIFY, FALSE, 0);
  if (s->spinner) SpinnerTakeEditText(s->spinner);
  if (EditOf(self)) NotifyParent(self, WM_CUSTEDIT_ENTER, enter ? 1 : 0);
}

LRESULT CALLBACK InnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_GETDLGCODE: {
      // Enter belongs to the edit, not to the dialog's default button.
      LRESULT code = CallWindowProcA(innerEditProc, hwnd, msg, wp, lp);
      if (wp == VK_RETURN) code |= DLGC_WANTALLKEYS;
      return code;
    }
    case WM_KEYDOWN:
      if (wp == VK_RETURN) {
        Commit(GetParent(hwnd), true);
        return 0;
      }
      break;
    case WM_CHAR:
      if (wp == '\r' || wp == '\n') return 0;  // handled at WM_KEYDOWN; no beep
      break;
    case WM_KILLFOCUS: {
      LRESULT r = CallWindowProcA(innerEditProc, hwnd, msg, wp, lp);
      if (SendMessageA(hwnd, EM_GETMODIFY, 0, 0)) Commit(GetParent(hwnd), false);
      return r;
    }
  }
  return CallWindowProcA(innerEditProc, hwnd, msg, wp, lp);
}

void Draw(EditState* s, HDC dc) {
  RECT r;
  GetClientRect(s->hwnd, &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
  if (s->brackets) DrawKeyBrackets(dc, r, kFrame);
}

bool CreateInner(EditState* s, const CREATESTRUCTA* cs) {
  DWORD align = cs->style & (ES_CENTER | ES_RIGHT);
  s->inner = CreateWindowExA(0, "EDIT", cs->lpszName, WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | align,
                             kFrame, kFrame, cs->cx - 2 * kFrame, cs->cy - 2 * kFrame, s->hwnd,
                             (HMENU)(INT_PTR)kInnerId, cs->hInstance, nullptr);
  if (!s->inner) return false;
  WNDPROC old = (WNDPROC)SetWindowLongPtrA(s->inner, GWLP_WNDPROC, (LONG_PTR)InnerProc);
  if (!innerEditProc) innerEditProc = old;
  SendMessageA(s->inner, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), FALSE);
  return true;
}

// A custom edit's interface object.
class CustEditRef : public ControlRef<ICustEdit> {
 public:
  explicit CustEditRef(HWND h) : ControlRef(h, kEditProp) {}
  void GetText(char* text, int ct) override { ReadText(text, ct); }
  void SetText(const char* text) override { WriteText(text); }
  void SetText(int value) override {
    char buf[16];
    snprintf(buf, sizeof buf, "%d", value);
    SetText(buf);
  }
  void SetText(float value, int precision) override {
    char buf[64];
    snprintf(buf, sizeof buf, "%.*f", precision < 0 ? 0 : precision > 9 ? 9 : precision, (double)value);
    SetText(buf);
  }
  int GetInt(BOOL* valid) override {
    double v = 0;
    bool ok = Number(&v);
    if (valid) *valid = ok;
    if (!ok) return 0;
    if (v <= INT_MIN) return INT_MIN;
    if (v >= INT_MAX) return INT_MAX;
    return (int)lround(v);
  }
  float GetFloat(BOOL* valid) override {
    double v = 0;
    bool ok = Number(&v);
    if (valid) *valid = ok;
    return ok ? (float)v : 0.0f;
  }

 private:
  bool Number(double* v) { return Alive() && ParseNumber(TextOf(hwnd).c_str(), v); }
};

}  // namespace

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  EditState* s = EditOf(hwnd);
  switch (msg) {
    case WM_NCCREATE: {
      s = new EditState{hwnd, nullptr, nullptr, FALSE};
      SetPropA(hwnd, kEditProp, s);
      break;
    }
    case WM_CREATE:
      return s && CreateInner(s, reinterpret_cast<CREATESTRUCTA*>(lp)) ? 0 : -1;
    case WM_NCDESTROY:
      if (s) {
        if (s->spinner) SpinnerEditGone(s->spinner, hwnd);
        RemovePropA(hwnd, kEditProp);
        delete s;
      }
      return DefWindowProcA(hwnd, msg, wp, lp);
  }
  if (!s || !s->inner) return DefWindowProcA(hwnd, msg, wp, lp);
  // Edit messages (selection, limits, the modified flag) are the inner edit's, so that a dialog
  // selecting the text of the control it tabs into reaches the text.
  if (msg >= EM_GETSEL && msg <= EM_GETIMESTATUS) return SendMessageA(s->inner, msg, wp, lp);
  switch (msg) {
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_SETFONT:
    case WM_GETFONT:
      return SendMessageA(s->inner, msg, wp, lp);
    case WM_SIZE:
      MoveWindow(s->inner, kFrame, kFrame, LOWORD(lp) - 2 * kFrame, HIWORD(lp) - 2 * kFrame, TRUE);
      return 0;
    case WM_SETFOCUS:
      SetFocus(s->inner);
      return 0;
    case WM_ENABLE:
      EnableWindow(s->inner, (BOOL)wp);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      PaintWith(hwnd, s, Draw);
      return 0;
    case WM_PRINTCLIENT:
      Draw(s, (HDC)wp);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

bool IsCustEdit(HWND hwnd) { return EditOf(hwnd) != nullptr; }

bool CommitFocusedEdit() {
  HWND focus = GetFocus();
  HWND self = focus ? GetParent(focus) : nullptr;
  EditState* s = EditOf(self);
  if (!s || s->inner != focus || !SendMessageA(focus, EM_GETMODIFY, 0, 0)) return false;
  Commit(self, false);
  return true;
}

void EditLinkSpinner(HWND edit, HWND spinner) {
  EditState* s = EditOf(edit);
  if (!s) return;
  if (s->spinner && s->spinner != spinner) SpinnerEditGone(s->spinner, edit);
  s->spinner = spinner;
}

void EditSetBrackets(HWND edit, BOOL on) {
  EditState* s = EditOf(edit);
  if (!s || s->brackets == on) return;
  s->brackets = on;
  InvalidateRect(edit, nullptr, TRUE);
}

}  // namespace custctrl

ICustEdit* GetICustEdit(HWND hCtrl) {
  return custctrl::IsCustEdit(hCtrl) ? new custctrl::CustEditRef(hCtrl) : nullptr;
}

void ReleaseICustEdit(ICustEdit* edit) { delete static_cast<custctrl::CustEditRef*>(edit); }
