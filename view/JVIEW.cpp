// View controls: registration with data objects, freeze, and the leaf views.
#include "JLeaf.h"
#include "JViewCtl.h"
#include "JViewDlg.h"
#include "vcustctrl.h"

#include <cstring>

namespace {
const char kSource[] = "JVIEW";
const int kLineFuncNoData = 52;

// The bypass button's look: bitmap 117 holds three 9 x 9 images (shown, hidden, disabled), and
// string 9 is its tooltip.
const int kBypassBitmap = 117;
const int kBypassImageWidth = 9;
const int kImageShown = 0;
const int kImageHidden = 1;
const int kImageDisabled = 2;
const int kBypassTooltipString = 9;

// The tooltip text, loaded on first use into a buffer of its own: the resource-string buffer is
// shared and overwritten by the next load.
const char* BypassTooltip() {
  static char text[128];
  static bool loaded = false;
  if (!loaded) {
    lstrcpynA(text, GetResString(kBypassTooltipString), sizeof text);
    loaded = true;
  }
  return text;
}
}  // namespace

// ---- JViewCtl --------------------------------------------------------------------------------

JViewCtl::JViewCtl()
    : parent(nullptr), idBypass(-1), freeze(1), bypassButton(nullptr), bypassImages(nullptr) {}

JViewCtl::~JViewCtl() { ReleaseBypassButton(); }

void JViewCtl::ReleaseBypassButton() {
  if (bypassButton) ReleaseICustButton(bypassButton);
  if (bypassImages) ImageList_Destroy(bypassImages);
  bypassButton = nullptr;
  bypassImages = nullptr;
}

int JViewCtl::Init(int) { return 1; }

void JViewCtl::Destroy() {
  for (int i = 0; i < data.Count(); i++) {
    if (data[i]) data[i]->DelView(this);
    data[i] = nullptr;
  }
  DeleteThis();
}

void JViewCtl::Set(JDataBase* d, int t) {
  if (data.Count() == 0) {
    JDataBase* none = nullptr;
    data.Append(1, &none);
  }
  data[0] = Replace(data[0], d);
  UpdateView(t, nullptr);
  UpdateBypassTreeView();
}

int JViewCtl::Own(int) { return 0; }
int JViewCtl::Valid(int) { return 0; }

void JViewCtl::UpdateBypassTreeData() {
  JDataBase* d = Data();
  HWND ctl = BypassWindow();
  if (!d || !ctl) return;
  int checked = bypassButton ? bypassButton->IsChecked() : GetCheck(hwndParent(), idBypass);
  d->SetBypassTree(checked ? 0 : 1, this);
}

void JViewCtl::UpdateView(ReferenceTarget* changed) {
  if (parent) UpdateView(parent->GetTime(), changed);
}

void JViewCtl::UpdateBypassTreeView(int bypass) {
  if (!BypassWindow()) return;
  if (bypassButton)
    bypassButton->SetCheck(!bypass);
  else
    SetCheck(hwndParent(), idBypass, !bypass);
}

void JViewCtl::Activate(int) {}

void JViewCtl::InitBypassCtl() {
  HWND ctl = BypassWindow();
  if (!ctl) return;
  ReleaseBypassButton();  // a second call sets the control up afresh
  // The class name is compared on its first ten characters, as many as "CustButton" has.
  char cls[11] = "";
  GetClassNameA(ctl, cls, sizeof cls);
  if (std::strcmp(cls, CUSTBUTTONWINDOWCLASS) != 0) return;  // a plain check box
  bypassButton = GetICustButton(ctl);
  if (!bypassButton) return;
  bypassButton->SetType(CBT_CHECK);
  bypassButton->SetCheckHighlight(TRUE);
  bypassButton->SetTooltip(TRUE, BypassTooltip());
  int count = 0, cx = kBypassImageWidth, cy = 0;
  bypassImages = JCreateImageList(GetLibInstance(), kBypassBitmap, count, cx, cy);
  bypassButton->SetImage(bypassImages, kImageHidden, kImageShown, kImageDisabled, kImageDisabled,
                         kBypassImageWidth, cy);
}

HWND JViewCtl::hwndParent() { return parent ? parent->GetHwnd() : nullptr; }

HWND JViewCtl::BypassWindow() {
  if (!HasBypassCtl() || !hwndParent()) return nullptr;
  return GetDlgItem(hwndParent(), idBypass);
}

JDataBase* JViewCtl::GetData(int i) { return i >= 0 && i < data.Count() ? data[i] : nullptr; }

