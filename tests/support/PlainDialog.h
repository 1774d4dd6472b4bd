// A dialog object for views without the dialog machinery: no dialog procedure of its own, over a
// window its user made (or none), at a time its user sets. The tests, the benchmark and the
// library's tools use it.
#pragma once

#include "Quorlib.h"

class PlainDialog : public JViewDlgBase {
 public:
  explicit PlainDialog(HWND w = nullptr) { hwnd = w; }
  INT_PTR DlgProc(UINT, WPARAM, LPARAM) override { return 0; }
  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return nullptr; }
  int IdDlg() override { return 0; }
  int GetTime() override { return time; }
  void SetTime(int t) override { time = t; }
  int GetTimeLock() override { return 0; }
  void SetTimeLock(int) override {}
  void SetPlayAnimation(int) override {}
  int GetPlayAnimation() override { return 0; }
  const char* ActionName() override { return "Test"; }
  void Destroy() override { DeleteThis(); }
  int SwitchData(JDataBase*, void*) override { return 0; }
  int time = 0;
};
