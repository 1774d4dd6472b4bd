// The lock view: two parameters held in a relation.
#include "JLock2Ctl.h"
#include "JViewDlg.h"
#include "vcustctrl.h"

#include <new>

namespace {
const char kSource[] = "JLOCKCTL";
const int kLineNoA = 30;
const int kLineNoB = 34;
const int kLineNoMemory = 38;

float ValueAt(JDataBase* d, int t) {
  float v = 0.0f;
  Interval valid = FOREVER;
  d->GetValue(&v, t, valid, CTRL_ABSOLUTE);
  return v;
}

void WriteAt(JDataBase* d, int t, float v) {
  Interval valid = FOREVER;
  d->SetValue(&v, t, valid, CTRL_ABSOLUTE);
}

// Whether changed is the object itself or something it depends on: then the object's side moved.
bool DependsOn(JDataBase* d, ReferenceTarget* changed) {
  JData* target = dynamic_cast<JData*>(d);
  return target && target->TestForLoop(FOREVER, changed) == REF_FAIL;
}
}  // namespace

JLock2Ctl* JLock2Ctl::Create(JData* a, JData* b, int idLock, JData* lock, int mode, float gap, int reserved,
                             HINSTANCE inst) {
  if (!a) assert1(kLineNoA, kSource);
  if (!b) assert1(kLineNoB, kSource);
  if (!a || !b) return nullptr;
  JLock2Ctl* c = new (std::nothrow) JLock2Ctl;
  if (!c) {
    assert1(kLineNoMemory, kSource);
    return nullptr;
  }
  c->Setup(a, -1);
  c->AddData(b);
  c->AddData(lock);
  c->idLock = idLock;
  c->mode = mode;
  c->gap = gap;
  c->reserved = reserved;
  c->inst = inst;
  return c;
}

void JLock2Ctl::Set(JData* a, int t, JData* b, JData* lock) {
  while (data.Count() < 3) AddData(nullptr);
  data[1] = Replace(data[1], b);
  data[2] = Replace(data[2], lock);
  JViewCtl::Set(a, t);
}

int JLock2Ctl::Init(int) { return 1; }

void JLock2Ctl::Destroy() {
  if (button) ReleaseICustButton(button);
  button = nullptr;
  JViewCtl::Destroy();
}

void JLock2Ctl::DeleteThis() { delete this; }
int JLock2Ctl::Own(int id) { return idLock != -1 && id == idLock; }
int JLock2Ctl::Valid(int) { return 0; }

void JLock2Ctl::UpdateData(int t, int, unsigned int, UINT_PTR) {
  JDataBase* lock = GetData(2);
  if (!lock) {
    UpdateView(t, nullptr);
    return;
  }
  // Not frozen: the lock parameter's change comes back as UpdateView and applies the relation.
  float on = GetCheck(hwndParent(), idLock) ? 1.0f : 0.0f;
  bool animating = Animating();
  if (animating) AnimateOff();
  WriteAt(lock, t, on);
  if (animating) AnimateOn();
}

void JLock2Ctl::UpdateView(int t, ReferenceTarget* changed) {
  JDataBase* a = GetData(0);
  JDataBase* b = GetData(1);
  JDataBase* lock = GetData(2);
  if (!changed && lock) SetCheck(hwndParent(), idLock, ValueAt(lock, t) >= 1.0f);
  if (idLock != -1 && !GetCheck(hwndParent(), idLock)) return;
  if (!a || !b) return;
  float va = ValueAt(a, t), vb = ValueAt(b, t);
  bool bMoved = changed && !DependsOn(a, changed) && DependsOn(b, changed);
  float want = va + gap;
  bool acts = (mode == kEqual && want != vb) || (mode == kAtLeast && want > vb) || (mode == kAtMost && want < vb);
  if (!acts) return;
  // Frozen while writing: the write's own notification would only find the relation holding.
  int was = SetFreeze(1);
  if (bMoved)
    WriteAt(a, t, vb - gap);
  else
    WriteAt(b, t, want);
  SetFreeze(was);
}
