// The filter base: the data tree in the filter's track-editor node, the cancel-protected settings
// dialog, and the module-wide state that keeps the host's event dialog hidden while it runs.
#include "JFilter.h"

#include "JBinary.h"
#include "JDiag.h"
#include "JFault.h"
#include "JSaveLoad.h"
#include "JViewDlg.h"
#include "JWinProc.h"

#include <string.h>

namespace {

const char kSource[] = "JFILTER";
// Assertion lines of the filter base.
const int kLineNoNode = 242;
const int kLineNoItem = 246;
const int kLineCannotCreateNode = 284;

// The library's icon, and the string that titles the host's dialog for a new filter event.
const int kIconLibrary = 135;
const int kStringNewEvent = 107;
const int kTitleChars = 80;  // the title read from the event dialog: at most 79 characters

// The host's menu bar items greyed while a filter dialog is open: top-level item 0, and items 3
// and 4 of the second menu.
const UINT kGreyedTopItem = 0;
const int kGreyedSubMenu = 1;
const UINT kGreyedSubItems[] = {3, 4};

// One filter dialog at a time: what JPrepFilterDlg found and changed, for JDoFilterDlg and
// ShowControlProtected to restore. Touched on the user-interface thread only.
struct FilterDialogState {
  HWND eventDialog;     // the host's filter-event dialog
  HWND eventParent;     // its parent, hidden and guarded while the filter dialog is open
  WNDPROC formerProc;   // the parent's window procedure while the guard replaces it
  HWND filterDialog;    // the filter's settings dialog
  int mainWasDisabled;  // the host's main window was disabled before JPrepFilterDlg enabled it
  int newEvent;         // the event dialog was the host's dialog for a new event
};
FilterDialogState dlgState;

// The hidden parent of the host's event dialog: the host may try to show it again (its queue
// window comes back when something activates it); the filter dialog comes forward instead.
LRESULT CALLBACK GuardProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_WINDOWPOSCHANGING) {
    WINDOWPOS* pos = reinterpret_cast<WINDOWPOS*>(lParam);
    if (pos && (pos->flags & SWP_SHOWWINDOW)) {
      // Shown becomes hidden. A hidden window must not take the activation either (Wine would
      // still activate it after this change), so the filter dialog keeps it.
      pos->flags = ((pos->flags | SWP_HIDEWINDOW) ^ SWP_SHOWWINDOW) | SWP_NOACTIVATE;
      if (dlgState.filterDialog) {
        ShowWindow(dlgState.filterDialog, SW_RESTORE);
        SetActiveWindow(dlgState.filterDialog);
      }
    }
    return 0;
  }
  if (dlgState.formerProc) return CallWindowProcA(dlgState.formerProc, hwnd, msg, wParam, lParam);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The host's menu bar: the menu of the first frame that holds the menu (null when there is none).
HMENU HostMenuBar(HWND* frameWindow) {
  *frameWindow = nullptr;
  CUIFrameMgr* frames = GetCUIFrameMgr();
  if (!frames) return nullptr;
  for (int i = 0; i < frames->GetCount(); i++) {
    ICUIFrame* f = frames->GetICUIFrame(i);
    if (!f || f->GetContentType() != CUI_FRAME_MENU) continue;
    *frameWindow = f->GetHwnd();
    return *frameWindow ? GetMenu(*frameWindow) : nullptr;
  }
  return nullptr;
}

// Greys (MF_GRAYED) or enables (MF_ENABLED) the menu bar items a filter dialog blocks.
void EnableHostMenu(HMENU bar, HWND frameWindow, UINT how) {
  EnableMenuItem(bar, kGreyedTopItem, MF_BYPOSITION | how);
  DrawMenuBar(frameWindow);
  HMENU sub = GetSubMenu(bar, kGreyedSubMenu);
  if (!sub) return;
  for (UINT item : kGreyedSubItems) EnableMenuItem(sub, item, MF_BYPOSITION | how);
}

// The checks of Data() on item 0 of the node: the data tree, or null when the item is not a
// dummy controller holding a tree of the filter's data class. Faults inside count as invalid.
JData* StoredData(ITavrelNode* node, JClassDescBase* dataCD) {
  JData* found = nullptr;
  int ok = JGuardedCall(
      [node, dataCD, &found] {
        TVDummyControl* dummy = dynamic_cast<TVDummyControl*>(node->GetController(0));
        if (!dummy) return 0;
        JData* tree = dynamic_cast<JData*>(dummy->GetReference(0));
        if (!tree || !dataCD) return 0;
        JClassDescBase* treeCD = tree->GetCD();
        if (!treeCD || !(treeCD->ClassID() == dataCD->ClassID())) return 0;
        found = tree;
        return 1;
      },
      0);
  return ok ? found : nullptr;
}

}  // namespace

// ---- JFilterBase -----------------------------------------------------------------------------

JFilterBase::JFilterBase() : previewFlags(0), previewSource(0), reserved{0, 0} {}

JFilterBase::~JFilterBase() = default;

JData* JFilterBase::Data() {
  ITavrelNode* node = Node();
  if (node) {
    JData* tree = StoredData(node, GetDataCD());
    if (tree) return tree;
  }
  return FreshData(node);
}

JData* JFilterBase::FreshData(ITavrelNode* node) {
  if (node) {
    for (int i = node->NumItems() - 1; i >= 0; i--) node->RemoveItem(i);
  } else {
    node = CreateNode();
    if (!jassert(node != nullptr, "JFilterBase::Data: no track-editor node", kSource, kLineCannotCreateNode))
      return nullptr;
  }
  JData* d = CreateData();
  if (!d) return nullptr;
  BypassView(d, 1);
  JTavrelAttach(node, d);
  return d;
}

