// Value controls: edit views, the colour swatch and the spinners.
#include "JInternal.h"
#include "JLeaf.h"
#include "JMemBlock.h"
#include "JValueCtl.h"
#include "JViewDlg.h"
#include "vcustctrl.h"

#include <limits.h>
#include <math.h>

#include <new>

namespace {
const char kSource[] = "JVIEW";
// Assertion lines: a Create without its required data or without memory, and an Init whose host
// control is missing from the dialog.
const int kLineEditAlloc = 1210;
const int kLineSwatchNoData = 1302;
const int kLineSwatchNoCtl = 1318;
const int kLineSwatchRelease = 1331;
const int kLineSpinNoData = 1402;
const int kLineSpinNoCtl = 1425;
const int kLineSpin3NoData = 1502;
const int kLineSpin3NoCtl = 1526;
const int kLineStepAlloc = 1602;

// One colour byte per component: x 255, rounded half away from zero, cut to 8 bits.
const float kByteToUnit = 0.003921568859368563f;  // 1 / 255 as a float
inline BYTE UnitToByte(float x) { return (BYTE)(lroundf(x * 255.0f) & 0xFF); }

// The reset value of a spinner over low .. high: the value of the range nearest to 0.
float ResetValue(float low, float high) {
  if (low > 0) return low;
  return high >= 0 ? 0.0f : high;
}

// The first component of a leaf's value. Read into room for three, so that a single-number view
// bound by mistake to a three-component leaf cannot overrun its buffer.
float FirstComponent(JViewLeaf* v, int t) {
  float value[3] = {0, 0, 0};
  v->GetValue(t, value);
  return value[0];
}

// Key brackets are on when the bound leaf has a key at t.
BOOL HasKeyAt(JDataLeafBase* leaf, int t) { return leaf && leaf->GetKeyIndex(t) != -1; }

// Creation: a view that must have data reports a null one at line; every view reports a failed
// allocation at line and gives null; a new view is bound to its data with its bypass control.
bool HasData(JData* d, int line) {
  if (!d) assert1(line, kSource);
  return d != nullptr;
}

template <class View>
View* Bind(View* v, JData* d, int idBypass, int line) {
  if (!v) {
    assert1(line, kSource);
    return nullptr;
  }
  v->Setup(d, idBypass);
  return v;
}
}  // namespace

// ---- JEditView -------------------------------------------------------------------------------

JEditView::JEditView(int id) : idEdit(id) {}

JEditView* JEditView::Create(JData* d, int id) {
  return Bind(new (std::nothrow) JEditView(id), d, -1, kLineEditAlloc);
}

void JEditView::DeleteThis() { delete this; }
int JEditView::Own(int id) { return id == idEdit; }

int JEditView::Valid(int) {
  JMemBlock text;
  GetValue(0, &text);
  HWND edit = GetDlgItem(hwndParent(), idEdit);
  int length = GetWindowTextLengthA(edit);
  // An empty block holds no terminator, so no edit text matches it.
  if (text.Size() == 0 || length != (int)text.Size() - 1) return 0;
  JMemBlock shown;
  if (!shown.Alloc(length + 1)) return 0;
  GetWindowTextA(edit, shown.Data(), length + 1);
  shown.Data()[length] = 0;
  return shown == text;
}

void JEditView::UpdateData(int t, int, unsigned int msg, UINT_PTR code) {
  if (msg != WM_COMMAND) return;
  switch (code) {
    case EN_SETFOCUS:
      DisableAccelerators();
      return;
    case EN_KILLFOCUS:
      EnableAccelerators();
      return;
    case EN_CHANGE: {
      HWND edit = GetDlgItem(hwndParent(), idEdit);
      int length = (int)SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0);
      JMemBlock text;
      if (length < 0 || !text.Alloc(length + 1)) return;  // nothing is lost: the edit keeps it
      GetWindowTextA(edit, text.Data(), length + 1);
      text.Data()[length] = 0;
      WriteBack(t, &text);
      return;
    }
    default:
      return;
  }
}

void JEditView::UpdateView(int, ReferenceTarget*) {
  JMemBlock text;
  GetValue(0, &text);
  jlib::EndWithNuls(text, 1);
  // The view is frozen while it sets the text, so the edit's change notification is not taken for
  // the user's typing and written back.
  int was = SetFreeze(1);
  SetDlgItemTextA(hwndParent(), idEdit, text.Size() ? text.Data() : nullptr);
  SetFreeze(was);
}

