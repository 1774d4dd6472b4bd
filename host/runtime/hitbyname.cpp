// The select-by-name dialog: a list of the scene's nodes from which the user picks some.
#include "interface.h"

#include <string.h>

#include <vector>

namespace {

// Builds a dialog template in memory: header, then items, each DWORD aligned.
class TemplateBuilder {
 public:
  void Header(DWORD style, int items, short w, short h, const char* title) {
    Align();
    Dword(style);
    Dword(0);  // extended style
    Word((WORD)items);
    Word(0);
    Word(0);
    Word((WORD)w);
    Word((WORD)h);
    Word(0);  // no menu
    Word(0);  // standard class
    Text(title);
    Word(8);  // font size (DS_SETFONT)
    Text("MS Shell Dlg");
  }
  void Item(DWORD style, short x, short y, short w, short h, WORD id, WORD atom, const char* text) {
    Align();
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Word((WORD)x);
    Word((WORD)y);
    Word((WORD)w);
    Word((WORD)h);
    Word(id);
    Word(0xFFFF);
    Word(atom);
    Text(text);
    Word(0);  // no creation data
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words.data()); }

 private:
  void Word(WORD w) { words.push_back(w); }
  void Dword(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void Text(const char* s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s ? s : "", -1, nullptr, 0);
    std::vector<wchar_t> w(n > 0 ? n : 1, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s ? s : "", -1, w.data(), n);
    for (wchar_t c : w) Word((WORD)c);
  }
  void Align() {
    if (words.size() % 2) Word(0);
  }
  std::vector<WORD> words;
};

const WORD kButtonAtom = 0x0080;
const WORD kListBoxAtom = 0x0083;

struct Context {
  HitByNameDlgCallback* cb;
  INode* root;
};

void AddNodes(HWND list, INode* n, HitByNameDlgCallback* cb) {
  for (int i = 0; i < n->NumberOfChildren(); i++) {
    INode* c = n->GetChildNode(i);
    if (!c) continue;
    if (!cb->useFilter() || cb->filter(c)) {
      LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c->GetName()));
      SendMessageA(list, LB_SETITEMDATA, (WPARAM)at, reinterpret_cast<LPARAM>(c));
      if (cb->doCustomHilite() && cb->doHilite(c)) {
        if (cb->singleSelect())
          SendMessageA(list, LB_SETCURSEL, (WPARAM)at, 0);
        else
          SendMessageA(list, LB_SETSEL, TRUE, at);
      }
    }
    AddNodes(list, c, cb);
  }
}

INodeTab Chosen(HWND list, bool single) {
  INodeTab chosen;
  int n = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (int i = 0; i < n; i++) {
    bool on = single ? SendMessageA(list, LB_GETCURSEL, 0, 0) == i : SendMessageA(list, LB_GETSEL, i, 0) > 0;
    if (!on) continue;
    INode* node = reinterpret_cast<INode*>(SendMessageA(list, LB_GETITEMDATA, i, 0));
    chosen.Append(1, &node, 4);
  }
  return chosen;
}

INT_PTR CALLBACK HitByNameProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  Context* ctx = reinterpret_cast<Context*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dlg, DWLP_USER, lp);
      ctx = reinterpret_cast<Context*>(lp);
      SetDlgItemTextA(dlg, IDOK, ctx->cb->buttonText());
      AddNodes(GetDlgItem(dlg, HITBYNAME_LIST), ctx->root, ctx->cb);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) {
        INodeTab chosen = Chosen(GetDlgItem(dlg, HITBYNAME_LIST), ctx->cb->singleSelect() != FALSE);
        if (ctx->cb->useProc()) ctx->cb->proc(chosen);
        EndDialog(dlg, 1);
        return TRUE;
      }
      if (LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, 0);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

BOOL RunHitByNameDialog(HitByNameDlgCallback* cb, INode* root) {
  if (!cb || !root) return FALSE;
  TemplateBuilder t;
  t.Header(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 3, 180, 170, cb->dialogTitle());
  DWORD listStyle = WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_HASSTRINGS;
  if (!cb->singleSelect()) listStyle |= LBS_EXTENDEDSEL;
  t.Item(listStyle, 7, 7, 166, 132, HITBYNAME_LIST, kListBoxAtom, "");
  t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 66, 148, 50, 14, IDOK, kButtonAtom, "OK");
  t.Item(BS_PUSHBUTTON | WS_TABSTOP, 123, 148, 50, 14, IDCANCEL, kButtonAtom, "Cancel");
  Context ctx{cb, root};
  INT_PTR r = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t.Get(), GetCOREInterface()->GetMainHWnd(),
                                      HitByNameProc, reinterpret_cast<LPARAM>(&ctx));
  return r == 1;
}
