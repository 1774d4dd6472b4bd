// A library dialog over a template of the test program, for testing view controls in a real
// dialog window: the library's own dialog base routes the messages to the controls. The dialog
// is unlocked from the host's time and shows its controls at the time the test asks for.
#pragma once

#include "Quorlib.h"

class DialogHarness : public JOneModelessBase {
 public:
  // Creates the dialog window from template id of the test program and moves it to openAt;
  // false when it fails (the object is then gone, as CreateDlg deletes it).
  bool Open(int id) {
    templateId = id;
    if (!CreateDlg(nullptr, this)) return false;
    SetTimeLock(0);
    SetTime(openAt);
    return true;
  }
  // Ends the dialog: its window and controls when it has a window, else just the object.
  void Close() {
    if (hwnd) Destroy();
    else DeleteThis();
  }
  HWND Item(int id) { return GetDlgItem(hwnd, id); }

  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return GetModuleHandleA(nullptr); }
  int IdDlg() override { return templateId; }
  const char* ActionName() override { return "Buttons"; }
  int SwitchData(JDataBase*, void*) override { return 0; }

  int openAt = 0;  // the time the dialog shows once open

 private:
  int templateId = 0;
};
