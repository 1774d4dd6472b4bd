// The progress dialog.
#include "JProgressDlg.h"
#include "JClassDesc.h"
#include "JWinProc.h"
#include "vantor.h"

#include <commctrl.h>

namespace {
const int kTemplate = 104;
}  // namespace

JProgressDlg::JProgressDlg() : owner(nullptr), ownerDisabled(0), cancelPressed(0), canceled(0) {}

JProgressDlg::~JProgressDlg() {
  if (hwnd && IsWindow(hwnd)) Destroy();
}

int JProgressDlg::Create(HWND parent) {
  if (hwnd && IsWindow(hwnd)) Destroy();  // one window per object
  cancelPressed = 0;
  canceled = 0;
  owner = GetSafeOwner(parent);
  if (owner && IsWindowEnabled(owner)) {
    EnableWindow(owner, FALSE);
    ownerDisabled = 1;
  }
  hwnd = nullptr;
  CreateDialogParamA(GetInstanceHandle(), MAKEINTRESOURCEA(IdDlg()), owner, UniDlgProc,
                     reinterpret_cast<LPARAM>(static_cast<JDlgProc*>(this)));
  if (hwnd) return 1;
  ReEnableParent();
  return 0;
}

void JProgressDlg::ReEnableParent() {
  if (ownerDisabled && owner) EnableWindow(owner, TRUE);
  ownerDisabled = 0;
}

int JProgressDlg::Destroy() {
  ReEnableParent();
  HWND w = hwnd;
  hwnd = nullptr;  // the object no longer has a window, whatever DestroyWindow answers
  return DestroyWindow(w);
}

int JProgressDlg::CheckCancelButton() {
  JPumpMessages();
  int pressed = cancelPressed;
  cancelPressed = 0;
  return pressed;
}

int JProgressDlg::IsCanceled() { return canceled; }

void JProgressDlg::SetStatus(const char* text) { SetDlgItemTextA(hwnd, kIdStatus, text); }

void JProgressDlg::SetPos(int pos, int low, int high) {
  HWND bar = GetDlgItem(hwnd, kIdBar);
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(low, high));
  SendMessageA(bar, PBM_SETPOS, (WPARAM)pos, 0);
}

INT_PTR JProgressDlg::DlgProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      CenterWindow(hwnd, GetParent(hwnd));
      return 1;
    case WM_COMMAND:
      if (LOWORD(wParam) == kIdCancel) {
        cancelPressed = 1;
        canceled = 1;
      }
      return 1;
    case JWM_PROGRESS:
      SetPos((int)wParam, 0, (int)lParam);
      return 1;
    case JWM_QUERYABORT: {
      int stop = CheckCancelButton() ? -1 : 0;
      if (int* answer = reinterpret_cast<int*>(lParam)) *answer = stop;
      return 1;
    }
    case JWM_SETSTATUS:
      SetStatus(reinterpret_cast<const char*>(lParam));
      return 1;
  }
  return 0;
}

void JProgressDlg::DeleteThis() { delete this; }
HINSTANCE JProgressDlg::GetInstanceHandle() { return GetLibInstance(); }
int JProgressDlg::IdDlg() { return kTemplate; }
