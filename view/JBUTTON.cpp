// Button-like view controls: push buttons, host custom buttons, check boxes, radio groups and
// drop-down lists.
#include "JButton.h"
#include "JLeaf.h"
#include "JViewDlg.h"

#include <cstring>
#include <new>
#include <string>

namespace {
const char kSource[] = "JVIEW";
const int kLineNoMemory = 24;
const int kLineRadioNoData = 25;
const int kLineListNoData = 26;
const int kLineNoCustButton = 27;

// Messages the controls pass to their callbacks besides the routed ones.
const unsigned int kMsgInit = WM_INITDIALOG;  // the control was initialised
const unsigned int kMsgRefresh = WM_PAINT;    // the control was refreshed

// Owner drawing: the button styles of the low word are replaced by BS_OWNERDRAW.
const LONG_PTR kKeepStyles = (LONG_PTR)(LONG)0xFFFF000B;

// The host colour that highlights a checked two-callback custom button by default.
const int kDefaultHighlightColor = 4;
const unsigned long kNoHighlight = 0xFFFFFFFFul;

// A new control as it is, or the library's assertion when memory was short.
template <class T>
T* Reported(T* c) {
  if (!c) assert1(kLineNoMemory, kSource);
  return c;
}

// An image list of count images cut from a bitmap resource, or null.
HIMAGELIST CutImages(HINSTANCE hinst, int bitmapId, int count, int& cx, int& cy) {
  cx = 0;
  cy = 0;
  return JCreateImageList(hinst, bitmapId, count, cx, cy);
}

// Replaces an owned image list.
void Keep(HIMAGELIST& owned, HIMAGELIST list) {
  if (owned) ImageList_Destroy(owned);
  owned = list;
}

// The leaf value at t truncated towards zero, 0 without a leaf.
int Truncated(JViewLeaf* view, int t) {
  JDataLeafBase* leaf = view->Data();
  return leaf ? leaf->GetIValue(t) : 0;
}
}  // namespace

// ---- JButton -----------------------------------------------------------------------------------

JButton::JButton()
    : idCtl(0),
      updated(0),
      callback(nullptr),
      user(nullptr),
      images(nullptr),
      iNormal(0),
      iPressed(0),
      iDisabled(0),
      iDisabledPressed(0),
      imageWidth(0),
      imageHeight(0) {}

JButton::~JButton() { Keep(images, nullptr); }

JButton* JButton::Create(JData* d, int id, Callback cb, void* u) {
  JButton* b = Reported(new (std::nothrow) JButton);
  return b ? b->Setup(d, id, cb, u) : nullptr;
}

JButton* JButton::Setup(JData* d, int id, Callback cb, void* u) {
  JViewCtl::Setup(d, -1);
  idCtl = id;
  updated = 0;
  callback = cb;
  user = u;
  return this;
}

void JButton::Set(JData* d, int t, Callback cb, void* u) {
  callback = cb;
  user = u;
  JViewCtl::Set(d, t);
}

int JButton::SetImage(HINSTANCE hinst, int bitmapId, int count, int normal, int pressed, int disabled,
                      int disabledPressed) {
  int cx, cy;
  HIMAGELIST list = CutImages(hinst, bitmapId, count, cx, cy);
  if (!list) return 0;
  Keep(images, list);
  iNormal = normal;
  iPressed = pressed;
  iDisabled = disabled;
  iDisabledPressed = disabledPressed;
  imageWidth = cx;
  imageHeight = cy;
  return 1;
}

HWND JButton::GetHwnd() { return GetDlgItem(hwndParent(), idCtl); }
void JButton::DeleteThis() { delete this; }
int JButton::Own(int id) { return id == idCtl; }
int JButton::Valid(int) { return 0; }

int JButton::Init(int t) {
  HWND w = GetHwnd();
  if (images && w) {
    LONG_PTR style = GetWindowLongPtrA(w, GWL_STYLE);
    SetWindowLongPtrA(w, GWL_STYLE, (style & kKeepStyles) | BS_OWNERDRAW);
    InvalidateRect(w, nullptr, TRUE);
  }
  if (callback) callback(this, user, t, idCtl, kMsgInit, 0);
  return 1;
}

