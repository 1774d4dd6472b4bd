// The select-by-name dialog: the scene's nodes in a list from which the user picks one or several,
// by clicking, by typing the beginning of a name, or with All, None and Invert.
#include "custctrl.h"
#include "hostres.h"
#include "interface.h"

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

// One open dialog.
struct Context {
  HitByNameDlgCallback* cb;
  INode* root;
  bool single;  // one node at a time
};

HWND List(HWND dlg) { return GetDlgItem(dlg, HITBYNAME_LIST); }
int Count(HWND list) { return (int)SendMessageA(list, LB_GETCOUNT, 0, 0); }

bool IsSelected(HWND list, int i, bool single) {
  return single ? SendMessageA(list, LB_GETCURSEL, 0, 0) == i : SendMessageA(list, LB_GETSEL, i, 0) > 0;
}

void Select(HWND list, int i, bool on, bool single) {
  if (!single)
    SendMessageA(list, LB_SETSEL, on, i);
  else if (on)
    SendMessageA(list, LB_SETCURSEL, i, 0);
  else if (IsSelected(list, i, true))
    SendMessageA(list, LB_SETCURSEL, (WPARAM)-1, 0);
}

// The template's list selects several items; a single-node dialog gets one in its place that
// selects one, with the same place, id, font and tab order.
void MakeSingleSelection(HWND dlg) {
  HWND old = List(dlg);
  RECT r;
  GetWindowRect(old, &r);
  MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
  DWORD style = (DWORD)GetWindowLongPtrA(old, GWL_STYLE) & ~(DWORD)(LBS_EXTENDEDSEL | LBS_MULTIPLESEL);
  DWORD exStyle = (DWORD)GetWindowLongPtrA(old, GWL_EXSTYLE);
  HWND list = CreateWindowExA(exStyle, "LISTBOX", "", style, r.left, r.top, r.right - r.left, r.bottom - r.top, dlg,
                              (HMENU)(INT_PTR)HITBYNAME_LIST, custctrl::HostInstance(), nullptr);
  SendMessageA(list, WM_SETFONT, SendMessageA(old, WM_GETFONT, 0, 0), FALSE);
  SetWindowPos(list, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  DestroyWindow(old);
}

// Lists the nodes below n in tree order, selecting the highlighted ones.
void AddNodes(HWND list, INode* n, const Context& ctx) {
  HitByNameDlgCallback* cb = ctx.cb;
  for (int i = 0; i < n->NumberOfChildren(); i++) {
    INode* c = n->GetChildNode(i);
    if (!c) continue;
    if (!cb->useFilter() || cb->filter(c)) {
      LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c->GetName()));
      SendMessageA(list, LB_SETITEMDATA, (WPARAM)at, reinterpret_cast<LPARAM>(c));
      bool first = ctx.single && SendMessageA(list, LB_GETCURSEL, 0, 0) == LB_ERR;
      if ((first || !ctx.single) && cb->doCustomHilite() && cb->doHilite(c)) Select(list, (int)at, true, ctx.single);
    }
    AddNodes(list, c, ctx);
  }
}

void ShowCount(HWND dlg, bool single) {
  HWND list = List(dlg);
  int n = Count(list), on = 0;
  for (int i = 0; i < n; i++) on += IsSelected(list, i, single);
  char text[64];
  snprintf(text, sizeof text, "%d of %d selected", on, n);
  SetDlgItemTextA(dlg, HITBYNAME_COUNT, text);
}

