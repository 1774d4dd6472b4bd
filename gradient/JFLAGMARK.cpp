// Flag markers and the flag properties dialog.
#include "JFlagCtl.h"
#include "JButton.h"
#include "JGrad.h"
#include "JGradCtl.h"
#include "JModule.h"
#include "vcustctrl.h"
#include "vmtl.h"

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <windowsx.h>

#include <initializer_list>
#include <new>

namespace {

const char kSource[] = "JFLAGCTL";

// Menu texts (string ids equal the command ids).
const int kMenuIds[] = {JFlagCtl::kCmdProperties, JFlagCtl::kCmdDelete, JFlagCtl::kCmdCopy, JFlagCtl::kCmdPaste};
const int kMenuItems = sizeof kMenuIds / sizeof kMenuIds[0];
const int kMenuTextSize = 64;
char menuTexts[kMenuItems][kMenuTextSize];
bool menuTextsLoaded = false;

const char* MenuText(int id) {
  for (int i = 0; i < kMenuItems; i++)
    if (kMenuIds[i] == id) return menuTexts[i];
  return "";
}

const int kStrCaption = 1100;        // "Gradient Control"
const int kStrCannotDelete = 1101;   // "Cannot delete this flag."
const int kStrPosition = 1003;       // "Position"
const int kStrInterpItems = 2003;    // the interpolation types, one per line
const int kStrNoTexture = 2007;      // "None"
const int kDeleteCursor = 115;       // IDC_DELETEFLAG of the library's resources
const int kPanelColor = 15;          // the host colour manager's panel background
const int kDeleteOvershoot = 3;      // pixels beyond an end while a drag deletes
const char kSwatchTitle[] = "Color";

// The dialog's items.
enum {
  kIdName = 1000,
  kIdBypassPos = 1002,
  kIdBypassPos2 = 1003,
  kIdBypassColor = 1004,
  kIdLabelPos2 = 1005,
  kIdLabelInterp = 1007,
  kIdInterp = 1029,
  kIdLabelTexture = 1030,
  kIdLabelColor = 1031,
  kIdLabelPos = 1032,
  kIdTexture = 1034,
  kIdSwatch = 1201,
  kIdEditPos = 1303,
  kIdEditPos2 = 1304,
  kIdSpinPos = 1403,
  kIdSpinPos2 = 1404,
  kIdSpinStep = 1405
};
// Without a material-editor context the colour and position rows move up under the name field.
const int kColorRowBelowName = 27;
const int kPositionRowBelowName = 50;
const int kShortDialogBelowName = 100;

// Library-wide state of the markers; user-interface thread only.
POINT dragOrigin = {0, 0};
Point3 colorClip(0.5f, 0.5f, 0.5f);
JSubtex* textureClip = nullptr;
JFlagCtlDlg* openDialog = nullptr;

bool Pressed(WPARAM keys, WPARAM which) { return (keys & which) != 0; }

HCURSOR ArrowCursor() { return LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); }  // IDC_ARROW

// The texture map a slot holds; null when it holds none. Anything else than a map asserts.
Texmap* MapIn(JSubtex* slot, int line) {
  ReferenceTarget* r = slot ? slot->GetReference(0) : nullptr;
  if (!r) return nullptr;
  if (r->SuperClassID() != TEXMAP_CLASS_ID) {
    assert1(line, kSource);
    return nullptr;
  }
  return static_cast<Texmap*>(r);
}

Texmap* CloneMap(Texmap* m) { return m ? static_cast<Texmap*>(m->Clone(NoRemap())) : nullptr; }

// The gradient a flag belongs to: the flag is held by a flag set, which a gradient holds.
JGradCtlData* GradientOf(JFlagCtlData* flag) {
  if (!flag) return nullptr;
  DependentIterator flags(flag);
  while (ReferenceMaker* m = flags.Next()) {
    JFlagSetData* set = dynamic_cast<JFlagSetData*>(m);
    if (!set) continue;
    DependentIterator sets(set);
    while (ReferenceMaker* g = sets.Next())
      if (JGradCtlData* grad = dynamic_cast<JGradCtlData*>(g)) return grad;
  }
  return nullptr;
}