void JButton::UpdateData(int t, int id, unsigned int msg, UINT_PTR param) {
  if (msg == WM_DRAWITEM) {
    if (images && param) Draw(reinterpret_cast<const DRAWITEMSTRUCT*>(param));
    return;
  }
  if (callback) callback(this, user, t, id, msg, param);
}

void JButton::UpdateView(int t, ReferenceTarget* changed) {
  updated = 1;
  if (callback) callback(this, user, t, idCtl, kMsgRefresh, (UINT_PTR)changed);
}

void JButton::Draw(const DRAWITEMSTRUCT* item) {
  bool pressed = (item->itemState & ODS_SELECTED) != 0;
  bool disabled = (item->itemState & ODS_DISABLED) != 0;
  RECT r = item->rcItem;
  UINT frame = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | (pressed ? DFCS_PUSHED : 0) | (disabled ? DFCS_INACTIVE : 0);
  DrawFrameControl(item->hDC, &r, DFC_BUTTON, frame);
  int index = disabled ? (pressed ? iDisabledPressed : iDisabled) : (pressed ? iPressed : iNormal);
  // Centred on the face; a pressed face sinks by one pixel.
  int shift = pressed ? 1 : 0;
  int x = r.left + (r.right - imageWidth - 1) / 2 + shift;
  int y = r.top + (r.bottom - imageHeight - 1) / 2 + shift;
  ImageList_Draw(images, index, item->hDC, x, y, ILD_TRANSPARENT);
  if (item->itemState & ODS_FOCUS) {
    InflateRect(&r, -1, -1);
    DrawFocusRect(item->hDC, &r);
  }
}

// ---- JCustButton -------------------------------------------------------------------------------

JCustButton::JCustButton()
    : button(nullptr),
      idCtl(0),
      first(nullptr),
      second(nullptr),
      firstUser(nullptr),
      secondUser(nullptr),
      type(CBT_PUSH),
      highlight(kNoHighlight),
      images(nullptr),
      iOutEnabled(0),
      iInEnabled(0),
      iOutDisabled(0),
      iInDisabled(0),
      imageWidth(0),
      imageHeight(0) {}

JCustButton::~JCustButton() {
  if (button) ReleaseICustButton(button);
  Keep(images, nullptr);
}

JCustButton* JCustButton::Create(JData* d, int idBypass, int id, Callback cb1, void* u1, Callback cb2, void* u2,
                                 CustButType kind, unsigned long color) {
  JCustButton* b = Reported(new (std::nothrow) JCustButton);
  if (!b) return nullptr;
  b->Setup(d, idBypass);
  b->idCtl = id;
  b->first = cb1;
  b->firstUser = u1;
  b->second = cb2;
  b->secondUser = u2;
  b->type = kind;
  b->highlight = color;
  return b;
}

JCustButton* JCustButton::Create(JData* d, int idBypass, int id, Callback cb, void* u, CustButType kind,
                                 unsigned long color) {
  return Create(d, idBypass, id, cb, u, nullptr, nullptr, kind, color);
}

JCustButton* JCustButton::Create(JData* d, int idBypass, int id, Callback cb1, void* u1, Callback cb2, void* u2) {
  return Create(d, idBypass, id, cb1, u1, cb2, u2, CBT_CHECK, GetColorManager()->GetColor(kDefaultHighlightColor));
}

void JCustButton::Set(JData* d, int t, Callback cb1, void* u1, Callback cb2, void* u2) {
  first = cb1;
  firstUser = u1;
  second = cb2;
  secondUser = u2;
  JViewCtl::Set(d, t);
}

HWND JCustButton::GetHwnd() { return GetDlgItem(hwndParent(), idCtl); }
void JCustButton::DeleteThis() { delete this; }
int JCustButton::Own(int id) { return id == idCtl; }

void JCustButton::SetType(CustButType kind) {
  type = kind;
  if (button) button->SetType(kind);
}

