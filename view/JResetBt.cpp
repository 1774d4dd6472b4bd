// The reset button.
#include "JResetButton.h"
#include "JSaveLoad.h"

#include <new>

namespace {
const char kSource[] = "JResetBt";
const int kLineNoMemory = 20;
}  // namespace

JResetButton* JResetButton::Create(JData* data, int idButton, Reset reset, void* user) {
  JResetButton* b = new (std::nothrow) JResetButton;
  if (!b) {
    assert1(kLineNoMemory, kSource);
    return nullptr;
  }
  b->Setup(data, idButton, OnButton, nullptr);
  b->reset = reset;
  b->resetUser = user;
  return b;
}

void JResetButton::OnButton(JButton* button, void*, int t, int, unsigned int msg, UINT_PTR) {
  if (msg == WM_COMMAND) static_cast<JResetButton*>(button)->ResetData(t);
}

void JResetButton::ResetData(int t) {
  JData* old = dynamic_cast<JData*>(JViewCtl::Data());
  if (!old) return;
  JData* fresh = JCreateRegistered<JData>(old->SuperClassID(), old->ClassID());
  if (!fresh) return;
  fresh->SetResource(old->Resource());
  fresh->SetupResource();
  JReplaceReference(old, fresh, 0);
  JButton::Set(fresh, t, callback, user);
  if (reset) reset(fresh, resetUser);
  old->DeleteMe();
}