JData* JFilterBase::SetData(JData* d, int deleteOld) {
  JData* old = Data();
  if (old == d) return nullptr;
  ITavrelNode* node = Node();
  if (!jassert(node != nullptr, "JFilterBase::SetData: no track-editor node", kSource, kLineNoNode)) return nullptr;
  Control* dummy = node->GetController(0);
  if (!jassert(dummy != nullptr, "JFilterBase::SetData: the node has no item 0", kSource, kLineNoItem)) return nullptr;
  if (d) BypassView(d, 1);
  dummy->ReplaceReference(0, d, deleteOld);
  node->NotifyDependents(FOREVER, PART_ALL, REFMSG_SUBANIM_STRUCTURE_CHANGED, NOTIFY_ALL, TRUE, nullptr);
  return deleteOld ? nullptr : old;
}

int JFilterBase::ShowControlProtected(HWND parent) {
  JData* current = Data();
  JData* backup = current ? dynamic_cast<JData*>(current->Clone(NoRemap())) : nullptr;
  if (!DoShowControl(parent)) {
    SetData(backup, 1);
  } else if (backup) {
    backup->DeleteMe();
  }
  if (dlgState.eventDialog && IsWindow(dlgState.eventDialog)) PostMessageA(dlgState.eventDialog, WM_COMMAND, IDOK, 0);
  return 1;
}

BOOL JFilterBase::LoadConfigure(void* block) {
  if (!block) return TRUE;
  ReferenceMaker* loaded = LoadRefMaker(static_cast<char*>(block));
  if (!loaded) return TRUE;
  JData* tree = dynamic_cast<JData*>(loaded);
  if (tree) {
    SetData(tree, 1);
  } else {
    loaded->DeleteMe();  // not a data tree: the filter keeps its own
  }
  return TRUE;
}

BOOL JFilterBase::SaveConfigure(void*) { return TRUE; }

DWORD JFilterBase::EvaluateConfigure() { return 0; }

void JFilterBase::FilterUpdate() { Data(); }

BOOL JFilterBase::Render(HWND hWnd) { return DoRender(hWnd); }

// ---- The filter dialog -----------------------------------------------------------------------

int JNewFilterEvent() { return dlgState.newEvent; }

HWND JPrepFilterDlg(HWND eventDialog) {
  dlgState.eventDialog = eventDialog;
  dlgState.eventParent = eventDialog ? GetParent(eventDialog) : nullptr;
  HWND main = GetCOREInterface()->GetMainHWnd();

  char title[kTitleChars] = "";
  if (eventDialog) GetWindowTextA(eventDialog, title, kTitleChars);
  dlgState.newEvent = strcmp(title, GetResString(kStringNewEvent)) == 0 ? 1 : 0;

  SetActiveWindow(main);
  dlgState.mainWasDisabled = EnableWindow(main, TRUE) ? 1 : 0;

  if (eventDialog) ShowWindow(eventDialog, SW_HIDE);
  if (dlgState.eventParent) {
    ShowWindow(dlgState.eventParent, SW_HIDE);
    dlgState.formerProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(dlgState.eventParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GuardProc)));
  }
  return main;
}

int JDoFilterDlg(JOneModelessBase** dialog, JFilterBase*) {
  int result = 0;
  Interface* host = GetCOREInterface();
  HWND main = host->GetMainHWnd();
  HWND frameWindow = nullptr;
  HMENU bar = nullptr;
  if (dialog && *dialog) {
    dlgState.filterDialog = (*dialog)->GetHwnd();
    HMENU system = GetSystemMenu(dlgState.filterDialog, FALSE);
    EnableMenuItem(system, SC_SIZE, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(system, SC_MAXIMIZE, MF_BYCOMMAND | MF_GRAYED);
    bar = HostMenuBar(&frameWindow);
    if (bar) EnableHostMenu(bar, frameWindow, MF_GRAYED);
  }

  while (dialog && *dialog) {
    WaitMessage();
    if (!JPumpMessages()) result = 1;
  }

  if (IsWindow(main)) {
    if (dlgState.mainWasDisabled) EnableWindow(main, FALSE);
    if (bar && IsMenu(bar)) EnableHostMenu(bar, frameWindow, MF_ENABLED);
  }
  if (dlgState.eventParent && IsWindow(dlgState.eventParent)) {
    if (dlgState.formerProc)
      SetWindowLongPtrA(dlgState.eventParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(dlgState.formerProc));
    dlgState.formerProc = nullptr;
    ShowWindow(dlgState.eventParent, SW_RESTORE);
    if (dlgState.eventDialog && IsWindow(dlgState.eventDialog)) ShowWindow(dlgState.eventDialog, SW_RESTORE);
  }
  dlgState.filterDialog = nullptr;
  return result;
}

INT_PTR CALLBACK JFilterAboutDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      CenterWindow(hwnd, GetParent(hwnd));
      SetCursor(LoadCursor(nullptr, IDC_ARROW));
      HICON icon = LoadIconA(GetLibInstance(), MAKEINTRESOURCEA(kIconLibrary));
      SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
      SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
      JFilterBase* filter = reinterpret_cast<JFilterBase*>(lParam);
      return filter ? filter->InitAbout(hwnd) : TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) EndDialog(hwnd, 1);
      if (LOWORD(wParam) == IDCANCEL) EndDialog(hwnd, 0);
      return 1;
    default:
      return 0;
  }
}
