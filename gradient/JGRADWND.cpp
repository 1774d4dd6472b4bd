// The gradient window and its label.
#include "JGradCtl.h"

#include "JClassDesc.h"
#include "JColor.h"
#include "JFlagCtl.h"
#include "JSelectFile.h"
#include "JViewDlg.h"
#include "vctrl.h"
#include "vcore.h"

#include <math.h>

#include <algorithm>
#include <new>
#include <stdio.h>
#include <string.h>
#include <windowsx.h>

namespace {

const char kSource[] = "JGRADCTL";
const int kLineCreate = 1415;       // the plain form
const int kLineCreateLabel = 1485;  // the forms with a label

// String ids of the menu items (each item's command id is its string id) and of the texts.
enum {
  kStrFlagName = 1002,
  kCmdReset = 1102,
  kCmdLoad = 1103,
  kCmdSave = 1104,
  kCmdLoadUVMap = 1105,
  kStrSelectUVMap = 1106,
  kCmdLoadBitmap = 1107,
  kStrSelectBitmap = 1108,
  kCmdFlagMode = 1110,
  kCmdCopy = 1111,
  kCmdPaste = 1112,
  kStrBitmapError = 1113,
  kStrCannotLoad = 1114,
  kCmdComposite = 1200,     // 1200..1204: the composite choices
  kStrCompositeShort = 1205  // 1205..1209: their short names in the label
};

// Who is told of a change: the whole time range, every part of the object.
const PartID kAllParts = 0x800037FF;
const RefMessage kMsgFlagsChanged = REFMSG_SUBANIM_STRUCTURE_CHANGED;  // 258

const int kMarkerWidth = 9;
const int kMarkerHeight = 12;
const int kTipLift = 5;  // the marker tips run this far above the image's lower edge
const COLORREF kPanelColorId = 15;  // the host colour manager's panel background
const UINT kCodePageJapanese = 932;

// The last copied gradient, shared by every gradient window; emptied when any window goes.
JGradCtlData* clipboard = nullptr;
// Set while DeleteAll runs: every flag may go, and the single deletions do not refresh.
int deletingAll = 0;

void DropClipboard() {
  if (clipboard) clipboard->DeleteMe();
  clipboard = nullptr;
}

// The N of a "Flag #N" name; 1 for a name that does not match, or no name.
unsigned int FlagNumber(JFlagCtlData* flag) {
  const char* name = flag ? flag->GetName() : nullptr;
  unsigned int n = 0;
  if (!name || sscanf(name, GetResString(kStrFlagName), &n) != 1) return 1;
  return n;
}

// A copy of string id, for texts built while further strings are read.
void CopyString(char* out, size_t size, int id) { snprintf(out, size, "%s", GetResString(id)); }

JGradCtlData* AsGradient(void* created) {
  return created ? dynamic_cast<JGradCtlData*>(static_cast<Animatable*>(created)) : nullptr;
}

}  // namespace

// ---- The label ----------------------------------------------------------------------------

JGradCtlLabel::JGradCtlLabel() : owner(nullptr), ctrlId(-1), fontHeight(GetACP() == kCodePageJapanese ? 12 : 8) {}

JGradCtlLabel::~JGradCtlLabel() {}

void JGradCtlLabel::Setup(JGradCtl* o, int id) {
  owner = o;
  ctrlId = id;
}

int JGradCtlLabel::Init() {
  if (!owner) return 1;
  HWND item = GetDlgItem(owner->hwndParent(), ctrlId);
  if (!item) return 0;
  hwnd = item;
  SetWinProc(item, this);
  return 1;
}

void JGradCtlLabel::UpdateView() {
  if (!owner || !hwnd || !IsWindow(hwnd)) return;
  InvalidateRect(hwnd, nullptr, TRUE);
  UpdateWindow(hwnd);
}

int JGradCtlLabel::SetFontHeight(int h) {
  int old = fontHeight;
  fontHeight = h;
  return old;
}

