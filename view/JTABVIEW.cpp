// The tab view: a Win32 tab control whose pages are child dialogs, bound to the index of the page
// shown.
#include "JValueCtl.h"
#include "JViewDlg.h"

#include <commctrl.h>

#include <new>

namespace {
const char kSource[] = "JVIEW";
const int kLineTabAlloc = 1702;
const int kLinePageCreate = 1741;
}  // namespace

JTabView::JTabView(int id, int page) : idTab(id), current(page) {}

JTabView* JTabView::Create(JData* d, int id, int page) {
  JTabView* v = new (std::nothrow) JTabView(id, page);
  if (!v) {
    assert1(kLineTabAlloc, kSource);
    return nullptr;
  }
  v->Setup(d, -1);
  return v;
}

void JTabView::DeleteThis() { delete this; }
int JTabView::Own(int id) { return id == idTab; }
int JTabView::Valid(int) { return 0; }
HWND JTabView::TabWindow() { return GetDlgItem(hwndParent(), idTab); }
JViewChildBase* JTabView::GetPage(int i) { return pages[i]; }
int JTabView::GetPageCount() { return pages.Count(); }
int JTabView::GetPageNum() { return (int)SendMessageA(TabWindow(), TCM_GETCURSEL, 0, 0); }

int JTabView::Add(JViewChildBase* page, const char* title) {
  page->Properties().Add(JProp_Wnd_NoCenter(), 1);
  pages.Append(1, &page, 4);
  titles.Append(title);
  page->Parent() = Parent();
  return 1;
}

int JTabView::Data2View() {
  if (!JViewCtl::Data()) return current;
  float value[3] = {0, 0, 0};  // room for a three-component leaf
  GetValue(0, value);
  if (value[0] < 1.0f) return 0;
  int last = pages.Count() - 1;
  // Compared as floats first: a huge value does not fit an int.
  return value[0] >= (float)last ? (last > 0 ? last : 0) : (int)value[0];
}

void JTabView::ShowPage(int i, int show) {
  if (i < 0 || i >= pages.Count() || !pages[i]) return;
  if (HWND w = pages[i]->GetHwnd()) ShowWindow(w, show);
}

int JTabView::Init(int) {
  HWND tab = TabWindow();
  // Pages sit inside the tab control below its row of tabs.
  LONG units = GetDialogBaseUnits();
  int x = LOWORD(units) / 2, y = HIWORD(units) * 3 / 2;
  for (int i = 0; i < titles.Count() && i < pages.Count(); i++) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    char empty[] = "";
    item.pszText = titles.GetString(i) ? titles.GetString(i) : empty;
    SendMessageA(tab, TCM_INSERTITEMA, i, (LPARAM)&item);
    JViewChildBase* page = pages[i];
    JOneModelessBase* made = JOneModelessBase::CreateDlg(tab, page);
    // A page's fault closes the whole dialog, this view with it, and the tab control goes with
    // the dialog's window: nothing of the view is touched then.
    if (tab && !IsWindow(tab)) return 0;
    if (made != page) {
      assert1(kLinePageCreate, kSource);
      // A page whose window could not be made has deleted itself.
      if (!made) pages[i] = nullptr;
      continue;
    }
    SetWindowPos(page->GetHwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (current >= pages.Count()) current = pages.Count() - 1;
  if (current < 0) current = 0;
  if (Data2View() == 0) ShowPage(0, SW_SHOWNA);
  return 1;
}

void JTabView::UpdateData(int t, int, unsigned int msg, UINT_PTR param) {
  if (msg != WM_NOTIFY || !param) return;
  const NMHDR* note = reinterpret_cast<const NMHDR*>(param);
  if (note->code == (UINT)TCN_SELCHANGING) {
    ShowPage(GetPageNum(), SW_HIDE);
  } else if (note->code == (UINT)TCN_SELCHANGE) {
    current = GetPageNum();
    ShowPage(current, SW_SHOWNA);
    if (JViewCtl::Data()) {
      float index[3] = {(float)current, 0, 0};
      WriteBack(t, index);
    }
  }
}

void JTabView::UpdateView(int, ReferenceTarget*) {
  if (pages.Count() == 0) return;
  int shown = GetPageNum(), wanted = Data2View();
  if (shown == wanted) return;
  ShowPage(shown, SW_HIDE);
  SendMessageA(TabWindow(), TCM_SETCURSEL, wanted, 0);
  ShowPage(wanted, SW_SHOWNA);
}

void JTabView::Destroy() {
  // Each page runs its close sequence and deletes itself; the table keeps no page past this.
  for (int i = 0; i < pages.Count(); i++) {
    JViewChildBase* page = pages[i];
    pages[i] = nullptr;
    if (page && page->GetHwnd()) SendMessageA(page->GetHwnd(), WM_CLOSE, 0, 0);
  }
  JViewLeaf::Destroy();
}