void JCustButton::SetCheckHighlight(int on) {
  if (button) button->SetCheckHighlight(on ? TRUE : FALSE);
}

void JCustButton::SetHighlightColor(unsigned long color) {
  highlight = color;
  if (button) button->SetHighlightColor((COLORREF)color);
}

void JCustButton::SetFlyOff(int count, FlyOffData* data, int timeOut, int init, int dir) {
  if (button) button->SetFlyOff(count, data, timeOut, init, dir, 1);
  SetType(CBT_CHECK);
}

void JCustButton::SetTooltip(const char* text) {
  if (!button) return;
  if (text == LPSTR_TEXTCALLBACKA) {
    button->SetTooltip(TRUE, text);
    return;
  }
  tooltip.Copy(text, JMemBlock::kText);
  button->SetTooltip(text ? TRUE : FALSE, tooltip.Data());
}

int JCustButton::SetImage(HINSTANCE hinst, int bitmapId, int count, int outEnabled, int inEnabled, int outDisabled,
                          int inDisabled) {
  int cx, cy;
  HIMAGELIST list = CutImages(hinst, bitmapId, count, cx, cy);
  if (!list) return 0;
  iOutEnabled = outEnabled;
  iInEnabled = inEnabled;
  iOutDisabled = outDisabled;
  iInDisabled = inDisabled;
  imageWidth = cx;
  imageHeight = cy;
  // The host button keeps drawing from the list it has until it gets the new one.
  HIMAGELIST old = images;
  images = list;
  GiveImages();
  if (old) ImageList_Destroy(old);
  return 1;
}

void JCustButton::GiveImages() {
  if (button && images)
    button->SetImage(images, iOutEnabled, iInEnabled, iOutDisabled, iInDisabled, imageWidth, imageHeight);
}

int JCustButton::Init(int t) {
  if (button) ReleaseICustButton(button);
  button = GetICustButton(GetHwnd());
  if (!button) {
    assert1(kLineNoCustButton, kSource);
    return 0;
  }
  GiveImages();
  SetType(type);
  if (highlight != kNoHighlight) {
    SetCheckHighlight(1);
    SetHighlightColor(highlight);
  } else {
    SetCheckHighlight(0);
  }
  if (first) first(this, firstUser, t, idCtl, kMsgInit, 0);
  if (second) second(this, secondUser, t, idCtl, kMsgInit, 0);
  return 1;
}

int JCustButton::Data2View(int t) {
  int v = Truncated(this, t);
  return v < 0 ? 0 : v;
}

int JCustButton::Shown() { return (button->IsChecked() ? 1 : 0) + 2 * button->GetCurFlyOff(); }

void JCustButton::UpdateData(int t, int id, unsigned int msg, UINT_PTR param) {
  if (first) first(this, firstUser, t, id, msg, param);
  if (Data() && msg == WM_COMMAND && button && type == CBT_CHECK) WriteBack(t, (float)Shown());
  if (second) second(this, secondUser, t, id, msg, param);
}

void JCustButton::UpdateView(int t, ReferenceTarget*) {
  if (Data() && button && type == CBT_CHECK) {
    int v = Data2View(t);
    button->SetCheck(v % 2);
    button->SetCurFlyOff(v / 2, FALSE);
  }
  if (first) first(this, firstUser, t, idCtl, kMsgRefresh, 0);
}

int JCustButton::Valid(int t) {
  if (!Data() || !button || type != CBT_CHECK) return 0;
  return Data2View(t) == Shown();
}

// ---- JCheckButton ------------------------------------------------------------------------------

JCheckButton::JCheckButton() : idCtl(0), first(nullptr), second(nullptr), firstUser(nullptr), secondUser(nullptr) {}

JCheckButton* JCheckButton::Create(JData* d, int idBypass, int id, Callback cb1, void* u1, Callback cb2, void* u2) {
  JCheckButton* b = Reported(new (std::nothrow) JCheckButton);
  if (!b) return nullptr;
  b->Setup(d, idBypass);
  b->idCtl = id;
  b->first = cb1;
  b->firstUser = u1;
  b->second = cb2;
  b->secondUser = u2;
  return b;
}