// Typing into Find selects the nodes whose names begin with the text, ignoring case (in a
// single-node dialog, the first of them); an empty text leaves the selection alone.
void Find(HWND dlg, bool single) {
  char text[256] = "";
  GetDlgItemTextA(dlg, HITBYNAME_FIND, text, sizeof text);
  size_t len = strlen(text);
  if (!len) return;
  HWND list = List(dlg);
  bool found = false;
  for (int i = 0; i < Count(list); i++) {
    INode* node = reinterpret_cast<INode*>(SendMessageA(list, LB_GETITEMDATA, i, 0));
    bool match = !(single && found) && _strnicmp(node->GetName(), text, len) == 0;
    if (match && !found) SendMessageA(list, LB_SETTOPINDEX, i, 0);
    found = found || match;
    if (match || !single) Select(list, i, match, single);
  }
  if (single && !found) SendMessageA(list, LB_SETCURSEL, (WPARAM)-1, 0);
}

INodeTab Chosen(HWND list, bool single) {
  INodeTab chosen;
  for (int i = 0; i < Count(list); i++) {
    if (!IsSelected(list, i, single)) continue;
    INode* node = reinterpret_cast<INode*>(SendMessageA(list, LB_GETITEMDATA, i, 0));
    chosen.Append(1, &node, 4);
  }
  return chosen;
}

void Confirm(HWND dlg, const Context& ctx) {
  if (ctx.cb->useProc()) {
    INodeTab chosen = Chosen(List(dlg), ctx.single);
    ctx.cb->proc(chosen);
  }
  EndDialog(dlg, 1);
}

INT_PTR CALLBACK HitByNameProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  Context* ctx = reinterpret_cast<Context*>(GetWindowLongPtrA(dlg, DWLP_USER));
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrA(dlg, DWLP_USER, lp);
    ctx = reinterpret_cast<Context*>(lp);
    SetWindowTextA(dlg, ctx->cb->dialogTitle());
    SetDlgItemTextA(dlg, IDOK, ctx->cb->buttonText());
    if (ctx->single) {
      MakeSingleSelection(dlg);
      EnableWindow(GetDlgItem(dlg, HITBYNAME_ALL), FALSE);
      EnableWindow(GetDlgItem(dlg, HITBYNAME_INVERT), FALSE);
    }
    AddNodes(List(dlg), ctx->root, *ctx);
    ShowCount(dlg, ctx->single);
    SetForegroundWindow(dlg);  // asked for from a console or a hidden main window, it would open inactive
    return TRUE;
  }
  if (msg != WM_COMMAND || !ctx) return FALSE;
  HWND list = List(dlg);
  switch (LOWORD(wp)) {
    case IDOK:
      Confirm(dlg, *ctx);
      return TRUE;
    case IDCANCEL:
      EndDialog(dlg, 0);
      return TRUE;
    case HITBYNAME_LIST:
      if (HIWORD(wp) == LBN_DBLCLK && SendMessageA(list, LB_GETCARETINDEX, 0, 0) >= 0) {
        Confirm(dlg, *ctx);
        return TRUE;
      }
      if (HIWORD(wp) != LBN_SELCHANGE) return FALSE;
      break;
    case HITBYNAME_FIND:
      if (HIWORD(wp) != EN_CHANGE) return FALSE;
      Find(dlg, ctx->single);
      break;
    case HITBYNAME_ALL:
    case HITBYNAME_NONE:
    case HITBYNAME_INVERT:
      for (int i = 0; i < Count(list); i++) {
        bool on = LOWORD(wp) == HITBYNAME_ALL || (LOWORD(wp) == HITBYNAME_INVERT && !IsSelected(list, i, ctx->single));
        Select(list, i, on, ctx->single);
      }
      break;
    default:
      return FALSE;
  }
  ShowCount(dlg, ctx->single);
  return TRUE;
}

}  // namespace

BOOL RunHitByNameDialog(HitByNameDlgCallback* cb, INode* root) {
  if (!cb || !root) return FALSE;
  Context ctx{cb, root, cb->singleSelect() != FALSE};
  INT_PTR r = DialogBoxParamA(custctrl::HostInstance(), MAKEINTRESOURCEA(IDD_HITBYNAME),
                              GetCOREInterface()->GetMainHWnd(), HitByNameProc, reinterpret_cast<LPARAM>(&ctx));
  return r == 1;
}