void JViewCtl::AddData(JDataBase* d) {
  data.Append(1, &d, 2);
  if (d) d->AddView(this);
}

void JViewCtl::SetData(JDataBase* d, int i) {
  if (i < 0 || i >= data.Count()) return;
  if (data[i]) data[i]->DelView(this);
  data[i] = d;
  if (d) d->AddView(this);
}

void JViewCtl::ReplaceData(JDataBase* from, JDataBase* to) {
  for (int i = 0; i < data.Count(); i++) {
    if (data[i] != from) continue;
    data[i] = to;
    if (to) to->AddView(this);
  }
}

void JViewCtl::ClearData(JDataBase* d) {
  for (int i = 0; i < data.Count(); i++)
    if (data[i] == d) data[i] = nullptr;
}

JDataBase* JViewCtl::Replace(JDataBase* oldData, JDataBase* newData) {
  if (oldData == newData) return newData;
  if (oldData) oldData->DelView(this);
  if (newData) newData->AddView(this);
  return newData;
}

void JViewCtl::Setup(JDataBase* d, int bypassId) {
  if (data.Count() > 0)
    data[0] = d;
  else
    data.Append(1, &d);
  if (d) d->AddView(this);
  idBypass = bypassId;
}

int JViewCtl::SetFreeze(int on) {
  int old = freeze;
  freeze = on;
  return old;
}

int JViewCtl::EnableBypassCtl(int enable) {
  if (!HasBypassCtl()) return 0;
  if (bypassButton) {
    int was = bypassButton->IsEnabled() ? 1 : 0;
    bypassButton->Enable(enable ? TRUE : FALSE);
    return was;
  }
  HWND ctl = BypassWindow();
  if (!ctl) return 0;
  return !EnableWindow(ctl, enable);
}

void JViewCtl::UpdateBypassTreeView() {
  if (JDataBase* d = Data()) UpdateBypassTreeView(d->GetBypassTree());
}

// ---- JViewLeaf -------------------------------------------------------------------------------

JDataLeafBase* JViewLeaf::Data() { return dynamic_cast<JDataLeafBase*>(JViewCtl::Data()); }

ParamDimension* JViewLeaf::Dim() {
  JDataLeafBase* leaf = Data();
  return leaf ? leaf->GetParamDimension(0) : defaultDim;
}

// Values go through the data object's own GetValue and SetValue, so a leaf view also reads and
// writes data whose value is not a number (the text of a JBinaryData).
void JViewLeaf::GetValue(int t, void* value) {
  JDataBase* d = JViewCtl::Data();
  if (!d) return;
  Interval valid = FOREVER;
  d->GetValue(value, t, valid, CTRL_ABSOLUTE);
}

void JViewLeaf::SetValue(int t, void* value) {
  JDataBase* d = JViewCtl::Data();
  if (!d) return;
  int was = SetFreeze(1);
  Interval valid = FOREVER;
  d->SetValue(value, t, valid, CTRL_ABSOLUTE);
  SetFreeze(was);
}

void JViewLeaf::WriteBack(int t, float value) { WriteBack(t, &value); }

void JViewLeaf::WriteBack(int t, void* value) {
  if (!JViewCtl::Data()) return;  // bound data of any kind: an edit view writes text, not a leaf
  bool animateOff = IdBypass() == -1 && Animating();
  if (animateOff) AnimateOff();
  SetValue(t, value);
  if (animateOff) AnimateOn();
}

// ---- JViewFunc -------------------------------------------------------------------------------

JViewFunc* JViewFunc::Create(JData* d, Callback cb, void* u) {
  if (!d) {
    assert1(kLineFuncNoData, kSource);
    return nullptr;
  }
  JViewFunc* v = new (std::nothrow) JViewFunc;
  if (!v) {
    assert1(kLineFuncNoData, kSource);
    return nullptr;
  }
  v->callback = cb;
  v->user = u;
  v->Setup(d, -1);
  return v;
}

void JViewFunc::Set(JData* d, int t, Callback cb, void* u) {
  callback = cb;
  user = u;
  JViewCtl::Set(d, t);
}

void JViewFunc::DeleteThis() { delete this; }
int JViewFunc::Init(int) { return 1; }
int JViewFunc::Own(int) { return 0; }
int JViewFunc::Valid(int) { return 0; }
void JViewFunc::UpdateData(int, int, unsigned int, UINT_PTR) {}

void JViewFunc::UpdateView(int t, ReferenceTarget* changed) {
  if (!IsFreezed() && callback) callback(this, user, t, changed);
}
