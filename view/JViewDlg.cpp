// Dialog object bases.
#include "JViewCtl.h"
#include "JViewDlg.h"

JDlgProc::JDlgProc() : hwnd(nullptr) {}
JDlgProc::~JDlgProc() {}

JViewDlgBase::JViewDlgBase() {}
JViewDlgBase::~JViewDlgBase() {}

void JViewDlgBase::operator+=(JViewCtl* c) {
  if (!c) return;
  controls.Append(1, &c, 8);
  c->SetParent(this);
}

void JViewDlgBase::operator-=(JViewCtl* c) {
  for (int i = 0; i < controls.Count(); i++)
    if (controls[i] == c) {
      controls.Delete(i, 1);
      return;
    }
}