// The marker outline: the five corners of the drawn polygon, and the six of the window region
// (one pixel wider on the right and bottom, where a region excludes its edge).
void DrawnShape(int width, int height, POINT pts[5]) {
  int hw = (width - 1) / 2, k = hw < height - 1 ? hw : height - 1;
  pts[0] = {hw, 0};
  pts[1] = {2 * hw, k};
  pts[2] = {2 * hw, height - 1};
  pts[3] = {0, height - 1};
  pts[4] = {0, k};
}

HRGN RegionShape(int width, int height) {
  int hw = (width - 1) / 2, k = hw < height - 1 ? hw : height - 1;
  POINT pts[6] = {{hw + 1, 0}, {2 * hw + 1, k}, {2 * hw + 1, height}, {0, height}, {0, k}, {hw, 0}};
  return CreatePolygonRgn(pts, 6, ALTERNATE);
}

void MoveItem(HWND dlg, int id, int y) {
  HWND item = GetDlgItem(dlg, id);
  if (!item) return;
  RECT r;
  GetWindowRect(item, &r);
  MapWindowPoints(nullptr, dlg, (POINT*)&r, 2);
  SetWindowPos(item, nullptr, r.left, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShowItem(HWND dlg, int id, int show) {
  if (HWND item = GetDlgItem(dlg, id)) ShowWindow(item, show ? SW_SHOW : SW_HIDE);
}

// Opens the properties dialog modeless on parent for flag, shown at owner's time.
JFlagCtlDlg* OpenFlagDialog(HWND parent, JFlagCtlData* flag, JViewDlgBase* owner) {
  JFlagCtlDlg* d = new (std::nothrow) JFlagCtlDlg(flag, owner);
  if (!d) return nullptr;
  // Creation deletes the object when it fails, and its destructor clears the open dialog.
  return static_cast<JFlagCtlDlg*>(JOneModelessBase::CreateDlg(parent, d));
}

}  // namespace

// ---- JFlagCtl ----------------------------------------------------------------------------------

JFlagCtl::JFlagCtl(int id, unsigned int style, int width, int height, const RECT& drag, JFlagCtlNotify* notify,
                   HWND dlg, Texmap* tex, IMtlParams* mtlParams)
    : idCtl(id),
      style(style),
      width(width),
      height(height),
      drag(drag),
      tip{(width - 1) / 2, 0},
      menu(nullptr),
      notify(notify),
      deletePending(0),
      viewDone(1),
      swatch(nullptr),
      swatchWnd(nullptr),
      dlgWnd(dlg),
      tex(tex),
      mtlParams(mtlParams) {}

JFlagCtl::~JFlagCtl() {
  if (menu) DestroyMenu(menu);
}

JFlagCtl* JFlagCtl::Create(JData* flag, int id, int style, int width, int height, RECT& drag, JFlagCtlNotify* notify) {
  return Create(flag, id, style, width, height, drag, notify, nullptr, nullptr, nullptr);
}

JFlagCtl* JFlagCtl::Create(JData* flag, int id, int style, int width, int height, RECT& drag, JFlagCtlNotify* notify,
                           HWND dlg, Texmap* tex, IMtlParams* mtlParams) {
  if (!Register()) return nullptr;
  JFlagCtl* c = new (std::nothrow) JFlagCtl(id, (unsigned int)style, width, height, drag, notify, dlg, tex, mtlParams);
  if (!c) return nullptr;
  c->Setup(flag, -1);
  return c;
}

unsigned short JFlagCtl::Register() {
  unsigned short atom = JWinProc::Register();
  if (atom && !menuTextsLoaded) {
    for (int i = 0; i < kMenuItems; i++) lstrcpynA(menuTexts[i], GetResString(kMenuIds[i]), kMenuTextSize);
    menuTextsLoaded = true;
  }
  return atom;
}

void JFlagCtl::SetStyle(int newStyle) {
  style = (unsigned int)newStyle;
  if (hwnd) InvalidateRect(hwnd, nullptr, TRUE);
}

JFlagCtlData* JFlagCtl::Data() { return dynamic_cast<JFlagCtlData*>(JViewCtl::Data()); }

void JFlagCtl::GetPos(int t, float& x) { Data()->GetPos(t, x); }
void JFlagCtl::GetPos(int t, float& x, float& y) { Data()->GetPos(t, x, y); }
void JFlagCtl::GetColor(int t, Point3& c) { Data()->GetColor(t, c); }
void JFlagCtl::GetInterp(int t, float& v) { Data()->GetInterp(t, v); }

void JFlagCtl::GetSubtex(Texmap*& map) {
  map = nullptr;
  if (JFlagCtlData* f = Data()) f->GetSubtex(map);
}

COLORREF JFlagCtl::GetColor(int t) {
  Point3 c;
  GetColor(t, c);
  return RGB((int)(c.x * 255.0f), (int)(c.y * 255.0f), (int)(c.z * 255.0f));
}

void JFlagCtl::SetColor(int t, COLORREF c) {
  Point3 v(GetRValue(c) / 255.0f, GetGValue(c) / 255.0f, GetBValue(c) / 255.0f);
  if (JFlagCtlData* f = Data()) f->SetColor(t, v);
  if (hwnd) InvalidateRect(hwnd, nullptr, TRUE);
}

int JFlagCtl::DialogTime() { return parent ? parent->GetTime() : ::GetTime(); }

int JFlagCtl::Init(int t) {
  if (!Register()) return 0;
  HWND dlg = hwndParent();
  HWND w = CreateWindowExA(0, "JUniversalWindow", "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, width, height, dlg,
                           nullptr, GetLibInstance(), static_cast<JWinProc*>(this));
  if (!w) return 0;
  swatchWnd = CreateWindowExA(0, COLORSWATCHWINDOWCLASS, "", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, width, height, w,
                              nullptr, GetLibInstance(), nullptr);
  if (swatchWnd) swatch = GetIColorSwatch(swatchWnd, 0, kSwatchTitle);
  SetWindowRgn(w, RegionShape(width, height), TRUE);
  SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  menu = CreatePopupMenu();
  if (menu) {
    AppendMenuA(menu, MF_STRING, kCmdProperties, MenuText(kCmdProperties));
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, kCmdCopy, MenuText(kCmdCopy));
    AppendMenuA(menu, MF_STRING, kCmdPaste, MenuText(kCmdPaste));
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, kCmdDelete, MenuText(kCmdDelete));
  }
  SetFreeze(0);
  UpdView();
  return 1;
}

