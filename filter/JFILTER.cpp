// The filter base: the data tree in the filter's track-editor node, the cancel-protected settings
// dialog, and the module-wide state that keeps the host's event dialog hidden while it runs.
#include "JFilter.h"
#include "JFilterToolBar.h"

#include "JBinary.h"
#include "JDiag.h"
#include "JFault.h"
#include "JSaveLoad.h"
#include "JViewDlg.h"
#include "JProgressDlg.h"
#include "JWinProc.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <new>
#include <vector>

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

// Gives the guarded parent its own procedure back (when it is still a window).
void RemoveGuard() {
  if (dlgState.formerProc && dlgState.eventParent && IsWindow(dlgState.eventParent))
    SetWindowLongPtrA(dlgState.eventParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(dlgState.formerProc));
  dlgState.formerProc = nullptr;
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

// Whether tree is of the data class dataCD describes (false when either is missing).
bool OfDataClass(JData* tree, JClassDescBase* dataCD) {
  if (!tree || !dataCD) return false;
  JClassDescBase* treeCD = tree->GetCD();
  return treeCD && treeCD->ClassID() == dataCD->ClassID();
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
        if (!OfDataClass(tree, dataCD)) return 0;
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
  // A preparation that JDoFilterDlg did not follow (a client's dialog that failed to open) left
  // its guard in place. Another parent gets its own procedure back; the same parent keeps the
  // guard and the procedure it replaced (guarding it again would make the guard call itself).
  HWND parent = eventDialog ? GetParent(eventDialog) : nullptr;
  if (dlgState.formerProc && dlgState.eventParent != parent) RemoveGuard();
  dlgState.eventDialog = eventDialog;
  dlgState.eventParent = parent;
  HWND main = GetCOREInterface()->GetMainHWnd();

  char title[kTitleChars] = "";
  if (eventDialog) GetWindowTextA(eventDialog, title, kTitleChars);
  dlgState.newEvent = strcmp(title, GetResString(kStringNewEvent)) == 0 ? 1 : 0;

  SetActiveWindow(main);
  dlgState.mainWasDisabled = EnableWindow(main, TRUE) ? 1 : 0;

  if (eventDialog) ShowWindow(eventDialog, SW_HIDE);
  if (dlgState.eventParent) {
    ShowWindow(dlgState.eventParent, SW_HIDE);
    if (!dlgState.formerProc)
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
  RemoveGuard();
  if (dlgState.eventParent && IsWindow(dlgState.eventParent)) {
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

// ---- What the toolbar and the settings buttons share -------------------------------------------

namespace {

// The library's bitmaps of the toolbar (8 images) and of the time toolbar, and their image size.
const int kToolBarBitmap = 107;
const int kTimeBarBitmap = 105;
const int kToolBarImages = 8;
const int kButtonWidth = 16, kButtonHeight = 15;
const int kToolBarEntries = 12;  // buttons and separators
// Init moves the dialog up by half the band it adds at the top.
const int kDialogRise = JFilterToolBar::kBandHeight / 2;

// Strings of the library's string table.
const int kStringLoadTitle = 103;     // " Load Filter Settings"
const int kStringSaveTitle = 104;     // " Save Filter Settings"
const int kStringPreviewTitle = 105;  // "%s Preview"
const int kStringInProgress = 106;    // "%s in progress..."
const int kTitleSize = 256;

// Keys under which the toolbar keeps its bitmaps in its extension table, to delete them.
const Class_ID& ToolBarBitmapKey() {
  static const Class_ID id(0x3F1C6A20, 0x5B0E7D41);
  return id;
}
const Class_ID& TimeBarBitmapKey() {
  static const Class_ID id(0x3F1C6A21, 0x5B0E7D42);
  return id;
}

// Copies at most n bytes of the text src into dst of size bytes, never splitting a double-byte
// character; dst is always terminated.
void CopyText(char* dst, size_t size, const char* src, size_t n = (size_t)-1) {
  if (!size) return;
  size_t i = 0;
  while (src && i < n && src[i] && i + 1 < size) {
    if (IsDBCSLeadByte((BYTE)src[i])) {
      if (i + 1 >= n || !src[i + 1] || i + 2 >= size) break;
      dst[i] = src[i];
      dst[i + 1] = src[i + 1];
      i += 2;
    } else {
      dst[i] = src[i];
      i++;
    }
  }
  dst[i] = '\0';
}

// The string-table entry that is the tooltip of a toolbar command; 0 for other ids.
int TooltipString(int command) {
  static const int table[][2] = {{JFilterToolBar::kAccept, 1},     {JFilterToolBar::kCancel, 2},
                                 {JFilterToolBar::kReset, 3},      {JFilterToolBar::kLoad, 4},
                                 {JFilterToolBar::kSave, 5},       {JFilterToolBar::kSaveAs, 6},
                                 {JFilterToolBar::kPreview, 7},    {JFilterToolBar::kSetupPreview, 8},
                                 {JFilterToolBar::kPrevFrame, 20}, {JFilterToolBar::kPlay, 21},
                                 {JFilterToolBar::kStop, 22},      {JFilterToolBar::kNextFrame, 23},
                                 {JFilterToolBar::kUnlockTime, 25}, {JFilterToolBar::kLockTime, 24}};
  for (const auto& entry : table)
    if (entry[0] == command) return entry[1];
  return 0;
}

// Moves the dialog up by half a band and makes it a band taller, and every direct child a band
// down, so that the band at the top is free for the toolbar.
void GrowDialog(HWND dlg) {
  std::vector<HWND> children;
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  RECT r;
  GetWindowRect(dlg, &r);
  POINT at = {r.left, r.top};
  if ((GetWindowLongPtrA(dlg, GWL_STYLE) & WS_CHILD) && GetParent(dlg)) ScreenToClient(GetParent(dlg), &at);
  MoveWindow(dlg, at.x, at.y - kDialogRise, r.right - r.left, r.bottom - r.top + JFilterToolBar::kBandHeight, FALSE);
  for (HWND c : children) {
    RECT cr;
    GetWindowRect(c, &cr);
    POINT p = {cr.left, cr.top};
    ScreenToClient(dlg, &p);
    MoveWindow(c, p.x, p.y + JFilterToolBar::kBandHeight, cr.right - cr.left, cr.bottom - cr.top, FALSE);
  }
}

// Hides button hide and shows button show of a toolbar (nothing without one).
void SwapButtons(HWND bar, int hide, int show) {
  if (!bar) return;
  SendMessageA(bar, TB_HIDEBUTTON, hide, TRUE);
  SendMessageA(bar, TB_HIDEBUTTON, show, FALSE);
}

bool FileExists(const char* path) {
  if (!path || !path[0]) return false;
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  fclose(f);
  return true;
}

// The preview settings of a data object's properties, with their defaults when absent.
enum PreviewType { kTypeUpToFilter = 2, kTypeWholeQueue = 3 };
struct PreviewSettings {
  int width = 320;
  int height = 240;
  float aspect = 1.0f;
  int type = kTypeUpToFilter;
};

PreviewSettings ReadPreviewSettings(JDataBase* data) {
  PreviewSettings s;
  if (!data) return s;
  JPropertyList& p = data->Properties();
  if (p.Exist(JProp_FltDlg_PreviewWidth())) s.width = (int)p.Value(JProp_FltDlg_PreviewWidth());
  if (p.Exist(JProp_FltDlg_PreviewHeight())) s.height = (int)p.Value(JProp_FltDlg_PreviewHeight());
  if (p.Exist(JProp_FltDlg_PreviewAspect())) {
    const uint32_t bits = (uint32_t)p.Value(JProp_FltDlg_PreviewAspect());
    memcpy(&s.aspect, &bits, sizeof s.aspect);
  }
  if (p.Exist(JProp_FltDlg_PreviewType())) s.type = (int)p.Value(JProp_FltDlg_PreviewType());
  return s;
}

void WritePreviewSettings(JDataBase* data, const PreviewSettings& s) {
  if (!data) return;
  JPropertyList& p = data->Properties();
  uint32_t bits;
  memcpy(&bits, &s.aspect, sizeof bits);
  p.Add(JProp_FltDlg_PreviewWidth(), (unsigned long)s.width);
  p.Add(JProp_FltDlg_PreviewHeight(), (unsigned long)s.height);
  p.Add(JProp_FltDlg_PreviewAspect(), bits);
  p.Add(JProp_FltDlg_PreviewType(), (unsigned long)s.type);
}

// A data tree for filter read through the open file dialog with paths' name, filter and
// extension; null when cancelled, unreadable, or not a tree of the filter's data class (a file
// saved by another filter, say), which is deleted: only a tree Data() keeps may replace it.
JData* LoadedData(HWND owner, const char* title, JPathHolder* paths, JFilterBase* filter) {
  ReferenceMaker* loaded = LoadRefMaker(owner, title, paths->PathName(), paths->FileFilter(), paths->DefExt());
  JData* tree = dynamic_cast<JData*>(loaded);
  if (filter && OfDataClass(tree, filter->GetDataCD())) return tree;
  if (loaded) loaded->DeleteMe();
  return nullptr;
}

// fresh becomes the filter's data tree and the dialog's data; the previous tree is deleted.
void ExchangeData(JFilterBase* filter, JViewDlgBase* dlg, JData* fresh) {
  if (!fresh) return;
  if (!filter) {
    fresh->DeleteMe();
    return;
  }
  JData* old = filter->SetData(fresh, 0);
  if (dlg) dlg->SwitchData(fresh, nullptr);
  if (old) old->DeleteMe();
}

// The dialog's caption becomes "prefix - name", name being the path after its last backslash
// (nothing without a prefix).
void ShowFileInCaption(JViewDlgBase* dlg, const char* prefix, const char* path) {
  if (!dlg || !prefix || !prefix[0] || !path) return;
  const char* slash = strrchr(path, '\\');
  char caption[kTitleSize];
  snprintf(caption, sizeof caption, "%s - %s", prefix, slash ? slash + 1 : path);
  dlg->SetDlgTitle(caption);
}

}  // namespace

// ---- Paths shared by the settings controls ------------------------------------------------------

JPathHolder::JPathHolder(char* filter, char* ext) : fileFilter(filter), defExt(ext), parent(nullptr) {
  pathName[0] = '\0';
}

JPathHolder::JPathHolder(JPathHolder* p) : fileFilter(nullptr), defExt(nullptr), parent(p) { pathName[0] = '\0'; }

JPathHolder* JPathHolder::Root() {
  JPathHolder* h = this;
  while (h->parent) h = h->parent;
  return h;
}

char* JPathHolder::PathName() { return Root()->pathName; }
char* JPathHolder::FileFilter() { return Root()->fileFilter; }
char* JPathHolder::DefExt() { return Root()->defExt; }

JPathKeeper::JPathKeeper(char* filter, char* ext) : JPathHolder(filter, ext) { lastPath[0] = '\0'; }
JPathKeeper::JPathKeeper(JPathHolder* p) : JPathHolder(p) { lastPath[0] = '\0'; }

void JPathKeeper::SetLastPath(const char* path) {
  CopyText(lastPath, sizeof lastPath, path);
}

// ---- The toolbar ----------------------------------------------------------------------------------

JFilterToolBar::JFilterToolBar(JFilterBase* f, char* filter, char* ext, int opt)
    : JPathHolder(filter, ext), toolBar(nullptr), filter(f), updated(0), timeToolBar(nullptr), option(opt) {}

JFilterToolBar::JFilterToolBar(JFilterBase* f, JPathHolder* p, int opt)
    : JPathHolder(p), toolBar(nullptr), filter(f), updated(0), timeToolBar(nullptr), option(opt) {}

JFilterToolBar::~JFilterToolBar() {
  // The bitmaps outlive the toolbar window, which is destroyed with the dialog before this.
  for (const Class_ID& key : {ToolBarBitmapKey(), TimeBarBitmapKey()}) {
    int bitmap = 0;
    extensions.FindExtProperty(key, &bitmap);
    if (bitmap) DeleteObject((HBITMAP)(INT_PTR)bitmap);
  }
  if (updated) SetSaveRequiredFlag(TRUE);
}

JFilterToolBar* JFilterToolBar::Create(JData* data, JFilterBase* filter, char* fileFilter, char* defExt) {
  return Create(data, filter, fileFilter, defExt, 0);
}

JFilterToolBar* JFilterToolBar::Create(JData* data, JFilterBase* filter, JPathHolder* parent) {
  return Create(data, filter, parent, 0);
}

JFilterToolBar* JFilterToolBar::Create(JData* data, JFilterBase* filter, char* fileFilter, char* defExt, int option) {
  JFilterToolBar* b = new (std::nothrow) JFilterToolBar(filter, fileFilter, defExt, option);
  if (b) b->Setup(data, -1);
  return b;
}

JFilterToolBar* JFilterToolBar::Create(JData* data, JFilterBase* filter, JPathHolder* parent, int option) {
  JFilterToolBar* b = new (std::nothrow) JFilterToolBar(filter, parent, option);
  if (b) b->Setup(data, -1);
  return b;
}

void JFilterToolBar::DeleteThis() { delete this; }

int JFilterToolBar::Init(int) {
  HWND dlg = hwndParent();
  if (!dlg) return 1;
  GrowDialog(dlg);
  const BYTE previews = JNewFilterEvent() == 1 ? 0 : TBSTATE_ENABLED;
  TBBUTTON buttons[kToolBarEntries];
  int n = 0;
  auto sep = [&] { buttons[n++] = TBBUTTON{0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0}; };
  auto button = [&](int image, int command, BYTE state) {
    buttons[n++] = TBBUTTON{image, command, state, TBSTYLE_BUTTON, {}, 0, 0};
  };
  sep();
  button(0, kAccept, TBSTATE_ENABLED);
  button(1, kCancel, TBSTATE_ENABLED);
  sep();
  button(2, kReset, TBSTATE_ENABLED);
  button(3, kLoad, TBSTATE_ENABLED);
  sep();
  button(4, kSave, TBSTATE_ENABLED);
  button(5, kSaveAs, TBSTATE_ENABLED);
  sep();
  button(6, kPreview, previews);
  button(7, kSetupPreview, previews);

  HBITMAP images = JCreateMappedBitmap(GetLibInstance(), kToolBarBitmap);
  // Bitmap handles are GDI handles: 32 significant bits on every Windows, so an int holds them.
  extensions.AddExtProperty(ToolBarBitmapKey(), (int)(INT_PTR)images);
  extensions.AddExtProperty(TimeBarBitmapKey(), (int)(INT_PTR)JCreateMappedBitmap(GetLibInstance(), kTimeBarBitmap));
  toolBar = CreateToolbarEx(dlg, WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS, kToolBarId, kToolBarImages, nullptr,
                            (UINT_PTR)images, buttons, n, kButtonWidth, kButtonHeight, kButtonWidth, kButtonHeight,
                            sizeof(TBBUTTON));
  timeToolBar = nullptr;
  return 1;
}

int JFilterToolBar::Own(int id) {
  if (id < 1) return 0;
  for (HWND bar : {toolBar, timeToolBar})
    if (bar && (int)SendMessageA(bar, TB_COMMANDTOINDEX, id, 0) != -1) return 1;
  return 0;
}

void JFilterToolBar::UpdateView(int, ReferenceTarget*) { updated = 1; }

void JFilterToolBar::UpdateData(int t, int id, unsigned int msg, UINT_PTR param) {
  if (msg == WM_NOTIFY) {
    NMHDR* hdr = reinterpret_cast<NMHDR*>(param);
    if (!hdr || hdr->code != TTN_NEEDTEXTA) return;
    const int string = TooltipString((int)hdr->idFrom);
    if (!string) return;
    NMTTDISPINFOA* tip = reinterpret_cast<NMTTDISPINFOA*>(param);
    CopyText(tip->szText, sizeof tip->szText, GetResString(string));
    tip->lpszText = tip->szText;
    return;
  }
  if (msg != WM_COMMAND) return;
  JViewDlgBase* dlg = Parent();
  JData* data = dynamic_cast<JData*>(Data());
  switch (id) {
    case kReset: {
      JClassDescBase* cd = data ? data->GetCD() : nullptr;
      if (cd) ExchangeData(filter, dlg, JCreateRegistered<JData>(cd->SuperClassID(), cd->ClassID()));
      break;
    }
    case kLoad:
      ExchangeData(filter, dlg, LoadedData(hwndParent(), GetResString(kStringLoadTitle), this, filter));
      break;
    case kSave:
      if (data && FileExists(PathName())) {
        SaveRefMaker(data, PathName());
        break;
      }
      // No file yet: the user chooses one.
      [[fallthrough]];
    case kSaveAs:
      if (data) SaveRefMaker(data, hwndParent(), GetResString(kStringSaveTitle), PathName(), FileFilter(), DefExt());
      break;
    case kPreview:
    case kSetupPreview:
      Preview(id == kSetupPreview);
      break;
    case kPrevFrame:
      if (dlg && t > GetAnimStart()) dlg->SetTime(t - GetTicksPerFrame());
      break;
    case kNextFrame:
      if (dlg && t < GetAnimEnd()) dlg->SetTime(t + GetTicksPerFrame());
      break;
    case kPlay:
    case kStop:
      SwapButtons(timeToolBar, id, id == kPlay ? kStop : kPlay);
      if (dlg) dlg->SetPlayAnimation(id == kPlay ? 1 : 0);
      break;
    case kUnlockTime:
    case kLockTime:
      SwapButtons(timeToolBar, id, id == kUnlockTime ? kLockTime : kUnlockTime);
      if (dlg) dlg->SetTimeLock(id == kLockTime ? 1 : 0);
      break;
    default:
      break;
  }
}

void JFilterToolBar::Preview(int withSetup) {
  HWND dlg = hwndParent();
  JDataBase* data = Data();
  if (!filter || !data) return;
  if (withSetup && JFilterPreviewSetup(dlg, data) != IDOK) return;
  PreviewSettings s = ReadPreviewSettings(data);
  JProgressDlg progress;
  progress.Create(dlg);
  char title[kTitleSize];
  snprintf(title, sizeof title, GetResString(kStringInProgress), filter->Description());
  if (progress.GetHwnd()) SetWindowTextA(progress.GetHwnd(), title);
  Bitmap* image = nullptr;
  filter->SetPreviewSource(1);
  const BOOL ok = filter->CreatePreview(progress.GetHwnd(), &image, Parent() ? Parent()->GetTime() : 0, s.width,
                                        s.height, s.aspect, nullptr, (DWORD)s.type);
  filter->SetPreviewSource(0);
  const int cancelled = progress.IsCanceled();
  progress.Destroy();
  if (ok && image && !cancelled) {
    snprintf(title, sizeof title, GetResString(kStringPreviewTitle), filter->Description());
    image->Display(title, BMM_CENTER, FALSE, TRUE, nullptr, nullptr);
  }
  if (image) image->DeleteThis();  // the window shows a copy
}

// ---- The preview setup dialog --------------------------------------------------------------------

namespace {

// Control ids of the library's dialog 103.
enum SetupControl {
  kIdClose = 6,
  kIdSizeFirst = 1036,  // 1036 to 1041: the size buttons of kSizes
  kIdAspectEdit = 1103,
  kIdUpToFilter = 1132,
  kIdWholeQueue = 1133,
  kIdAspectLabel = 1137,
  kIdWidthEdit = 1303,
  kIdHeightEdit = 1304,
  kIdWidthSpin = 1403,
  kIdHeightSpin = 1404,
  kIdAspectSpin = 1405,
};
const int kSetupDialog = 103;
const int kSizes[][2] = {{120, 90}, {160, 120}, {240, 180}, {320, 240}, {640, 480}, {800, 600}};
const int kSizeCount = (int)(sizeof kSizes / sizeof kSizes[0]);
const int kMinSide = 1, kMaxSide = 4096;
const float kMinAspect = 0.01f, kMaxAspect = 100.0f, kAspectStep = 0.01f;

int SpinnerInt(HWND dlg, int id) {
  ISpinnerControl* s = GetISpinner(GetDlgItem(dlg, id));
  const int v = s ? s->GetIVal() : 0;
  ReleaseISpinner(s);
  return v;
}

float SpinnerFloat(HWND dlg, int id) {
  ISpinnerControl* s = GetISpinner(GetDlgItem(dlg, id));
  const float v = s ? s->GetFVal() : 0.0f;
  ReleaseISpinner(s);
  return v;
}

template <class T>
void SetSpinner(HWND dlg, int id, T value) {
  ISpinnerControl* s = GetISpinner(GetDlgItem(dlg, id));
  if (s) s->SetValue(value, FALSE);
  ReleaseISpinner(s);
}

// The image aspect ratio the settings make: width x pixel aspect / height.
void RefreshAspectLabel(HWND dlg) {
  const int height = SpinnerInt(dlg, kIdHeightSpin);
  char text[kTitleSize] = "";
  if (height > 0)
    snprintf(text, sizeof text, "%.4g", (double)SpinnerInt(dlg, kIdWidthSpin) * SpinnerFloat(dlg, kIdAspectSpin) / height);
  SetDlgItemTextA(dlg, kIdAspectLabel, text);
}

INT_PTR CALLBACK PreviewSetupProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dlg, DWLP_USER, lParam);
      CenterWindow(dlg, GetParent(dlg));
      const PreviewSettings s = ReadPreviewSettings(reinterpret_cast<JDataBase*>(lParam));
      ReleaseISpinner(SetupIntSpinner(dlg, kIdWidthSpin, kIdWidthEdit, kMinSide, kMaxSide, s.width));
      ReleaseISpinner(SetupIntSpinner(dlg, kIdHeightSpin, kIdHeightEdit, kMinSide, kMaxSide, s.height));
      ReleaseISpinner(
          SetupFloatSpinner(dlg, kIdAspectSpin, kIdAspectEdit, kMinAspect, kMaxAspect, s.aspect, kAspectStep));
      CheckRadioButton(dlg, kIdUpToFilter, kIdWholeQueue, s.type == kTypeUpToFilter ? kIdUpToFilter : kIdWholeQueue);
      RefreshAspectLabel(dlg);
      return TRUE;
    }
    case CC_SPINNER_CHANGE:
    case WM_CUSTEDIT_ENTER:
      RefreshAspectLabel(dlg);
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id >= kIdSizeFirst && id < kIdSizeFirst + kSizeCount) {
        SetSpinner(dlg, kIdWidthSpin, kSizes[id - kIdSizeFirst][0]);
        SetSpinner(dlg, kIdHeightSpin, kSizes[id - kIdSizeFirst][1]);
        SetSpinner(dlg, kIdAspectSpin, 1.0f);
        RefreshAspectLabel(dlg);
        return TRUE;
      }
      if (id == IDOK || id == kIdClose) {
        PreviewSettings s;
        s.width = SpinnerInt(dlg, kIdWidthSpin);
        s.height = SpinnerInt(dlg, kIdHeightSpin);
        s.aspect = SpinnerFloat(dlg, kIdAspectSpin);
        s.type = IsDlgButtonChecked(dlg, kIdUpToFilter) == BST_CHECKED ? kTypeUpToFilter : kTypeWholeQueue;
        WritePreviewSettings(reinterpret_cast<JDataBase*>(GetWindowLongPtrA(dlg, DWLP_USER)), s);
      }
      if (id == IDOK || id == kIdClose || id == IDCANCEL) EndDialog(dlg, id);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR JFilterPreviewSetup(HWND parent, JDataBase* data) {
  return DialogBoxParamA(GetLibInstance(), MAKEINTRESOURCEA(kSetupDialog), parent, PreviewSetupProc, (LPARAM)data);
}

// ---- Settings buttons ----------------------------------------------------------------------------

namespace {

// Assertion lines of the settings buttons: the two creation paths of each kind.
const int kLineSaveButton = 604, kLineSaveButtonParent = 614;
const int kLineSaveButton2 = 711, kLineSaveButton2Parent = 728;
const int kLineLoadButton = 843, kLineLoadButtonParent = 859;
const int kLineLoadButton2 = 986, kLineLoadButton2Parent = 1003;

// A button made by new(nothrow), reported at line when memory was short.
template <class B>
B* Made(B* b, const char* what, int line) {
  jassert(b != nullptr, what, kSource, line);
  return b;
}

// The common tail of every button's creation: binding, handler, title (or the library's default)
// and caption prefix.
template <class B>
B* Finish(B* b, JData* data, int idCtl, JButton::Callback handler, void* user, const char* title, int defaultTitle,
          const char* prefix) {
  if (!b) return nullptr;
  b->Setup(data, idCtl, handler, user);
  b->Titles(title ? title : GetResString(defaultTitle), prefix);
  return b;
}

JData* ButtonData(JButton* button) { return dynamic_cast<JData*>(button->GetData(0)); }

// The folder text held by a folder data object at time 0 ("" when none).
void ReadFolder(JData* folder, JPathKeeper& keeper) {
  if (!folder) return;
  JMemBlock text;
  Interval valid = FOREVER;
  folder->GetValue(&text, 0, valid, CTRL_ABSOLUTE);
  char buffer[MAX_PATH] = "";
  if (text.Data()) CopyText(buffer, sizeof buffer, text.Data(), text.Size());
  keeper.SetLastPath(buffer);
}

// After a file was chosen: the last folder is its path up to the last backslash, written into
// the folder data object too when there is one.
void RememberFolder(JPathKeeper& keeper, JData* folder) {
  char buffer[MAX_PATH];
  CopyText(buffer, sizeof buffer, keeper.PathName());
  char* cut = strrchr(buffer, '\\');
  if (cut)
    *cut = '\0';
  else
    buffer[0] = '\0';
  keeper.SetLastPath(buffer);
  if (!folder) return;
  JMemBlock text(keeper.GetLastPath(), JMemBlock::kText);
  Interval valid = FOREVER;
  folder->SetValue(&text, 0, valid, CTRL_ABSOLUTE);
}

}  // namespace

// Every settings button keeps its dialog title and caption prefix the same way.
#define JFILTER_BUTTON_TITLES(Class)                                    \
  void Class::DeleteThis() {                                            \
    title.Free();                                                       \
    prefix.Free();                                                      \
    JButton::DeleteThis();                                              \
  }                                                                     \
  void Class::Titles(const char* t, const char* p) {                    \
    title.Copy(t, JMemBlock::kText);                                    \
    if (p) prefix.Copy(p, JMemBlock::kText);                            \
  }
JFILTER_BUTTON_TITLES(JFilterSaveButton)
JFILTER_BUTTON_TITLES(JFilterLoadButton)
JFILTER_BUTTON_TITLES(JFilterSaveButton2)
JFILTER_BUTTON_TITLES(JFilterLoadButton2)
#undef JFILTER_BUTTON_TITLES

JFilterSaveButton* JFilterSaveButton::Create(JData* data, int idCtl, char* fileFilter, char* defExt, char* title) {
  return Create(nullptr, data, idCtl, fileFilter, defExt, title);
}
JFilterSaveButton* JFilterSaveButton::Create(JData* data, int idCtl, JPathHolder* parent, char* title) {
  return Create(nullptr, data, idCtl, parent, title);
}
JFilterSaveButton* JFilterSaveButton::Create(const char* prefix, JData* data, int idCtl, char* fileFilter,
                                             char* defExt, char* title) {
  JFilterSaveButton* b = Made(new (std::nothrow) JFilterSaveButton(fileFilter, defExt),
                              "JFilterSaveButton: no memory", kLineSaveButton);
  return Finish(b, data, idCtl, Handler, nullptr, title, kStringSaveTitle, prefix);
}
JFilterSaveButton* JFilterSaveButton::Create(const char* prefix, JData* data, int idCtl, JPathHolder* parent,
                                             char* title) {
  JFilterSaveButton* b =
      Made(new (std::nothrow) JFilterSaveButton(parent), "JFilterSaveButton: no memory", kLineSaveButtonParent);
  return Finish(b, data, idCtl, Handler, nullptr, title, kStringSaveTitle, prefix);
}

void JFilterSaveButton::Handler(JButton* button, void*, int, int, unsigned int msg, UINT_PTR) {
  if (msg != WM_COMMAND) return;
  JFilterSaveButton* self = static_cast<JFilterSaveButton*>(button);
  JData* data = ButtonData(button);
  if (!data || !SaveRefMaker(data, button->hwndParent(), self->title.Data(), self->PathName(), self->FileFilter(),
                             self->DefExt()))
    return;
  ShowFileInCaption(button->Parent(), self->prefix.Data(), self->PathName());
}

JFilterSaveButton2* JFilterSaveButton2::Create(JData* data, int idCtl, char* fileFilter, char* defExt, char* title,
                                               JData* folder) {
  return Create(nullptr, data, idCtl, fileFilter, defExt, title, folder);
}
JFilterSaveButton2* JFilterSaveButton2::Create(JData* data, int idCtl, JPathKeeper* parent, char* title,
                                               JData* folder) {
  return Create(nullptr, data, idCtl, parent, title, folder);
}
JFilterSaveButton2* JFilterSaveButton2::Create(const char* prefix, JData* data, int idCtl, char* fileFilter,
                                               char* defExt, char* title, JData* folder) {
  JFilterSaveButton2* b = Made(new (std::nothrow) JFilterSaveButton2(fileFilter, defExt),
                               "JFilterSaveButton2: no memory", kLineSaveButton2);
  if (b) ReadFolder(folder, *b);
  return Finish(b, data, idCtl, Handler, folder, title, kStringSaveTitle, prefix);
}
JFilterSaveButton2* JFilterSaveButton2::Create(const char* prefix, JData* data, int idCtl, JPathKeeper* parent,
                                               char* title, JData* folder) {
  JFilterSaveButton2* b =
      Made(new (std::nothrow) JFilterSaveButton2(parent), "JFilterSaveButton2: no memory", kLineSaveButton2Parent);
  if (b) ReadFolder(folder, *b);
  return Finish(b, data, idCtl, Handler, folder, title, kStringSaveTitle, prefix);
}

void JFilterSaveButton2::SetupPath() {
  snprintf(PathName(), MAX_PATH, "%s\\*.%s", GetLastPath(), DefExt() ? DefExt() : "");
}

void JFilterSaveButton2::Handler(JButton* button, void* folder, int, int, unsigned int msg, UINT_PTR) {
  if (msg != WM_COMMAND) return;
  JFilterSaveButton2* self = static_cast<JFilterSaveButton2*>(button);
  JData* data = ButtonData(button);
  if (!data || !SaveRefMaker(data, button->hwndParent(), self->title.Data(), self->PathName(), self->FileFilter(),
                             self->DefExt()))
    return;
  RememberFolder(*self, static_cast<JData*>(folder));
  ShowFileInCaption(button->Parent(), self->prefix.Data(), self->PathName());
}

JFilterLoadButton* JFilterLoadButton::Create(JData* data, JFilterBase* filter, int idCtl, char* fileFilter,
                                             char* defExt, char* title) {
  return Create(nullptr, data, filter, idCtl, fileFilter, defExt, title);
}
JFilterLoadButton* JFilterLoadButton::Create(JData* data, JFilterBase* filter, int idCtl, JPathHolder* parent,
                                             char* title) {
  return Create(nullptr, data, filter, idCtl, parent, title);
}
JFilterLoadButton* JFilterLoadButton::Create(const char* prefix, JData* data, JFilterBase* filter, int idCtl,
                                             char* fileFilter, char* defExt, char* title) {
  JFilterLoadButton* b = Made(new (std::nothrow) JFilterLoadButton(fileFilter, defExt),
                              "JFilterLoadButton: no memory", kLineLoadButton);
  return Finish(b, data, idCtl, Handler, filter, title, kStringLoadTitle, prefix);
}
JFilterLoadButton* JFilterLoadButton::Create(const char* prefix, JData* data, JFilterBase* filter, int idCtl,
                                             JPathHolder* parent, char* title) {
  JFilterLoadButton* b =
      Made(new (std::nothrow) JFilterLoadButton(parent), "JFilterLoadButton: no memory", kLineLoadButtonParent);
  return Finish(b, data, idCtl, Handler, filter, title, kStringLoadTitle, prefix);
}

void JFilterLoadButton::Handler(JButton* button, void* filter, int, int, unsigned int msg, UINT_PTR) {
  if (msg != WM_COMMAND) return;
  JFilterLoadButton* self = static_cast<JFilterLoadButton*>(button);
  JFilterBase* owner = static_cast<JFilterBase*>(filter);
  JData* fresh = LoadedData(button->hwndParent(), self->title.Data(), self, owner);
  if (!fresh) return;
  ShowFileInCaption(button->Parent(), self->prefix.Data(), self->PathName());
  ExchangeData(owner, button->Parent(), fresh);
}

JFilterLoadButton2* JFilterLoadButton2::Create(JData* data, JFilterBase* filter, int idCtl, char* fileFilter,
                                               char* defExt, char* title, JData* folder) {
  return Create(nullptr, data, filter, idCtl, fileFilter, defExt, title, folder);
}
JFilterLoadButton2* JFilterLoadButton2::Create(JData* data, JFilterBase* filter, int idCtl, JPathKeeper* parent,
                                               char* title, JData* folder) {
  return Create(nullptr, data, filter, idCtl, parent, title, folder);
}
JFilterLoadButton2* JFilterLoadButton2::Create(const char* prefix, JData* data, JFilterBase* filter, int idCtl,
                                               char* fileFilter, char* defExt, char* title, JData* folder) {
  JFilterLoadButton2* b = Made(new (std::nothrow) JFilterLoadButton2(fileFilter, defExt),
                               "JFilterLoadButton2: no memory", kLineLoadButton2);
  if (b) {
    b->folder = folder;
    ReadFolder(folder, *b);
  }
  return Finish(b, data, idCtl, Handler, filter, title, kStringLoadTitle, prefix);
}
JFilterLoadButton2* JFilterLoadButton2::Create(const char* prefix, JData* data, JFilterBase* filter, int idCtl,
                                               JPathKeeper* parent, char* title, JData* folder) {
  JFilterLoadButton2* b =
      Made(new (std::nothrow) JFilterLoadButton2(parent), "JFilterLoadButton2: no memory", kLineLoadButton2Parent);
  if (b) {
    b->folder = folder;
    ReadFolder(folder, *b);
  }
  return Finish(b, data, idCtl, Handler, filter, title, kStringLoadTitle, prefix);
}

void JFilterLoadButton2::Handler(JButton* button, void* filter, int, int, unsigned int msg, UINT_PTR) {
  if (msg != WM_COMMAND) return;
  JFilterLoadButton2* self = static_cast<JFilterLoadButton2*>(button);
  JFilterBase* owner = static_cast<JFilterBase*>(filter);
  JData* fresh = LoadedData(button->hwndParent(), self->title.Data(), self, owner);
  if (!fresh) return;
  RememberFolder(*self, self->folder);
  ShowFileInCaption(button->Parent(), self->prefix.Data(), self->PathName());
  ExchangeData(owner, button->Parent(), fresh);
}