// ---- JEditNameView ---------------------------------------------------------------------------

JEditNameView::JEditNameView(int id, JData* n) : JEditView(id), named(n) {}

JEditNameView* JEditNameView::Create(JData* d, int id, JData* n) {
  return Bind(new (std::nothrow) JEditNameView(id, n), d, -1, kLineEditAlloc);
}

void JEditNameView::Set(JData* d, JData* n) {
  named = n;
  JViewCtl::Set(d, 0);
}

void JEditNameView::DeleteThis() { delete this; }

// The named object's dependents hear that its sub-animation names changed, so views that show the
// name (a marker's label, a list entry) read it again.
void JEditNameView::UpdateData(int t, int id, unsigned int msg, UINT_PTR param) {
  JEditView::UpdateData(t, id, msg, param);
  if (named)
    named->JNotifyDependents(FOREVER, PART_ALL, REFMSG_SUBANIM_STRUCTURE_CHANGED, NOTIFY_ALL, TRUE, nullptr);
}

// ---- JColorSwatch ----------------------------------------------------------------------------

JColorSwatch::JColorSwatch(int id, const char* t) : ics(nullptr), idSwatch(id), title(t) {}

JColorSwatch* JColorSwatch::Create(JData* d, int idBypass, int id) {
  if (!HasData(d, kLineSwatchNoData)) return nullptr;
  return Bind(new (std::nothrow) JColorSwatch(id, d->GetName()), d, idBypass, kLineSwatchNoData);
}

void JColorSwatch::DeleteThis() { delete this; }
int JColorSwatch::Own(int id) { return id == idSwatch; }

COLORREF JColorSwatch::Data2View(int t) {
  Point3 c(0, 0, 0);
  GetValue(t, &c);
  return RGB(UnitToByte(c.x), UnitToByte(c.y), UnitToByte(c.z));
}

int JColorSwatch::Init(int t) {
  if (ics) ReleaseIColorSwatch(ics);  // a second Init takes the swatch afresh
  ics = nullptr;
  HWND swatch = GetDlgItem(hwndParent(), idSwatch);
  if (swatch) ics = GetIColorSwatch(swatch, 0, title);
  JViewLeaf::Init(t);
  if (!ics) assert1(kLineSwatchNoCtl, kSource);
  return ics != nullptr;
}

void JColorSwatch::Destroy() {
  if (ics)
    ReleaseIColorSwatch(ics);
  else
    assert1(kLineSwatchRelease, kSource);
  ics = nullptr;
  JViewLeaf::Destroy();
}

int JColorSwatch::Valid(int t) { return ics && ics->GetColor() == Data2View(t); }

void JColorSwatch::UpdateData(int t, int, unsigned int, UINT_PTR) {
  if (!ics || !JViewCtl::Data()) return;
  COLORREF c = ics->GetColor();
  Point3 value(GetRValue(c) * kByteToUnit, GetGValue(c) * kByteToUnit, GetBValue(c) * kByteToUnit);
  WriteBack(t, &value);
  ShowKeyBrackets(t);
}

void JColorSwatch::UpdateView(int t, ReferenceTarget*) {
  if (!ics || !JViewCtl::Data()) return;
  ics->SetColor(Data2View(t), FALSE);
  ShowKeyBrackets(t);
}

void JColorSwatch::ShowKeyBrackets(int t) { ics->SetKeyBrackets(HasKeyAt(Data(), t)); }

void JColorSwatch::Activate(int on) {
  if (ics) ics->Activate(on);
}

// ---- JViewSpinner ----------------------------------------------------------------------------

JViewSpinner::JViewSpinner(int spin, int edit) : isc(nullptr), idSpin(spin), idEdit(edit) {}

void JViewSpinner::DeleteThis() { delete this; }
int JViewSpinner::Own(int id) { return id == idSpin; }

float JViewSpinner::Shown(int t) { return Dim()->Convert(FirstComponent(this, t)); }

int JViewSpinner::Init(int t) {
  if (isc) ReleaseISpinner(isc);  // a second Init sets the spinner up afresh
  isc = SetupSpinner(Shown(t));
  if (!isc) {
    assert1(kLineSpinNoCtl, kSource);
    return 0;
  }
  isc->SetResetValue(ResetValue(LowLimit(), HighLimit()));
  return 1;
}

void JViewSpinner::Destroy() {
  ReleaseISpinner(isc);
  isc = nullptr;
  JViewLeaf::Destroy();
}

