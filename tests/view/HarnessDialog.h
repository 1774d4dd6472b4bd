// A dialog of the view tests over a template of the test program. It treats its controls as a
// library dialog does: at WM_INITDIALOG each control gets InitBypassCtl and Init, then is unfrozen
// and shown; a WM_COMMAND goes to the first control that owns the id (unless it is frozen); when
// the dialog closes, its controls are destroyed. Its time is a field of its own.
#pragma once

#include "Quorlib.h"

namespace quortest {

// Control ids of template kHarnessTemplate in testres.rc.
constexpr int kHarnessTemplate = 710;
constexpr int kHarnessCheck = 401;   // an auto check box
constexpr int kHarnessButton = 402;  // a push button
constexpr int kHarnessText = 403;    // a static text
constexpr int kHarnessButton2 = 404;  // a second push button
constexpr int kHarnessImage = 405;   // a "JUniversalWindow" control

class HarnessDialog : public JViewDlgBase {
 public:
  // Opens the dialog modeless (visible) with owner; false when it could not be created.
  bool Open(HWND owner = nullptr) {
    CreateDialogParamA(GetInstanceHandle(), MAKEINTRESOURCEA(IdDlg()), owner, UniDlgProc,
                       reinterpret_cast<LPARAM>(static_cast<JDlgProc*>(this)));
    return hwnd != nullptr;
  }
  // Destroys the controls and the window; the object stays.
  void Close() {
    DestroyControls();
    if (hwnd) DestroyWindow(hwnd);
    hwnd = nullptr;
  }
  ~HarnessDialog() override { Close(); }

  INT_PTR DlgProc(UINT msg, WPARAM wParam, LPARAM) override {
    switch (msg) {
      case WM_INITDIALOG: {
        int n = NumControls();
        for (int i = 0; i < n; i++) {
          GetControl(i)->InitBypassCtl();
          inits += GetControl(i)->Init(time);
        }
        for (int i = 0; i < n; i++) {
          JViewCtl* c = GetControl(i);
          c->SetFreeze(0);
          c->UpdateBypassTreeView();
          c->UpdateView(time, nullptr);
        }
        return TRUE;
      }
      case WM_COMMAND: {
        int id = LOWORD(wParam);
        for (int i = 0; i < NumControls(); i++) {
          JViewCtl* c = GetControl(i);
          if (!c->Own(id)) continue;
          if (!c->IsFreezed()) c->UpdateData(time, id, WM_COMMAND, HIWORD(wParam));
          break;
        }
        return TRUE;
      }
    }
    return FALSE;
  }
  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return GetModuleHandleA(nullptr); }
  int IdDlg() override { return kHarnessTemplate; }
  int GetTime() override { return time; }
  void SetTime(int t) override { time = t; }

  int time = 0;
  int inits = 0;  // the sum of the controls' Init results

 private:
  void DestroyControls() {
    while (NumControls() > 0) {
      JViewCtl* c = GetControl(0);
      *this -= c;
      c->Destroy();
    }
  }
};

}  // namespace quortest