void JCheckButton::Set(JData* d, int t, Callback cb1, void* u1, Callback cb2, void* u2) {
  first = cb1;
  firstUser = u1;
  second = cb2;
  secondUser = u2;
  JViewCtl::Set(d, t);
}

HWND JCheckButton::GetHwnd() { return GetDlgItem(hwndParent(), idCtl); }
void JCheckButton::DeleteThis() { delete this; }
int JCheckButton::Own(int id) { return id == idCtl; }

int JCheckButton::Data2View(int t) {
  JDataLeafBase* leaf = Data();
  return leaf && leaf->GetFValue(t) >= 1.0f ? 1 : 0;
}

void JCheckButton::UpdateData(int t, int id, unsigned int msg, UINT_PTR param) {
  if (first) first(this, firstUser, t, id, msg, param);
  if (msg == WM_COMMAND) WriteBack(t, IsDlgButtonChecked(hwndParent(), idCtl) == BST_CHECKED ? 1.0f : 0.0f);
  if (second) second(this, secondUser, t, id, msg, param);
}

void JCheckButton::UpdateView(int t, ReferenceTarget*) { CheckDlgButton(hwndParent(), idCtl, Data2View(t)); }

int JCheckButton::Valid(int t) { return (UINT)Data2View(t) == IsDlgButtonChecked(hwndParent(), idCtl); }

// ---- JRadioButton ------------------------------------------------------------------------------

JRadioButton::JRadioButton() : ids(nullptr), mapping(nullptr), callback(nullptr), user(nullptr) {}

JRadioButton* JRadioButton::Create(JData* d, int idBypass, int* list, Callback cb, void* u, Mapping map) {
  if (!d) {
    assert1(kLineRadioNoData, kSource);
    return nullptr;
  }
  JRadioButton* r = Reported(new (std::nothrow) JRadioButton);
  return r ? r->Setup(d, idBypass, list, cb, u, map) : nullptr;
}

JRadioButton* JRadioButton::Create(JData* d, int idBypass, int* list, Mapping map) {
  return Create(d, idBypass, list, nullptr, nullptr, map);
}

JRadioButton* JRadioButton::Setup(JData* d, int idBypass, int* list, Callback cb, void* u, Mapping map) {
  if (!d) {
    assert1(kLineRadioNoData, kSource);
    return nullptr;
  }
  JViewCtl::Setup(d, idBypass);
  ids = list;
  callback = cb;
  user = u;
  mapping = map;
  return this;
}

JRadioButton* JRadioButton::Setup(JData* d, int idBypass, int* list, Mapping map) {
  return Setup(d, idBypass, list, nullptr, nullptr, map);
}

void JRadioButton::Set(JData* d, int t, Callback cb, void* u) {
  callback = cb;
  user = u;
  JViewCtl::Set(d, t);
}

void JRadioButton::DeleteThis() { delete this; }

int JRadioButton::Count() {
  int n = 0;
  if (ids)
    while (ids[n] != -1) n++;
  return n;
}

int JRadioButton::Own(int id) {
  for (int i = 0, n = Count(); i < n; i++)
    if (ids[i] == id) return 1;
  return 0;
}

int JRadioButton::Init(int t) {
  if (callback) callback(this, user, t, kMsgInit, 0);
  return 1;
}

int JRadioButton::Data2View(int t, int& value) {
  int n = Count();
  if (n == 0) return -1;
  // The data may be a node that only the mapping understands, so it is passed as it is bound.
  value = mapping ? mapping(t, dynamic_cast<JData*>(JViewCtl::Data()), nullptr) : Truncated(this, t);
  if (value < 1) return ids[0];
  return ids[value < n ? value : n - 1];
}