int JViewSpinner::Enable(int on) {
  if (!isc) return 0;
  int was = isc->IsEnabled() ? 1 : 0;
  isc->Enable(on ? TRUE : FALSE);
  return was;
}

int JViewSpinner::Valid(int t) { return isc && FirstComponent(this, t) == Dim()->UnConvert(isc->GetFVal()); }

void JViewSpinner::UpdateData(int t, int, unsigned int, UINT_PTR) {
  if (!isc || !JViewCtl::Data()) return;
  // Room for three components: the leaf reads back what its controller holds into the value.
  float stored[3] = {Dim()->UnConvert(isc->GetFVal()), 0, 0};
  WriteBack(t, stored);
  ShowKeyBrackets(t);
}

void JViewSpinner::UpdateView(int t, ReferenceTarget*) {
  if (!isc || !JViewCtl::Data()) return;
  isc->SetValue(Shown(t), FALSE);
  ShowKeyBrackets(t);
}

void JViewSpinner::ShowKeyBrackets(int t) { isc->SetKeyBrackets(HasKeyAt(Data(), t)); }

JFloatSpinner::JFloatSpinner(int spin, int edit, float lo, float hi, float s)
    : JViewSpinner(spin, edit), low(lo), high(hi), scale(s) {}

JFloatSpinner* JFloatSpinner::Create(JData* d, int idBypass, int spin, int edit, float lo, float hi, float s) {
  if (!HasData(d, kLineSpinNoData)) return nullptr;
  return Bind(new (std::nothrow) JFloatSpinner(spin, edit, lo, hi, s), d, idBypass, kLineSpinNoData);
}

ISpinnerControl* JFloatSpinner::SetupSpinner(float shown) {
  return SetupFloatSpinner(hwndParent(), idSpin, idEdit, low, high, shown, scale);
}

JIntSpinner::JIntSpinner(int spin, int edit, int lo, int hi) : JViewSpinner(spin, edit), low(lo), high(hi) {}

JIntSpinner* JIntSpinner::Create(JData* d, int idBypass, int spin, int edit, int lo, int hi) {
  if (!HasData(d, kLineSpinNoData)) return nullptr;
  return Bind(new (std::nothrow) JIntSpinner(spin, edit, lo, hi), d, idBypass, kLineSpinNoData);
}

ISpinnerControl* JIntSpinner::SetupSpinner(float shown) {
  return SetupIntSpinner(hwndParent(), idSpin, idEdit, low, high, (int)shown);
}

// ---- JViewSpinner3 ---------------------------------------------------------------------------

JViewSpinner3::JViewSpinner3(const int spinIds[3], const int editIds[3]) : isc{nullptr, nullptr, nullptr} {
  for (int i = 0; i < 3; i++) {
    idSpin[i] = spinIds[i];
    idEdit[i] = editIds[i];
  }
}

void JViewSpinner3::DeleteThis() { delete this; }
int JViewSpinner3::Own(int id) { return id == idSpin[0] || id == idSpin[1] || id == idSpin[2]; }

void JViewSpinner3::Data2View(int t, Point3& shown) {
  Point3 p(0, 0, 0);
  GetValue(t, &p);
  ParamDimension* dim = Dim();
  shown = Point3(dim->Convert(p.x), dim->Convert(p.y), dim->Convert(p.z));
}

void JViewSpinner3::ReleaseSpinners() {
  for (ISpinnerControl*& s : isc) {
    ReleaseISpinner(s);
    s = nullptr;
  }
}

int JViewSpinner3::Init(int t) {
  ReleaseSpinners();
  Point3 shown;
  Data2View(t, shown);
  float reset = ResetValue(LowLimit(), HighLimit());
  int all = 1;
  for (int i = 0; i < 3; i++) {
    isc[i] = SetupSpinner(i, shown[i]);
    if (isc[i])
      isc[i]->SetResetValue(reset);
    else
      all = 0;
  }
  if (!all) assert1(kLineSpin3NoCtl, kSource);
  return all;
}

void JViewSpinner3::Destroy() {
  ReleaseSpinners();
  JViewLeaf::Destroy();
}

int JViewSpinner3::Valid(int t) {
  if (!isc[0] || !isc[1] || !isc[2]) return 0;
  Point3 p(0, 0, 0);
  GetValue(t, &p);
  ParamDimension* dim = Dim();
  for (int i = 0; i < 3; i++)
    if (p[i] != dim->UnConvert(isc[i]->GetFVal())) return 0;
  return 1;
}

