// Dialog objects: the base of every dialog of the library, and the base of dialogs that own
// view controls and show their data at a time of their own.
#pragma once

#include "JExport.h"
#include "JPropList.h"
#include "JWinProc.h"
#include "vantor.h"

class JViewCtl;
class JDataBase;

// A dialog object; the dialog window's user data points at it. Not copyable: one object per window.
class QUORAPI JDlgProc {
 public:
  JDlgProc();
  virtual ~JDlgProc();
  JDlgProc(const JDlgProc&) = delete;
  JDlgProc& operator=(const JDlgProc&) = delete;
  virtual INT_PTR DlgProc(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
  virtual void DeleteThis() = 0;
  virtual HINSTANCE GetInstanceHandle() = 0;  // the module holding the dialog template
  virtual int IdDlg() = 0;                    // the template's resource id
  HWND GetHwnd() { return hwnd; }

 protected:
  HWND hwnd;  // null until the dialog is initialised
  friend struct JRegistryAccess;  // the routing attaches the handle
};

// A dialog that owns view controls and shows their data at its time. Not copyable, as a dialog
// object.
class QUORAPI JViewDlgBase : public JDlgProc {
 public:
  JViewDlgBase();
  ~JViewDlgBase() override;
  // Adds a control (null is ignored) and makes this dialog its parent.
  virtual void operator+=(JViewCtl* c);
  // Removes the first entry equal to c; the control keeps its parent.
  virtual void operator-=(JViewCtl* c);
  virtual int GetTime() = 0;
  virtual void SetTime(int t) = 0;
  int NumControls() { return controls.Count(); }
  JViewCtl* GetControl(int i) { return i >= 0 && i < controls.Count() ? controls[i] : nullptr; }

 protected:
  Tab<JViewCtl*> controls;
};