void JFlagCtl::UpdView() {
  if (!hwnd) return;
  int t = DialogTime();
  float x = 0, y = 0;
  GetPos(t, x, y);
  int tipX = drag.left + (int)lroundf((float)(drag.right - drag.left) * x);
  int tipY = drag.top + (int)lroundf((float)(drag.bottom - drag.top) * y);
  InvalidateRect(hwnd, nullptr, TRUE);
  SetWindowPos(hwnd, nullptr, tipX - tip.x, tipY - tip.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (swatch) swatch->SetColor(GetColor(t), FALSE);
  JPumpPaintMessages();
}

void JFlagCtl::UpdateView(int, ReferenceTarget*) {
  if (!hwnd) return;
  viewDone = 0;
  PostMessageA(hwnd, kMsgUpdView, 0, 0);
}

POINT JFlagCtl::TipInDialog() {
  POINT p = tip;
  if (hwnd) MapWindowPoints(hwnd, GetParent(hwnd), &p, 1);
  return p;
}

void JFlagCtl::UpdateData(int t, int, unsigned int, UINT_PTR) {
  JFlagCtlData* f = Data();
  if (!f || !hwnd) return;
  POINT p = TipInDialog();
  float x = drag.right > drag.left ? (float)(p.x - drag.left) / (float)(drag.right - drag.left) : 0.0f;
  float y = drag.bottom > drag.top ? (float)(p.y - drag.top) / (float)(drag.bottom - drag.top) : 0.0f;
  // The marker is where it should be: its own write must not move it again.
  int was = SetFreeze(1);
  f->SetPos(t, x, y);
  SetFreeze(was);
}

int JFlagCtl::Own(int id) { return id == idCtl; }

void JFlagCtl::DeleteThis() { delete this; }

void JFlagCtl::Destroy() {
  if (swatch) ReleaseIColorSwatch(swatch);
  swatch = nullptr;
  if (hwnd) {
    HWND w = hwnd;
    SetWinProc(w, nullptr);
    DestroyWindow(w);
    hwnd = nullptr;
    swatchWnd = nullptr;
  }
  if (openDialog && openDialog->GetHwnd()) SendMessageA(openDialog->GetHwnd(), WM_CLOSE, 0, 0);
  JViewCtl::Destroy();
}

void JFlagCtl::DestroyFlag(int viaNotify) {
  if (viaNotify && notify && !notify->Delete(Data())) return;
  if (parent) *parent -= this;
  Destroy();
}

void JFlagCtl::Activate() {
  if (hwnd) SetFocus(hwnd);
  if (openDialog) openDialog->SwitchData(Data(), parent);
  // The gradient window's label shows the active flag.
  if (JGradCtl* owner = dynamic_cast<JGradCtl*>(notify)) owner->UpdateLabels();
}

void JFlagCtl::ClickActivate() {
  SetFocus(hwnd);
  if (notify) notify->Active(Data());
  if (openDialog)
    ShowProperties();
  else if (swatch)
    swatch->EditThis(FALSE);
}

void JFlagCtl::ShowProperties() {
  JFlagCtlData* f = Data();
  HWND owner = hwnd ? GetParent(hwnd) : nullptr;
  JFlagCtlDlg* d = openDialog;
  if (!d) {
    if (!parent) {
      assert1(__LINE__, kSource);
      return;
    }
    d = OpenFlagDialog(owner, f, parent);
    if (!d) return;
  } else {
    d->SwitchDlg(owner, f, parent);
  }
  int e = (style & kStyleFixed) ? 0 : 1;
  for (int i = JFlagCtlDlg::kCtlPos; i <= JFlagCtlDlg::kCtlPos2; i++)
    if (JViewSpinner* s = dynamic_cast<JViewSpinner*>(d->GetControl(i))) {
      s->EnableBypassCtl(e);
      s->Enable(e);
    }
  d->SetContext(notify, dlgWnd, tex, mtlParams);
  Activate();
  UpdateJFlagDlgCtl();
  d->UpdateTextureButton();
}

void JFlagCtl::UpdateJFlagDlgCtl() {
  JFlagCtlDlg* d = openDialog;
  HWND w = d ? d->GetHwnd() : nullptr;
  if (!w) return;
  const int contextItems[] = {kIdInterp, kIdLabelInterp, kIdLabelTexture, kIdTexture};
  if (!d->MtlWindow()) {
    for (int id : contextItems) ShowItem(w, id, 0);
    RECT name = {0, 0, 0, 0};
    if (HWND item = GetDlgItem(w, kIdName)) {
      GetWindowRect(item, &name);
      MapWindowPoints(nullptr, w, (POINT*)&name, 2);
    }
    for (int id : {kIdBypassColor, kIdLabelColor, kIdSwatch}) MoveItem(w, id, name.top + kColorRowBelowName);
    for (int id : {kIdBypassPos, kIdLabelPos, kIdEditPos, kIdSpinPos}) MoveItem(w, id, name.top + kPositionRowBelowName);
    RECT r;
    GetWindowRect(w, &r);
    SetWindowPos(w, nullptr, 0, 0, r.right - r.left, name.top + kShortDialogBelowName,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    for (int id : contextItems) ShowItem(w, id, 1);
  }
  JGradCtlData* grad = GradientOf(d->Flag());
  if (HWND combo = GetDlgItem(w, kIdInterp)) EnableWindow(combo, !grad || grad->GetInterpType() == 0);
}

void JFlagCtl::Drag(int mx, int my) {
  POINT p = TipInDialog();
  int nx = p.x + (mx - dragOrigin.x), ny = p.y + (my - dragOrigin.y);
  int wasPending = deletePending;
  deletePending = 0;
  if (nx < drag.left || nx > drag.right) {
    bool toRight = nx > drag.right;
    nx = toRight ? drag.right : drag.left;
    if ((style & kStyleActivity) && notify && notify->MayDelete(Data())) {
      deletePending = 1;
      nx += toRight ? kDeleteOvershoot : -kDeleteOvershoot;
    }
  }
  if (ny < drag.top) ny = drag.top;
  if (ny > drag.bottom) ny = drag.bottom;
  if (nx == p.x && ny == p.y) return;
  if (deletePending != wasPending) {
    InvalidateRect(hwnd, nullptr, TRUE);
    SetCursor(deletePending ? LoadCursorA(GetLibInstance(), MAKEINTRESOURCEA(kDeleteCursor)) : ArrowCursor());
  }
  SetWindowPos(hwnd, nullptr, nx - tip.x, ny - tip.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  JPumpPaintMessages();
  UpdateData(DialogTime(), 0, 0, 0);
}

void JFlagCtl::Command(int id) {
  switch (id) {
    case kCmdProperties:
      ShowProperties();
      return;
    case kCmdDelete: {
      if (style & kStyleDisabled) return;
      if (notify && (!notify->MayDelete(Data()) || (style & kStyleFixed))) {
        char caption[kMenuTextSize];
        lstrcpynA(caption, GetResString(kStrCaption), sizeof caption);
        MessageBoxA(hwndParent(), GetResString(kStrCannotDelete), caption, MB_ICONHAND);
        return;
      }
      DestroyFlag(1);
      return;
    }
    case kCmdCopy: {
      JFlagCtlData* f = Data();
      GetColor(::GetTime(), colorClip);
      if (!textureClip) textureClip = Create_JSubtex();
      Texmap* copy = f ? CloneMap(MapIn(f->GetSubtexData(), __LINE__)) : nullptr;
      if (textureClip) textureClip->ReplaceReference(0, copy, TRUE);
      return;
    }
    case kCmdPaste: {
      JFlagCtlData* f = Data();
      if (f) f->SetColor(::GetTime(), colorClip);
      if (hwnd) InvalidateRect(hwnd, nullptr, TRUE);
      if (!tex) return;
      if (Texmap* m = textureClip ? MapIn(textureClip, __LINE__) : nullptr)
        if (notify) tex->SetSubTexmap(notify->GetIndex(f), CloneMap(m));
      if (mtlParams) mtlParams->MtlChanged();
      if (openDialog) openDialog->UpdateTextureButton();
      return;
    }
  }
}

LRESULT JFlagCtl::WinProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  const bool disabled = (style & kStyleDisabled) != 0;
  switch (msg) {
    case WM_LBUTTONDOWN:
      if (Pressed(wParam, MK_RBUTTON | MK_MBUTTON) || disabled) return 0;
      dragOrigin = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      SetCapture(hwnd);
      ClickActivate();
      return 0;
    case WM_RBUTTONDOWN:
      if (Pressed(wParam, MK_LBUTTON | MK_MBUTTON) || disabled) return 0;
      ClickActivate();
      return 0;
    case WM_MOUSEMOVE:
      if ((style & kStyleFixed) || GetCapture() != hwnd) return 0;
      Drag(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_LBUTTONUP:
      if (Pressed(wParam, MK_RBUTTON | MK_MBUTTON)) return 0;
      if (GetCapture() == hwnd) {
        ReleaseCapture();
        SetCursor(ArrowCursor());
      }
      // The command may destroy the marker: nothing of it is touched afterwards.
      if (deletePending) SendMessageA(hwnd, WM_COMMAND, kCmdDelete, 0);
      return 0;
    case WM_LBUTTONDBLCLK: {
      if (Pressed(wParam, MK_RBUTTON | MK_MBUTTON) || disabled) return 0;
      JColorSwatch* dlgSwatch = openDialog ? dynamic_cast<JColorSwatch*>(openDialog->GetControl(JFlagCtlDlg::kCtlColor)) : nullptr;
      IColorSwatch* s = dlgSwatch ? dlgSwatch->ICS() : swatch;
      if (s) s->EditThis(TRUE);
      return 0;
    }
    case WM_RBUTTONUP: {
      if (Pressed(wParam, MK_LBUTTON | MK_MBUTTON) || disabled || !menu) return 0;
      bool mayDelete = !(style & kStyleFixed) && notify && notify->MayDelete(Data());
      EnableMenuItem(menu, kCmdDelete, MF_BYCOMMAND | (mayDelete ? MF_ENABLED : MF_GRAYED));
      POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(hwnd, &p);
      TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, p.x, p.y, 0, hwnd, nullptr);
      return 0;
    }
    case CC_COLOR_CHANGE: {
      int t = ::GetTime();
      if (swatch && swatch->GetColor() != GetColor(t)) SetColor(t, swatch->GetColor());
      return 0;
    }
    case CC_COLOR_BUTTONDOWN:
    case CC_COLOR_BUTTONUP:
      return 0;
    case WM_KEYDOWN:
      if (disabled) return 0;
      switch (wParam) {
        case VK_LEFT:
        case VK_DOWN:
          if (notify) notify->Prev(Data());
          break;
        case VK_UP:
        case VK_RIGHT:
          if (notify) notify->Next(Data());
          break;
        case VK_DELETE:
          SendMessageA(hwnd, WM_COMMAND, kCmdDelete, 0);
          break;
      }
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_SETFOCUS:
      InvalidateRect(hwnd, nullptr, TRUE);
      SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      return 0;
    case WM_KILLFOCUS:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PRINTCLIENT:
      OnPaint((HDC)wParam);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      OnPaint(dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case kMsgUpdView:
      if (!viewDone) {
        UpdView();
        viewDone = 1;
      }
      return 0;
    case WM_COMMAND:
      Command(LOWORD(wParam));
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void JFlagCtl::OnPaint(HDC dc) {
  int active = notify ? notify->IsActive(Data()) : 0;
  POINT pts[5];
  DrawnShape(width, height, pts);
  HGDIOBJ oldPen = GetCurrentObject(dc, OBJ_PEN), oldBrush = GetCurrentObject(dc, OBJ_BRUSH);
  if (style & kStyleActivity) {
    HBRUSH owned = nullptr, fill;
    if (active)
      fill = owned = CreateSolidBrush(deletePending ? RGB(255, 0, 0) : RGB(0, 200, 0));
    else
      fill = GetColorManager()->GetBrush(kPanelColor);
    SelectObject(dc, GetStockObject(NULL_PEN));
    SelectObject(dc, fill);
    // Without an outline the fill leaves out the right and bottom edges: the lines below cover them.
    Polygon(dc, pts, 5);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    MoveToEx(dc, pts[0].x, pts[0].y, nullptr);
    LineTo(dc, pts[1].x, pts[1].y);
    LineTo(dc, pts[2].x, pts[2].y);
    LineTo(dc, pts[3].x, pts[3].y);
    SelectObject(dc, GetStockObject(WHITE_PEN));
    LineTo(dc, pts[4].x, pts[4].y);
    LineTo(dc, pts[0].x, pts[0].y);
    SelectObject(dc, oldBrush);
    if (owned) DeleteObject(owned);
  } else {
    HBRUSH fill = CreateSolidBrush(GetColor(DialogTime()));
    SelectObject(dc, GetStockObject(active ? WHITE_PEN : BLACK_PEN));
    SelectObject(dc, fill);
    Polygon(dc, pts, 5);
    SelectObject(dc, oldBrush);
    DeleteObject(fill);
  }
  SelectObject(dc, oldPen);
}

// ---- JFlagCtlDlg -------------------------------------------------------------------------------

const char* JViewDlgTraits<JFlagCtlData>::ActionName() { return "Edit Flag Properties"; }

void JViewDlgTraits<JFlagCtlData>::AddControls(JViewDlgBase& dlg, JFlagCtlData* flag) {
  JFlagCtlData* f = flag;
  if (!f) {
    assert1(__LINE__, kSource);
    return;
  }
  dlg += JColorSwatch::Create((*f)(JFlagCtlData::kColor), kIdBypassColor, kIdSwatch);
  dlg += JIntSpinner::Create((*f)(JFlagCtlData::kPosition), kIdBypassPos, kIdSpinPos, kIdEditPos, 0, 100);
  dlg += JIntSpinner::Create((*f)(JFlagCtlData::kPosition2), kIdBypassPos2, kIdSpinPos2, kIdEditPos2, 0, 100);
  dlg += JEditNameView::Create((*f)(JFlagCtlData::kName), kIdName, f);
  dlg += JDropDownListBox::Create((*f)(JFlagCtlData::kInterp), -1, kIdInterp, GetResString(kStrInterpItems), nullptr,
                                  nullptr, nullptr, nullptr);
  dlg += JViewFSpinner::Create(kIdSpinStep);
}

JFlagCtlDlg::JFlagCtlDlg(JFlagCtlData* flag, JViewDlgBase* owner)
    : JViewDlg(flag),
      owner(owner),
      notify(nullptr),
      flag(flag),
      mtlWnd(nullptr),
      tex(nullptr),
      mtlParams(nullptr),
      texButton(nullptr) {
  openDialog = this;
}

JFlagCtlDlg::~JFlagCtlDlg() {
  if (texButton) ReleaseICustButton(texButton);
  if (openDialog == this) openDialog = nullptr;
}

JFlagCtlDlg* JFlagCtlDlg::Open() { return openDialog; }

int JFlagCtlDlg::GetTime() { return owner ? owner->GetTime() : JOneModelessBase::GetTime(); }

void JFlagCtlDlg::SetContext(JFlagCtlNotify* n, HWND w, Texmap* t, IMtlParams* p) {
  notify = n;
  mtlWnd = w;
  tex = t;
  mtlParams = p;
}

int JFlagCtlDlg::PreInit() {
  const int hidden[] = {kIdBypassPos2, kIdEditPos2, kIdSpinPos2, kIdLabelPos2};
  RECT row = {0, 0, 0, 0};
  if (HWND item = GetDlgItem(hwnd, kIdBypassPos2)) GetClientRect(item, &row);
  for (int id : hidden) ShowItem(hwnd, id, 0);
  RECT r;
  GetWindowRect(hwnd, &r);
  SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top - (row.bottom - row.top),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetDlgItemTextA(hwnd, kIdLabelPos, GetResString(kStrPosition));
  return 1;
}

int JFlagCtlDlg::PostInit() {
  int result = JViewDlg::PostInit();
  JColorSwatch* s = dynamic_cast<JColorSwatch*>(GetControl(kCtlColor));
  if (s && s->ICS()) s->ICS()->EditThis(FALSE);
  return result;
}

void JFlagCtlDlg::UpdateTextureButton() {
  if (!texButton) return;
  Texmap* map = nullptr;
  if (flag && flag->GetSubtexData()) flag->GetSubtex(map);
  if (map)
    texButton->SetText(map->GetFullName().data());
  else
    texButton->SetText(GetResString(kStrNoTexture));
}

INT_PTR JFlagCtlDlg::DlgProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      texButton = GetICustButton(GetDlgItem(hwnd, kIdTexture));
      if (texButton) texButton->SetDADMgr(flag ? flag->GetSubtexData() : nullptr);
      UpdateTextureButton();
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) != kIdTexture) break;
      if (mtlWnd) PostMessageA(mtlWnd, MTLEDIT_PICK_SUBTEX, (WPARAM)(notify ? notify->GetIndex(flag) : -1), (LPARAM)tex);
      return 1;
    case MTLEDIT_SUBTEX_CHANGED:
      UpdateTextureButton();
      return 1;
    case JWM_VIEWSTEP:
      Step((int)(INT_PTR)wParam);
      return 1;
  }
  return JViewDlg::DlgProc(msg, wParam, lParam);
}

void JFlagCtlDlg::Step(int dir) {
  if (!notify) return;
  JFlagCtl* m = dir > 0 ? notify->Next(nullptr) : notify->Prev(nullptr);
  if (!m) return;
  int e = (m->GetStyle() & JFlagCtl::kStyleFixed) ? 0 : 1;
  for (int i = kCtlPos; i <= kCtlPos2; i++)
    if (JViewSpinner* s = dynamic_cast<JViewSpinner*>(GetControl(i))) s->Enable(e);
  if (m->Data() != flag) SwitchData(m->Data(), nullptr);
  UpdateTextureButton();
}

int JFlagCtlDlg::SwitchData(JDataBase* data, void* ownerDlg) {
  JFlagCtlData* f = dynamic_cast<JFlagCtlData*>(data);
  if (!f) return 0;
  if (ownerDlg) owner = static_cast<JViewDlgBase*>(ownerDlg);
  if (!owner) return 0;
  flag = f;
  this->data = f;
  int t = owner->GetTime();
  const int rebound[] = {kCtlColor, kCtlPos, kCtlPos2, kCtlInterp};
  // These controls sit at the index of the child they show.
  for (int i : rebound)
    if (JViewCtl* c = GetControl(i)) c->Set((*f)(i), t);
  if (JEditNameView* name = dynamic_cast<JEditNameView*>(GetControl(kCtlName))) name->Set((*f)(JFlagCtlData::kName), f);
  if (texButton) texButton->SetDADMgr(f->GetSubtexData());
  return 1;
}