void JViewSpinner3::UpdateData(int t, int, unsigned int, UINT_PTR) {
  if (!isc[0] || !isc[1] || !isc[2] || !JViewCtl::Data()) return;
  ParamDimension* dim = Dim();
  Point3 stored(dim->UnConvert(isc[0]->GetFVal()), dim->UnConvert(isc[1]->GetFVal()),
                dim->UnConvert(isc[2]->GetFVal()));
  WriteBack(t, &stored);
}

void JViewSpinner3::UpdateView(int t, ReferenceTarget*) {
  if (!JViewCtl::Data()) return;
  Point3 shown;
  Data2View(t, shown);
  for (int i = 0; i < 3; i++)
    if (isc[i]) isc[i]->SetValue(shown[i], FALSE);
}

JFloatSpinner3::JFloatSpinner3(const int spinIds[3], const int editIds[3], float lo, float hi, float s)
    : JViewSpinner3(spinIds, editIds), low(lo), high(hi), scale(s) {}

JFloatSpinner3* JFloatSpinner3::Create(JData* d, int idBypass, int sx, int ex, int sy, int ey, int sz, int ez,
                                       float lo, float hi, float s) {
  if (!HasData(d, kLineSpin3NoData)) return nullptr;
  const int spins[3] = {sx, sy, sz}, edits[3] = {ex, ey, ez};
  return Bind(new (std::nothrow) JFloatSpinner3(spins, edits, lo, hi, s), d, idBypass, kLineSpin3NoData);
}

ISpinnerControl* JFloatSpinner3::SetupSpinner(int i, float shown) {
  return SetupFloatSpinner(hwndParent(), idSpin[i], idEdit[i], low, high, shown, scale);
}

JIntSpinner3::JIntSpinner3(const int spinIds[3], const int editIds[3], int lo, int hi)
    : JViewSpinner3(spinIds, editIds), low(lo), high(hi) {}

JIntSpinner3* JIntSpinner3::Create(JData* d, int idBypass, int sx, int ex, int sy, int ey, int sz, int ez, int lo,
                                   int hi) {
  if (!HasData(d, kLineSpin3NoData)) return nullptr;
  const int spins[3] = {sx, sy, sz}, edits[3] = {ex, ey, ez};
  return Bind(new (std::nothrow) JIntSpinner3(spins, edits, lo, hi), d, idBypass, kLineSpin3NoData);
}

ISpinnerControl* JIntSpinner3::SetupSpinner(int i, float shown) {
  return SetupIntSpinner(hwndParent(), idSpin[i], idEdit[i], low, high, (int)shown);
}

// ---- JViewFSpinner ---------------------------------------------------------------------------

JViewFSpinner::JViewFSpinner(int spin) : isc(nullptr), idSpin(spin) {}

JViewFSpinner* JViewFSpinner::Create(int spin) {
  return Bind(new (std::nothrow) JViewFSpinner(spin), nullptr, -1, kLineStepAlloc);
}

void JViewFSpinner::DeleteThis() { delete this; }
int JViewFSpinner::Own(int id) { return id == idSpin; }
int JViewFSpinner::Valid(int) { return 0; }
void JViewFSpinner::UpdateView(int, ReferenceTarget*) {}

int JViewFSpinner::Init(int) {
  ReleaseISpinner(isc);
  isc = GetISpinner(GetDlgItem(hwndParent(), idSpin));
  if (!isc) return 0;
  // Whole steps: one arrow click is one step, and a drag steps each time it has moved a step
  // beyond where the last step set the value back to 0.
  isc->LinkToEdit(nullptr, EDITTYPE_INT);
  isc->SetValue(0, FALSE);
  isc->SetLimits(INT_MIN, INT_MAX, FALSE);
  return 1;
}

void JViewFSpinner::Destroy() {
  ReleaseISpinner(isc);
  isc = nullptr;
  JViewLeaf::Destroy();
}

void JViewFSpinner::UpdateData(int, int, unsigned int, UINT_PTR) {
  if (!isc) return;
  int moved = isc->GetIVal();
  if (moved != 0) SendMessageA(hwndParent(), JWM_VIEWSTEP, (WPARAM)(INT_PTR)(moved > 0 ? 1 : -1), (LPARAM)this);
  isc->SetValue(0, FALSE);
}