void JGradCtlLabel::GetText(char* text, int size) {
  if (size <= 0) return;
  text[0] = 0;
  if (!owner) return;
  JGradCtlData* g = owner->Data();
  if (!g) return;
  JViewDlgBase* dlg = owner->Parent();
  int t = dlg ? dlg->GetTime() : 0;
  size_t room = (size_t)size;
  size_t used = 0;
  auto add = [&](const char* s) {
    if (used + 1 < room) used += (size_t)snprintf(text + used, room - used, "%s", s);
    if (used >= room) used = room - 1;
  };
  char part[320];
  switch (g->GetMode()) {
    case JGradCtlData::kFlagMode: {
      int active = owner->GetLastActive();
      // While a gradient is being replaced the active index may be past its flags.
      JFlagCtlData* flag = active >= 0 && active < g->GetFlagCount() ? g->GetFlag(active) : nullptr;
      if (!flag) break;
      Point3 c;
      float pos;
      flag->GetColor(t, c);
      flag->GetPos(t, pos);
      if (owner->GetStyle() & JGRADCTL_MONO)
        snprintf(part, sizeof part, "Val=%u", (unsigned)(luminosity(c.x, c.y, c.z) * 255.0f));
      else
        snprintf(part, sizeof part, "R=%u,G=%u,B=%u", (unsigned)lroundf(c.x * 255.0f), (unsigned)lroundf(c.y * 255.0f),
                 (unsigned)lroundf(c.z * 255.0f));
      add(part);
      add(", ");
      snprintf(part, sizeof part, "Pos=%u", (unsigned)lroundf(pos * 100.0f));
      add(part);
      break;
    }
    case JGradCtlData::kUVMapMode:
    case JGradCtlData::kBitmapMode: {
      BitmapInfo bi;
      g->GetBitmapInfo(&bi);
      const char* name = bi.Filename();
      if (!name) name = bi.Device();
      add(g->GetMode() == JGradCtlData::kUVMapMode ? "UV Map=" : "Bitmap=");
      add(name);
      break;
    }
  }
  int v = owner->GetCompositeValue();
  if (v >= 0) {
    add(", ");
    add(GetResString(kStrCompositeShort + v));
  }
}

void JGradCtlLabel::OnPaint(HDC dc) {
  char text[512];
  GetText(text, sizeof text);
  SetBkColor(dc, GetColorManager()->GetColor(kPanelColorId));
  bool japanese = GetACP() == kCodePageJapanese;
  // "MS P Gothic" in full-width letters, in Shift-JIS.
  const char* face = japanese ? "\x82\x6c\x82\x72 \x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e" : "MS Sans Serif";
  HFONT font = CreateFontA(fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           japanese ? SHIFTJIS_CHARSET : DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, japanese ? DEFAULT_PITCH : (DEFAULT_PITCH | FF_SWISS), face);
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  RECT r;
  GetClientRect(hwnd, &r);
  DrawTextA(dc, text, -1, &r, DT_SINGLELINE | DT_RIGHT);
  if (font) {
    SelectObject(dc, old);
    DeleteObject(font);
  }
}

