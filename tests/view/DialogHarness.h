// A dialog for testing view controls in a real dialog window made from a template of the test
// program. It does what a library dialog does for its controls: at WM_INITDIALOG every control is
// set up (bypass control, Init), unfrozen and shown; WM_COMMAND goes to the control owning the
// bypass id or the control id, WM_DRAWITEM, WM_MEASUREITEM and WM_NOTIFY to the control owning
// the id; a time change refreshes every control.
#pragma once

#include "ControlDriver.h"
#include "PlainDialog.h"
#include "Recorder.h"

#include <gtest/gtest.h>

class DialogHarness : public PlainDialog {
 public:
  // Creates the dialog window from template id of the test program; false when it fails.
  bool Open(int id) {
    templateId = id;
    return CreateDialogParamA(GetInstanceHandle(), MAKEINTRESOURCEA(id), nullptr, UniDlgProc, (LPARAM)this) != nullptr;
  }
  // Destroys the controls, then the window.
  void Close() {
    while (NumControls() > 0) {
      JViewCtl* c = GetControl(0);
      *this -= c;
      c->Destroy();
    }
    if (hwnd) DestroyWindow(hwnd);
  }
  HWND Item(int id) { return GetDlgItem(hwnd, id); }

  INT_PTR DlgProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    switch (msg) {
      case WM_INITDIALOG:
        for (int i = 0; i < NumControls(); i++) {
          GetControl(i)->InitBypassCtl();
          GetControl(i)->Init(time);
        }
        for (int i = 0; i < NumControls(); i++) {
          GetControl(i)->SetFreeze(0);
          GetControl(i)->UpdateBypassTreeView();
          GetControl(i)->UpdateView(time, nullptr);
        }
        return TRUE;
      case WM_COMMAND: {
        int id = LOWORD(wParam);
        for (int i = 0; i < NumControls(); i++)
          if (GetControl(i)->IdBypass() == id) {
            GetControl(i)->UpdateBypassTreeData();
            return TRUE;
          }
        Route(id, msg, HIWORD(wParam));
        return TRUE;
      }
      case WM_DRAWITEM:
      case WM_MEASUREITEM:
      case WM_NOTIFY:
        Route((int)wParam, msg, (UINT_PTR)lParam);
        return TRUE;
    }
    return FALSE;
  }
  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return GetModuleHandleA(nullptr); }
  int IdDlg() override { return templateId; }
  // The dialog's time moves: every control shows its data at t.
  void SetTime(int t) override {
    time = t;
    for (int i = 0; i < NumControls(); i++) GetControl(i)->UpdateView(t, nullptr);
  }

 private:
  void Route(int id, unsigned int msg, UINT_PTR param) {
    for (int i = 0; i < NumControls(); i++) {
      JViewCtl* c = GetControl(i);
      if (!c->Own(id)) continue;
      if (!c->IsFreezed()) c->UpdateData(time, id, msg, param);
      return;
    }
  }
  int templateId = 0;
};

// A fixture with a harness dialog, a driver for it and a recorder that holds the test's data
// objects; the dialog closes before the data goes.
struct HarnessTest : testing::Test {
  void TearDown() override {
    dlg->Close();
    delete dlg;
    owner->DeleteMe();
  }
  // d, held in the recorder's next slot for the length of the test.
  template <class T>
  T* Hold(T* d) {
    owner->refs.push_back(nullptr);
    owner->Hold(d, (int)owner->refs.size() - 1);
    return d;
  }
  quortest::ControlDriver driver;
  quortest::Recorder* owner = new quortest::Recorder(0);
  DialogHarness* dlg = new DialogHarness;
};