void JRadioButton::UpdateData(int t, int, unsigned int msg, UINT_PTR param) {
  if (msg != WM_COMMAND) return;
  int index = 0;
  for (int i = 0, n = Count(); i < n; i++)
    if (IsDlgButtonChecked(hwndParent(), ids[i]) == BST_CHECKED) {
      index = i;
      break;
    }
  int was = SetFreeze(1);
  if (mapping)
    mapping(t, dynamic_cast<JData*>(JViewCtl::Data()), &index);
  else
    WriteBack(t, (float)index);
  SetFreeze(was);
  if (callback) callback(this, user, t, WM_COMMAND, param);
}

void JRadioButton::UpdateView(int t, ReferenceTarget* changed) {
  int value = 0;
  int shown = Data2View(t, value);
  for (int i = 0, n = Count(); i < n; i++)
    CheckDlgButton(hwndParent(), ids[i], ids[i] == shown ? BST_CHECKED : BST_UNCHECKED);
  if (callback) callback(this, user, t, kMsgRefresh, (UINT_PTR)changed);
}

int JRadioButton::Valid(int t) {
  int value = 0;
  int shown = Data2View(t, value);
  return shown != -1 && IsDlgButtonChecked(hwndParent(), shown) == BST_CHECKED;
}

// ---- JDropDownListBox --------------------------------------------------------------------------

JDropDownListBox::JDropDownListBox()
    : idCtl(0), first(nullptr), second(nullptr), firstUser(nullptr), secondUser(nullptr) {}

JDropDownListBox* JDropDownListBox::Create(JData* d, int idBypass, int id, const char* text, Callback cb1, void* u1,
                                           Callback cb2, void* u2) {
  if (!d) {
    assert1(kLineListNoData, kSource);
    return nullptr;
  }
  JDropDownListBox* b = Reported(new (std::nothrow) JDropDownListBox);
  if (!b) return nullptr;
  if (text && !b->items.Copy(text, JMemBlock::kText)) {
    assert1(kLineNoMemory, kSource);
    b->DeleteThis();
    return nullptr;
  }
  b->Setup(d, idBypass);
  b->idCtl = id;
  b->first = cb1;
  b->firstUser = u1;
  b->second = cb2;
  b->secondUser = u2;
  return b;
}

void JDropDownListBox::Set(JData* d, int t, Callback cb1, void* u1, Callback cb2, void* u2) {
  first = cb1;
  firstUser = u1;
  second = cb2;
  secondUser = u2;
  JViewCtl::Set(d, t);
}

HWND JDropDownListBox::GetHwnd() { return GetDlgItem(hwndParent(), idCtl); }
void JDropDownListBox::DeleteThis() { delete this; }
int JDropDownListBox::Own(int id) { return id == idCtl; }

int JDropDownListBox::Init(int) {
  HWND combo = GetHwnd();
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  const char* text = items.Data() ? items.Data() : "";
  // Items are the pieces between newlines: an empty text, or one ending in a newline, gives an
  // empty item at the end.
  for (;;) {
    const char* end = std::strchr(text, '\n');
    std::string item(text, end ? (size_t)(end - text) : std::strlen(text));
    SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)item.c_str());
    if (!end) break;
    text = end + 1;
  }
  return 1;
}

int JDropDownListBox::Data2View(int t) {
  int v = Truncated(this, t);
  if (v < 1) return 0;
  int last = (int)SendMessageA(GetHwnd(), CB_GETCOUNT, 0, 0) - 1;
  return v < last ? v : last;
}

void JDropDownListBox::UpdateData(int t, int id, unsigned int msg, UINT_PTR param) {
  if (first) first(this, firstUser, t, id, msg, param);
  if (msg == WM_COMMAND && param == CBN_SELCHANGE)
    WriteBack(t, (float)SendMessageA(GetHwnd(), CB_GETCURSEL, 0, 0));
  if (second) second(this, secondUser, t, id, msg, param);
}

void JDropDownListBox::UpdateView(int t, ReferenceTarget*) {
  SendMessageA(GetHwnd(), CB_SETCURSEL, (WPARAM)Data2View(t), 0);
}

int JDropDownListBox::Valid(int t) { return Data2View(t) == (int)SendMessageA(GetHwnd(), CB_GETCURSEL, 0, 0); }