LRESULT JGradCtlLabel::WinProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect((HDC)wParam, &r, GetColorManager()->GetBrush(kPanelColorId));
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      OnPaint(dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// ---- Creation -----------------------------------------------------------------------------

JGradCtl::JGradCtl()
    : style(0),
      markerWidth(0),
      markerHeight(0),
      dragRect{0, 0, 0, 0},
      nextFlagNumber(1),
      activeIndex(0),
      menu(nullptr),
      parentNode(nullptr),
      childIndex(-1),
      composite(nullptr),
      filePath{},
      dlgWnd(nullptr),
      tex(nullptr),
      mtlParams(nullptr),
      defaultLayout(nullptr) {}

JGradCtl::~JGradCtl() {
  // The worker draws through Render, which reaches this object.
  AbortUpdate();
  if (menu) DestroyMenu(menu);
  menu = nullptr;
  DropClipboard();
  HWND labelWnd = label.GetHwnd();
  if (labelWnd && GetWinProc(labelWnd) == &label) SetWinProc(labelWnd, nullptr);
}

void JGradCtl::DeleteThis() { delete this; }

JGradCtl* JGradCtl::Make(JDataNode* node, int id, int idBypass, int ctrlId, int style, JFloatData* composite,
                         int line) {
  JGradCtl* w = new (std::nothrow) JGradCtl;
  if (!w) {
    assert1(line, kSource);
    return nullptr;
  }
  JDataBase* gradient = (node && id >= 0) ? (*node)(id) : node;
  w->JViewCtl::Setup(gradient, idBypass);
  w->ctrlId = ctrlId;
  w->renderFunc = Render;
  w->renderUser = w;
  w->colorFunc = nullptr;
  w->colorUser = nullptr;
  w->aspect = 1.0f;
  SetRectEmpty(&w->imageRect);
  w->style = (unsigned long)style;
  w->parentNode = node;
  w->childIndex = id;
  w->composite = composite;
  w->activeIndex = 0;
  w->AddData(composite);
  return w;
}

JGradCtl* JGradCtl::Create(JDataNode* node, int id, int idBypass, int ctrlId, int style, JFloatData* composite) {
  return Make(node, id, idBypass, ctrlId, style, composite, kLineCreate);
}

JGradCtl* JGradCtl::Create(JDataNode* node, int id, int idBypass, int ctrlId, int style, JFloatData* composite,
                           int labelId) {
  JGradCtl* w = Make(node, id, idBypass, ctrlId, style, composite, kLineCreateLabel);
  if (w) w->label.Setup(w, labelId);
  return w;
}

JGradCtl* JGradCtl::Create(JDataNode* node, int id, int idBypass, int ctrlId, int style, JFloatData* composite,
                           int labelId, HWND dlg, Texmap* tex, IMtlParams* mtlParams) {
  JGradCtl* w = Create(node, id, idBypass, ctrlId, style, composite, labelId);
  if (w) {
    w->dlgWnd = dlg;
    w->tex = tex;
    w->mtlParams = mtlParams;
  }
  return w;
}

int JGradCtl::Render(BMM_Color_24* out, void* user, int time, int width, int height, float aspect, HWND) {
  JGradCtl* w = static_cast<JGradCtl*>(user);
  JGradCtlData* g = w ? w->Data() : nullptr;
  if (!g) return 0;
  return g->Render(out, time, width, height, aspect, (w->style & JGRADCTL_MONO) ? 1 : 0);
}

JGradCtlData* JGradCtl::Data() { return dynamic_cast<JGradCtlData*>(JViewCtl::Data()); }

// ---- View control -------------------------------------------------------------------------

int JGradCtl::Init(int t) {
  if (!JViewWnd::Init(t)) return 0;
  markerWidth = kMarkerWidth;
  markerHeight = kMarkerHeight;
  // The tips run along a line a little above the image's lower edge; the markers hang below it,
  // over the window's lower edge.
  int y = imageRect.bottom - imageRect.top - kTipLift;
  POINT ends[2] = {{imageRect.left, y}, {imageRect.right - 1, y}};
  MapWindowPoints(hwnd, hwndParent(), ends, 2);
  SetRect(&dragRect, ends[0].x, ends[0].y, ends[1].x, ends[0].y);

  CreateAll();

  if (menu) DestroyMenu(menu);
  menu = CreatePopupMenu();
  auto item = [this](int id) { AppendMenuA(menu, MF_STRING, id, GetResString(id)); };
  auto separator = [this]() { AppendMenuA(menu, MF_SEPARATOR, 0, nullptr); };
  item(kCmdReset);
  item(kCmdLoad);
  item(kCmdSave);
  separator();
  item(kCmdCopy);
  item(kCmdPaste);
  EnableMenuItem(menu, kCmdPaste, MF_BYCOMMAND | (clipboard ? MF_ENABLED : MF_GRAYED));
  separator();
  int mode = GetMode();
  item(kCmdLoadUVMap);
  CheckMenuItem(menu, kCmdLoadUVMap, MF_BYCOMMAND | (mode == JGradCtlData::kUVMapMode ? MF_CHECKED : MF_UNCHECKED));
  item(kCmdLoadBitmap);
  CheckMenuItem(menu, kCmdLoadBitmap, MF_BYCOMMAND | (mode == JGradCtlData::kBitmapMode ? MF_CHECKED : MF_UNCHECKED));
  item(kCmdFlagMode);
  CheckMenuItem(menu, kCmdFlagMode, MF_BYCOMMAND | (mode == JGradCtlData::kFlagMode ? MF_CHECKED : MF_UNCHECKED));
  if (composite) {
    separator();
    for (int i = 0; i < kCompositeCount; i++) item(kCmdComposite + i);
  }

  label.Init();
  return 1;
}

void JGradCtl::UpdateView(int t, ReferenceTarget* changed) {
  // The first drawing waits for the window's first paint, so that it happens once it is visible.
  if (!(GetUpdateFlags() & JVWF_PAINTED)) return;
  JViewWnd::UpdateView(t, changed);
  UpdateLabels();
}

void JGradCtl::Set(JDataBase* gradient, int t, JFloatData* comp) {
  if (gradient == JViewCtl::Data()) return;
  // A gradient given without its parent (this form alone) is its own parent from now on, so
  // that Reset, Load and Paste never touch the slot of the node it was bound to before.
  JDataBase* held = parentNode ? (childIndex >= 0 ? dynamic_cast<JDataBase*>(parentNode->GetReference(childIndex))
                                                  : static_cast<JDataBase*>(parentNode))
                               : nullptr;
  if (held != gradient) {
    parentNode = dynamic_cast<JDataNode*>(gradient);
    childIndex = -1;
  }
  activeIndex = 0;
  int frozen = SetFreeze(1);
  DeleteAll(0);
  if (GetDataCount() == 0) AddData(nullptr);
  SetData(gradient, 0);
  if (comp) {
    composite = comp;
    if (GetDataCount() < 2) AddData(comp);
    else SetData(comp, 1);
  }
  CreateAll();
  SetFreeze(frozen);
  UpdateView(t, nullptr);
  UpdateBypassTreeView();
}

void JGradCtl::Set(JDataNode* node, int id, int t, JFloatData* comp) {
  if (node == parentNode && id == childIndex) return;
  parentNode = node;
  childIndex = id;
  Set((node && id >= 0) ? (*node)(id) : node, t, comp);
}

// ---- Markers ------------------------------------------------------------------------------

JFlagCtl* JGradCtl::AddMarker(JFlagCtlData* flag, unsigned long markerStyle, int t) {
  JFlagCtl* m = JFlagCtl::Create(flag, -1, (int)markerStyle, kMarkerWidth, kMarkerHeight, dragRect, this, dlgWnd, tex,
                                 mtlParams);
  if (!m) return nullptr;
  if (Parent()) *Parent() += m;
  m->Init(t);
  markers.Append(1, &m);
  return m;
}

void JGradCtl::ScanFlagNumbers() {
  nextFlagNumber = 1;
  JGradCtlData* g = Data();
  int n = g ? g->GetFlagCount() : 0;
  for (int i = 0; i < n; i++) nextFlagNumber = std::max(nextFlagNumber, FlagNumber(g->GetFlag(i)));
}

void JGradCtl::CreateAll() {
  JGradCtlData* g = Data();
  int t = Parent() ? Parent()->GetTime() : 0;
  nextFlagNumber = 1;
  if (!g) return;
  int n = g->GetFlagCount();
  for (int i = 0; i < n; i++) {
    JFlagCtlData* flag = g->GetFlag(i);
    nextFlagNumber = std::max(nextFlagNumber, FlagNumber(flag));
    unsigned long markerStyle = style;
    if (i < 2) {
      markerStyle |= JFlagCtl::kStyleFixed;
      // The end flags' positions stay out of the host's tree for good: the lock stays set, so
      // that no bypass button can put them back.
      if (JDataBase* position = flag->GetPositionData()) {
        BypassTree(position, 1);
        position->SetBypassTreeMask(1);
      }
    }
    AddMarker(flag, markerStyle, t);
  }
  SetMode(g->GetMode());
  activeIndex = 0;
  if (GetMode() == JGradCtlData::kFlagMode && markers.Count() > 0) markers[0]->Activate();
}

void JGradCtl::DeleteAll(int viaNotify) {
  deletingAll = 1;
  while (markers.Count() > 0) {
    JFlagCtl* m = markers[0];
    int before = markers.Count();
    m->DestroyFlag(viaNotify);
    if (markers.Count() == before && markers[0] == m) {
      // The notify path did not take it (a flag the gradient does not hold): the marker goes
      // without it, and the table entry is the window's to drop.
      if (viaNotify) m->DestroyFlag(0);
      markers.Delete(0, 1);
    }
  }
  deletingAll = 0;
}

JFlagCtl* JGradCtl::GetFlagCtl(int i) {
  JGradCtlData* g = Data();
  if (i < 0 || !g || i >= g->GetFlagCount() || i >= markers.Count()) return nullptr;
  return markers[i];
}

int JGradCtl::GetLastActive() { return activeIndex; }
int JGradCtl::GetFlagCtlCount() { return markers.Count(); }
unsigned int JGradCtl::GetNextFlagNumber() { return nextFlagNumber; }

void JGradCtl::RepaintMarker(int i) {
  if (i >= 0 && i < markers.Count() && markers[i]->GetHwnd()) InvalidateRect(markers[i]->GetHwnd(), nullptr, TRUE);
}

// ---- The gradient -------------------------------------------------------------------------

void JGradCtl::GetColor(Point3& c, float pos, int t) {
  if (JGradCtlData* g = Data()) g->GetColor(c, pos, t);
}

int JGradCtl::GetMode() {
  JGradCtlData* g = Data();
  return g ? g->GetMode() : 0;
}

int JGradCtl::GetInterpType() {
  JGradCtlData* g = Data();
  return g ? g->GetInterpType() : 0;
}

void JGradCtl::SetInterpType(int v) {
  if (JGradCtlData* g = Data()) g->SetInterpType(v);
}

void JGradCtl::SetMode(int m) {
  JGradCtlData* g = Data();
  if (!g) return;
  g->SetMode(m);
  bool flagMode = g->GetMode() == JGradCtlData::kFlagMode;
  for (int i = 0; i < markers.Count(); i++) {
    JFlagCtl* marker = markers[i];
    if (i < 2) {
      unsigned int s = (unsigned int)marker->GetStyle();
      s = flagMode ? (s & ~JFlagCtl::kStyleDisabled) : (s | JFlagCtl::kStyleDisabled);
      marker->SetStyle((int)s);
    } else if (marker->GetHwnd()) {
      ShowWindow(marker->GetHwnd(), flagMode ? SW_SHOWNA : SW_HIDE);
    }
  }
  if (activeIndex < 2) RepaintMarker(activeIndex);
  UpdateLabels();
}

int JGradCtl::GetCompositeValue() {
  if (!composite) return -1;
  int v = (int)composite->GetFValue(0);
  return v < kHighValue ? kHighValue : v > kSubtractive ? kSubtractive : v;
}

void JGradCtl::SetCompositeValue(int v) {
  if (!composite) return;
  composite->SetValue(0, (float)v);
  UpdateLabels();
}

void JGradCtl::Reset() {
  if (hwnd) SendMessageA(hwnd, WM_COMMAND, kCmdReset, 0);
}

int JGradCtl::LoadResource(HINSTANCE h, int id) {
  defaultLayout = Load_RCDATA(h, id);
  if (JGradCtlData* g = Data()) g->SetResource(defaultLayout);
  // The pointer as an int: whole on the 32-bit module, its low half (never 0 for a resource,
  // which lies inside its module's image) on the 64-bit one.
  return (int)(INT_PTR)defaultLayout;
}

int JGradCtl::SetupResource() {
  JGradCtlData* g = Data();
  if (!g) return 0;
  g->SetResource(defaultLayout);
  return g->SetupResource();
}

void JGradCtl::UpdateLabels() { label.UpdateView(); }
int JGradCtl::GetFontHeight() { return label.GetFontHeight(); }
int JGradCtl::SetFontHeight(int h) { return label.SetFontHeight(h); }
int JGradCtl::ClipboardFull() { return clipboard ? 1 : 0; }

void JGradCtl::Refresh() {
  if (JGradCtlData* g = Data()) g->NotifyDependents(FOREVER, kAllParts, kMsgFlagsChanged);
  UpdateView(Parent() ? Parent()->GetTime() : 0, nullptr);
}

void JGradCtl::ReplaceGradient(JGradCtlData* g) {
  if (!g) return;
  g->SetResource(defaultLayout);
  DeleteAll(1);
  if (parentNode && childIndex >= 0) parentNode->ReplaceReference(childIndex, g, TRUE);
  if (GetDataCount() == 0) AddData(nullptr);
  SetData(g, 0);
  CreateAll();
  Refresh();
}

// ---- Messages -----------------------------------------------------------------------------

void JGradCtl::AddFlagAt(WPARAM keys, LPARAM at) {
  JGradCtlData* g = Data();
  if (!g || g->GetMode() != JGradCtlData::kFlagMode) return;
  nextFlagNumber++;
  char name[64];
  snprintf(name, sizeof name, GetResString(kStrFlagName), nextFlagNumber);
  POINT click = {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  POINT p = click;
  MapWindowPoints(hwnd, hwndParent(), &p, 1);
  float pos;
  if (p.x >= dragRect.right)
    pos = 1.0f;
  else if (p.x <= dragRect.left)
    pos = 0.0f;
  else
    pos = (float)(p.x - dragRect.left) / (float)(dragRect.right - dragRect.left);
  int t = Parent() ? Parent()->GetTime() : 0;
  Point3 c(0.0f, 0.0f, 0.0f);
  g->GetColor(c, pos, t);

  JFlagCtlData* flag = Create_JFlagCtlData();
  if (!flag) return;
  BOOL animating = Animating();
  AnimateOff();
  flag->SetColor(0, c);
  flag->SetPos(0, pos);
  flag->SetName(name);
  if (animating) AnimateOn();
  g->AddFlag(flag, name);

  JFlagCtl* marker = AddMarker(flag, style, t);
  if (marker && marker->GetHwnd()) {
    // The user drags the new flag at once.
    MapWindowPoints(hwnd, marker->GetHwnd(), &click, 1);
    SendMessageA(marker->GetHwnd(), WM_LBUTTONDOWN, keys, MAKELPARAM(click.x, click.y));
  }
  flag->NotifyDependents(FOREVER, kAllParts, REFMSG_CHANGE);
  g->NotifyDependents(FOREVER, kAllParts, kMsgFlagsChanged);
}

void JGradCtl::ShowMenu(LPARAM at) {
  SetFocus(hwnd);
  if (!menu) return;
  int mode = GetMode();
  CheckMenuItem(menu, kCmdLoadUVMap, MF_BYCOMMAND | (mode == JGradCtlData::kUVMapMode ? MF_CHECKED : MF_UNCHECKED));
  CheckMenuItem(menu, kCmdLoadBitmap, MF_BYCOMMAND | (mode == JGradCtlData::kBitmapMode ? MF_CHECKED : MF_UNCHECKED));
  CheckMenuItem(menu, kCmdFlagMode, MF_BYCOMMAND | (mode == JGradCtlData::kFlagMode ? MF_CHECKED : MF_UNCHECKED));
  if (composite) {
    int v = GetCompositeValue();
    for (int i = 0; i < kCompositeCount; i++)
      CheckMenuItem(menu, kCmdComposite + i, MF_BYCOMMAND | (i == v ? MF_CHECKED : MF_UNCHECKED));
  }
  EnableMenuItem(menu, kCmdPaste, MF_BYCOMMAND | (clipboard ? MF_ENABLED : MF_GRAYED));
  POINT p = {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  ClientToScreen(hwnd, &p);
  TrackPopupMenu(menu, 0, p.x, p.y, 0, hwnd, nullptr);
}

void JGradCtl::LoadBitmapCommand(int id) {
  JGradCtlData* g = Data();
  if (!g) return;
  bool uv = id == kCmdLoadUVMap;
  char title[256];
  CopyString(title, sizeof title, uv ? kStrSelectUVMap : kStrSelectBitmap);
  BitmapInfo bi;
  g->GetBitmapInfo(&bi);
  for (;;) {
    if (!JSelectFileInputEx(&bi, hwndParent(), title, 0)) return;
    // Quietly: a failure is reported below, with the choice to pick another file.
    BOOL silent = TheManager->SetSilentMode(TRUE);
    Bitmap* test = TheManager->Load(&bi);
    TheManager->SetSilentMode(silent);
    if (test) {
      test->DeleteThis();
      g->FreeBitmapData();
      g->SetBitmapInfo(&bi);
      SetMode(uv ? JGradCtlData::kUVMapMode : JGradCtlData::kBitmapMode);
      Refresh();
      return;
    }
    char caption[256], format[256], text[MAX_PATH + 256];
    CopyString(caption, sizeof caption, kStrBitmapError);
    CopyString(format, sizeof format, kStrCannotLoad);
    snprintf(text, sizeof text, format, bi.Name()[0] ? bi.Name() : bi.Device());
    if (MessageBoxA(hwnd, text, caption, MB_RETRYCANCEL | MB_ICONHAND) != IDRETRY) return;
    bi = BitmapInfo();
    g->GetBitmapInfo(&bi);
  }
}

void JGradCtl::Command(int id) {
  JGradCtlData* g = Data();
  switch (id) {
    case kCmdReset: {
      if (!g) return;
      JGradCtlData* fresh = AsGradient(CreateInstance(g->SuperClassID(), g->ClassID()));
      if (!fresh) return;
      fresh->SetResource(defaultLayout);
      fresh->SetupResource();
      ReplaceGradient(fresh);
      return;
    }
    case kCmdLoad: {
      if (JGradCtlData* loaded = JLoadGradientFile(hwndParent(), filePath)) ReplaceGradient(loaded);
      return;
    }
    case kCmdSave:
      if (g) JSaveGradientFile(g, hwndParent(), filePath);
      Refresh();
      return;
    case kCmdLoadUVMap:
    case kCmdLoadBitmap:
      LoadBitmapCommand(id);
      return;
    case kCmdFlagMode:
      SetMode(JGradCtlData::kFlagMode);
      Refresh();
      return;
    case kCmdCopy:
      DropClipboard();
      if (g) clipboard = AsGradient(g->Clone(NoRemap()));
      return;
    case kCmdPaste:
      if (clipboard) ReplaceGradient(AsGradient(clipboard->Clone(NoRemap())));
      return;
  }
  if (id >= kCmdComposite && id < kCmdComposite + kCompositeCount) {
    SetCompositeValue(id - kCmdComposite);
    return;
  }
  Refresh();
}

LRESULT JGradCtl::WinProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_LBUTTONDOWN:
      AddFlagAt(wParam, lParam);
      return 0;
    case WM_RBUTTONUP:
      ShowMenu(lParam);
      return 0;
    case WM_SETFOCUS:
      if (activeIndex >= 0 && activeIndex < markers.Count()) markers[activeIndex]->Activate();
      return 0;
    case WM_PAINT:
      if (!(updateFlags & JVWF_PAINTED)) {
        updateFlags |= JVWF_PAINTED;
        JViewCtl::UpdateView((ReferenceTarget*)nullptr);
      }
      break;
    case WM_COMMAND:
      Command(LOWORD(wParam));
      return 0;
  }
  return JViewWnd::WinProc(msg, wParam, lParam);
}

// ---- What the markers call ----------------------------------------------------------------

int JGradCtl::GetIndex(JFlagCtlData* flag) {
  JGradCtlData* g = Data();
  int n = g ? g->GetFlagCount() : 0;
  for (int i = 0; i < n; i++)
    if (g->GetFlag(i) == flag) return i;
  return -1;
}

int JGradCtl::MayDelete(JFlagCtlData*) {
  if (deletingAll) return 1;
  JGradCtlData* g = Data();
  return g && g->GetMode() == JGradCtlData::kFlagMode && g->GetFlagCount() > 2 ? 1 : 0;
}

int JGradCtl::Delete(JFlagCtlData* flag) {
  int i = GetIndex(flag);
  if (i < 0) return 0;
  JGradCtlData* g = Data();
  if (!deletingAll) {
    // The flag before it in set order becomes active, the first one handing over to the last.
    int n = g->GetFlagCount();
    int a = (i == 0 ? n : i) - 1;
    if (a >= 0 && a < markers.Count() && a != i) markers[a]->Activate();
    activeIndex = a < i ? a : a - 1;
  }
  g->DelFlag(i);
  if (i < markers.Count()) markers.Delete(i, 1);
  if (!deletingAll) {
    Refresh();
    ScanFlagNumbers();
  } else {
    nextFlagNumber = 1;
  }
  return 1;
}

JFlagCtl* JGradCtl::Next(JFlagCtlData* flag) {
  int n = markers.Count();
  if (n == 0) return nullptr;
  if (n == 1) return markers[0];
  int i = flag ? GetIndex(flag) : -1;
  if (i < 0 || i >= n) i = activeIndex;
  int j = i + 1 >= n ? 0 : i + 1;
  activeIndex = j;
  markers[j]->Activate();
  UpdateLabels();
  RepaintMarker(i);
  return markers[j];
}

JFlagCtl* JGradCtl::Prev(JFlagCtlData* flag) {
  int n = markers.Count();
  if (n == 0) return nullptr;
  if (n == 1) return markers[0];
  int i = flag ? GetIndex(flag) : -1;
  if (i < 0 || i >= n) i = activeIndex;
  int j = i <= 0 ? n - 1 : i - 1;
  activeIndex = j;
  markers[j]->Activate();
  UpdateLabels();
  RepaintMarker(i);
  return markers[j];
}

void JGradCtl::Active(JFlagCtlData* flag) {
  if (markers.Count() == 1) return;
  int i = GetIndex(flag);
  if (i >= 0 && i != activeIndex) {
    RepaintMarker(activeIndex);
    activeIndex = i;
  }
  UpdateLabels();
}

int JGradCtl::IsActive(JFlagCtlData* flag) {
  JGradCtlData* g = Data();
  if (!g || !flag || g->GetMode() != JGradCtlData::kFlagMode) return 0;
  return activeIndex >= 0 && activeIndex < g->GetFlagCount() && g->GetFlag(activeIndex) == flag ? 1 : 0;
}
