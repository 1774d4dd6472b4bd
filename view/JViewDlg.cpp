// Dialog object bases: the routing of a dialog's messages to its controls, the initialisation,
// command, colour and close sequences, title and icon, the modeless bases tied to the host's time
// and exit, tab pages, and the fault guard around every message.
#include "JClassDesc.h"
#include "JFault.h"
#include "JInternal.h"
#include "JViewCtl.h"
#include "JViewDlg.h"
#include "vcustctrl.h"
#include "vhold.h"

#include <stdio.h>

#include <algorithm>
#include <vector>

namespace {

const char kSource[] = "JVIEW";
const int kLibraryIcon = 135;
const int kRenameDialog = 114;  // " Rename": edit 1000, OK, Cancel

const unsigned int kNoTitleMenu = 0xFFFFFFFFu;
const int kDefaultTitleCommand = 99;  // the title-menu command a WM_COMMAND may carry
const int kTitleMenuString = 99;      // "Rename..."
const int kFaultString = 26;          // "Error 0x%08X detected. The dialog will be closed. ..."
const int kTitleBufferSize = 256;     // the rename dialog's buffer, terminator included

// The fault report flashes the dialog at this period while its message box is up.
const UINT_PTR kFlashTimerId = 0x4A46;
const UINT kFlashPeriodMs = 500;

// Keys of the dialog's extension table: the icon (a published key), and three states of the
// dialog's own that must not change the public layout: whether this dialog holds one level of
// the host's accelerator switch-off, whether its close sequence has started, and whether it is
// reporting a fault and about to be closed for it.
const Class_ID kIconKey(0x27e045c7, 0x350c383f);
const Class_ID kAcceleratorsOffKey(0x5d3a0c71, 0x1e6f2b94);
const Class_ID kClosingKey(0x6b19e2d4, 0x0c7a5f33);
const Class_ID kFaultedKey(0x3e8d51a6, 0x74c20b19);

// The dialog objects alive in the process, so that CreateDlg can tell whether an initialisation
// that failed has already deleted its dialog. User-interface thread only.
std::vector<JViewDlgBase*>& LiveDialogs() {
  static std::vector<JViewDlgBase*> live;
  return live;
}

bool IsLive(JViewDlgBase* d) {
  std::vector<JViewDlgBase*>& live = LiveDialogs();
  return std::find(live.begin(), live.end(), d) != live.end();
}

HICON LibraryIcon() { return LoadIconA(GetLibInstance(), MAKEINTRESOURCEA(kLibraryIcon)); }

int ExtFlag(JExtTable& ext, const Class_ID& key) {
  int v = 0;
  ext.FindExtProperty(key, &v);
  return v;
}

// The end of a gesture of a host control: accepted, the hold becomes an undo step with the
// dialog's label; cancelled, its changes are put back.
void EndHold(JViewDlgBase* d, unsigned int accept) {
  if (accept)
    theHold.Accept(d->ActionName());
  else
    theHold.Cancel();
}

// Every control shows its data at t.
void ShowAllAt(JViewDlgBase* d, int t) {
  for (int i = 0; i < d->NumControls(); i++)
    if (JViewCtl* c = d->GetControl(i)) c->UpdateView(t, nullptr);
}

VOID CALLBACK FlashTick(HWND hwnd, UINT, UINT_PTR, DWORD) { FlashWindow(hwnd, TRUE); }

// The access-fault report: a beep, and the message box with the dialog flashing behind it.
void ReportFault(HWND dialog, DWORD code) {
  char text[1024];
  snprintf(text, sizeof text, GetResString(kFaultString), (unsigned int)code);
  MessageBeep(MB_ICONHAND);
  UINT_PTR timer = SetTimer(dialog, kFlashTimerId, kFlashPeriodMs, FlashTick);
  JFaultPause pause;  // an enclosing dialog's guard stays out of the box's message loop
  MessageBoxA(dialog, text, nullptr, MB_ICONHAND);
  if (timer) KillTimer(dialog, kFlashTimerId);
}

// The rename dialog's procedure: edit 1000 over a buffer of kTitleBufferSize bytes.
const int kRenameEdit = 1000;

INT_PTR CALLBACK RenameDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
      CenterWindow(hwnd, GetParent(hwnd));
      SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // IDC_ARROW
      SetDlgItemTextA(hwnd, kRenameEdit, reinterpret_cast<const char*>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        char* buffer = reinterpret_cast<char*>(GetWindowLongPtrA(hwnd, DWLP_USER));
        GetDlgItemTextA(hwnd, kRenameEdit, buffer, kTitleBufferSize - 1);
        EndDialog(hwnd, 1);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, 0);
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

// The message routing and the sequences it runs; they reach into the dialog's fields. Where a
// step may have deleted the dialog (everything that can close it), nothing of it is touched after.
struct JViewDlgAccess {
  static INT_PTR Route(JViewDlgBase* d, UINT msg, WPARAM wParam, LPARAM lParam);
  static void Initialise(JViewDlgBase* d);
  static void CommandSequence(JViewDlgBase* d, int id, unsigned int code);
  static void ColourSequence(JViewDlgBase* d, int id, unsigned int final);
  static void CloseSequence(JViewDlgBase* d);
  static void CloseAfterFault(JViewDlgBase* d);
  static void DestroyControls(JViewDlgBase* d);
  static void RemoveControlOf(JViewDlgBase* d, int id);
  static void ShowIcon(JViewDlgBase* d);
};

// ---- JDlgProc --------------------------------------------------------------------------------

JDlgProc::JDlgProc() : hwnd(nullptr) {}
JDlgProc::~JDlgProc() {}

// ---- JViewDlgBase ----------------------------------------------------------------------------

JViewDlgBase::JViewDlgBase() : titleData(nullptr), titleMenuId(kNoTitleMenu), titleMenuText(nullptr) {
  AdjustDialogCount(-1);
  LiveDialogs().push_back(this);
}

// A dialog deleted without its close sequence (after a fault, or by a direct Destroy) still
// gives back the host's shortcuts it switched off.
JViewDlgBase::~JViewDlgBase() {
  if (ExtFlag(extensions, kAcceleratorsOffKey)) EnableAccelerators();
  std::vector<JViewDlgBase*>& live = LiveDialogs();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  AdjustDialogCount(1);
}

void JViewDlgBase::operator+=(JViewCtl* c) {
  if (!c) return;
  controls.Append(1, &c, 8);
  c->SetParent(this);
}

void JViewDlgBase::operator-=(JViewCtl* c) {
  for (int i = 0; i < controls.Count(); i++)
    if (controls[i] == c) {
      controls.Delete(i, 1);
      return;
    }
}

JViewCtl* JViewDlgBase::FindCtl(int id) {
  for (int i = 0; i < controls.Count(); i++)
    if (controls[i] && controls[i]->Own(id)) return controls[i];
  return nullptr;
}

int JViewDlgBase::UpdateData(int id, UINT msg, UINT_PTR param) {
  JViewCtl* c = FindCtl(id);
  if (!c) return 0;
  if (!c->IsFreezed()) c->UpdateData(GetTime(), id, msg, param);
  return 1;
}

int JViewDlgBase::UpdateBypassTree(int id) {
  for (int i = 0; i < controls.Count(); i++)
    if (controls[i] && controls[i]->IdBypass() == id) {
      controls[i]->UpdateBypassTreeData();
      return 1;
    }
  return 0;
}

// Window handles are 32-bit values in every process, so the icon fits the table's int.
void JViewDlgBase::SetIcon(HICON icon) { extensions.AddExtProperty(kIconKey, (int)(INT_PTR)icon); }

HICON JViewDlgBase::GetIcon() { return (HICON)(INT_PTR)ExtFlag(extensions, kIconKey); }

void JViewDlgBase::InitDlgTitleMenu() {
  HMENU menu = hwnd ? GetSystemMenu(hwnd, FALSE) : nullptr;
  if (!menu) return;
  if (titleMenuId != kNoTitleMenu) {
    const char* text = titleMenuText ? titleMenuText : GetResString(kTitleMenuString);
    InsertMenuA(menu, SC_CLOSE, MF_BYCOMMAND | MF_STRING, titleMenuId, text);
    InsertMenuA(menu, SC_CLOSE, MF_BYCOMMAND | MF_SEPARATOR, 0, nullptr);
    return;
  }
  // The system menu's own separator comes first, the title item right after it. Separators carry
  // the id 0 in system menus, so a separator is recognised by its type as well as by an id of -1.
  int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; i++) {
    if (GetMenuItemID(menu, i) != (UINT)-1 && !(GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR)) continue;
    DeleteMenu(menu, i, MF_BYPOSITION);
    DeleteMenu(menu, i, MF_BYPOSITION);
    return;
  }
}

INT_PTR JViewDlgBase::DlgProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  INT_PTR result = 0;
  if (JGuardedCall([&] { return (result = JViewDlgAccess::Route(this, msg, wParam, lParam)), 1; }, 0))
    return result;
  // A fault while the first one is reported (a message the report's loop dispatches faults
  // again) is that fault's consequence: the dialog closes once, after one report.
  if (!ExtFlag(extensions, kFaultedKey)) JViewDlgAccess::CloseAfterFault(this);
  return 1;
}

int JViewDlgBase::PreInit() { return 1; }

int JViewDlgBase::PostInit() {
  if (hwnd && !properties.Value(JProp_Wnd_NoCenter())) CenterWindow(hwnd, GetParent(hwnd));
  return 1;
}

int JViewDlgBase::Command(int, unsigned int) { return 0; }
int JViewDlgBase::Mouse(UINT, WPARAM, LPARAM) { return 0; }

void JViewDlgBase::SetDlgTitle(JBinaryData* data) {
  titleData = data;
  if (!data) return;
  Interval valid = FOREVER;
  data->GetValue(&title, 0, valid, CTRL_ABSOLUTE);
  jlib::EndWithNuls(title, 1);  // a title read from data may lack its terminator
  if (hwnd) SetWindowTextA(hwnd, GetDlgTitle());
}

void JViewDlgBase::SetDlgTitle(const char* text) {
  if (text)
    title.Copy(text, 0xFFFFFFFFu);
  else
    title.Free();
  if (hwnd) SetWindowTextA(hwnd, GetDlgTitle());
  if (titleData) {
    Interval valid = FOREVER;
    titleData->SetValue(&title, 0, valid, CTRL_ABSOLUTE);
  }
}

void JViewDlgBase::DlgTitleMenu(unsigned int id, const char* text) {
  if (id == titleMenuId) return;
  titleMenuId = id;
  titleMenuText = text;
  if (hwnd) InitDlgTitleMenu();
}

int JViewDlgBase::DlgTitleMessage() {
  char buffer[kTitleBufferSize];
  lstrcpynA(buffer, GetDlgTitle(), sizeof buffer);
  INT_PTR answer;
  {
    JFaultPause pause;  // the modal loop dispatches other windows' messages too
    answer = DialogBoxParamA(GetLibInstance(), MAKEINTRESOURCEA(kRenameDialog), hwnd, RenameDlgProc,
                             reinterpret_cast<LPARAM>(buffer));
  }
  if (answer != IDOK) return 0;
  SetDlgTitle(buffer);
  return 1;
}

void JViewDlgBase::RegisterCB(int) {}

// ---- The routing -----------------------------------------------------------------------------

INT_PTR JViewDlgAccess::Route(JViewDlgBase* d, UINT msg, WPARAM wParam, LPARAM lParam) {
  int id = LOWORD(wParam);
  unsigned int high = HIWORD(wParam);
  switch (msg) {
    case WM_INITDIALOG:
      Initialise(d);
      return 1;
    case WM_COMMAND:
      CommandSequence(d, id, high);
      return 1;
    case WM_SYSCOMMAND:
      if (d->titleMenuId != kNoTitleMenu && (unsigned int)wParam == d->titleMenuId) {
        d->DlgTitleMessage();
        return 1;
      }
      // The close item: the dialog hears of it as a Cancel, then the default processing closes it.
      if ((wParam & 0xFFF0) == SC_CLOSE) d->Command(IDCANCEL, 0);
      return 0;
    case WM_CLOSE:
      CloseSequence(d);
      return 1;
    case WM_DESTROY:
      // Destroyed from outside: the close sequence has not run yet (Destroy clears the handle).
      if (d->hwnd) SendMessageA(d->hwnd, WM_CLOSE, 0, 0);
      return 1;
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
      d->UpdateData((int)wParam, msg, (UINT_PTR)lParam);
      return 1;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      return d->Mouse(msg, wParam, lParam);
    case WM_PARENTNOTIFY:
      if (id == WM_DESTROY) RemoveControlOf(d, (int)high);
      return 1;
    case WM_GETICON: {
      // A dialog procedure's answer reaches the sender through the message result.
      HICON icon = LibraryIcon();
      SetWindowLongPtrA(d->hwnd, DWLP_MSGRESULT, (LONG_PTR)icon);
      return (INT_PTR)icon;
    }
    case WM_PAINT: {
      // Windows 3 drew minimised dialogs with their own icon; later versions draw it themselves.
      if ((GetVersion() & 0xF) > 3 || !IsIconic(d->hwnd)) return 0;
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(d->hwnd, &ps);
      DrawIcon(dc, 0, 0, LibraryIcon());
      EndPaint(d->hwnd, &ps);
      return 1;
    }
    case CC_SPINNER_CHANGE: {
      if (!theHold.Holding()) theHold.Begin();
      JViewCtl* c = d->FindCtl(id);
      if (c && !c->IsFreezed()) c->UpdateData(d->GetTime(), id, CC_SPINNER_CHANGE, high);
      return 1;
    }
    case CC_SPINNER_BUTTONDOWN:
    case CC_COLOR_BUTTONDOWN:
      theHold.Begin();
      return 1;
    case CC_SPINNER_BUTTONUP:
      EndHold(d, high);
      return 1;
    case CC_COLOR_CHANGE:
      ColourSequence(d, id, high);
      return 1;
    case CC_COLOR_BUTTONUP:
      if (theHold.Holding()) EndHold(d, high);
      return 1;
    case WM_CUSTEDIT_ENTER:
      theHold.Accept(d->ActionName());
      return 1;
  }
  return 0;
}

void JViewDlgAccess::ShowIcon(JViewDlgBase* d) {
  HICON icon = d->GetIcon();
  if ((INT_PTR)icon < 0) return;  // no icon wanted
  if (!icon) icon = LibraryIcon();
  SendMessageA(d->hwnd, WM_SETICON, ICON_SMALL, (LPARAM)icon);
  SendMessageA(d->hwnd, WM_SETICON, ICON_BIG, (LPARAM)icon);
}

void JViewDlgAccess::Initialise(JViewDlgBase* d) {
  // A dialog whose Destroy keeps the object may be opened again: its next close runs in full.
  d->extensions.AddExtProperty(kClosingKey, 0);
  d->extensions.AddExtProperty(kFaultedKey, 0);
  HWND w = d->hwnd;
  ShowIcon(d);
  if (d->titleMenuId != kNoTitleMenu) {
    if (d->GetDlgTitle()[0]) SetWindowTextA(w, d->GetDlgTitle());
    d->InitDlgTitleMenu();
  }
  d->RegisterCB(1);
  bool ready = false;
  if (d->PreInit()) {
    // Controls added while these are initialised (by another control's Init) are not counted:
    // they stay frozen and unrefreshed until their adder deals with them.
    int t = d->GetTime();
    int n = d->controls.Count();
    for (int i = 0; i < n; i++)
      if (JViewCtl* c = d->GetControl(i)) {
        c->InitBypassCtl();
        c->Init(t);
        // An Init that runs messages (a tab view opening its pages) may have closed the dialog:
        // a page's fault closes its parent.
        if (!IsLive(d)) return;
      }
    if (!d->properties.Value(JProp_Wnd_NoCenter())) CenterWindow(w, GetParent(w));
    JPumpMessages();
    if (!IsLive(d)) return;  // a close waiting in the queue (the host's exit) has run
    for (int i = 0; i < n; i++)
      if (JViewCtl* c = d->GetControl(i)) {
        c->SetFreeze(0);
        c->UpdateBypassTreeView();
        c->UpdateView(t, nullptr);
      }
    ready = d->PostInit() != 0;
  }
  if (!ready) SendMessageA(w, WM_COMMAND, IDCANCEL, 0);
}

void JViewDlgAccess::CommandSequence(JViewDlgBase* d, int id, unsigned int code) {
  if (id == kDefaultTitleCommand) {
    d->DlgTitleMessage();
    return;
  }
  if (d->Command(id, code)) return;
  // The host's shortcuts stay off while the dialog is used; one level per dialog, given back
  // when it closes, so that the host's count of switch-offs stays balanced.
  if (!ExtFlag(d->extensions, kAcceleratorsOffKey)) {
    DisableAccelerators();
    d->extensions.AddExtProperty(kAcceleratorsOffKey, 1);
  }
  if (id == IDOK || id == IDCANCEL) {
    SendMessageA(d->hwnd, WM_CLOSE, 0, 0);
    return;
  }
  if (d->UpdateBypassTree(id)) return;
  d->UpdateData(id, WM_COMMAND, code);
}

void JViewDlgAccess::ColourSequence(JViewDlgBase* d, int id, unsigned int final) {
  JViewCtl* c = d->FindCtl(id);
  if (!c) return;
  int t = d->GetTime();
  if (!final) {
    if (!c->IsFreezed()) c->UpdateData(t, id, CC_COLOR_CHANGE, 0);
    return;
  }
  if (c->Valid(t)) return;
  bool ownHold = !theHold.Holding();
  if (ownHold) theHold.Begin();
  if (!c->IsFreezed()) c->UpdateData(t, id, CC_COLOR_CHANGE, final);
  if (ownHold) theHold.Accept(d->ActionName());
}

void JViewDlgAccess::CloseSequence(JViewDlgBase* d) {
  // Messages processed while closing may ask for the close again.
  if (ExtFlag(d->extensions, kClosingKey)) return;
  d->extensions.AddExtProperty(kClosingKey, 1);
  d->RegisterCB(0);
  EnableWindow(d->hwnd, FALSE);
  DestroyControls(d);
  // The switch-off is given back after Destroy; the flag is dropped first so that the object's
  // destruction does not give it back as well.
  bool acceleratorsOff = ExtFlag(d->extensions, kAcceleratorsOffKey) != 0;
  d->extensions.AddExtProperty(kAcceleratorsOffKey, 0);
  d->Destroy();  // the dialog is gone from here on
  if (acceleratorsOff) EnableAccelerators();
}

// The close sequence stays open while the report is up: the report's message loop may run it
// (the host exits, the window is destroyed from outside), and a page must still close when its
// parent's teardown asks it to.
void JViewDlgAccess::CloseAfterFault(JViewDlgBase* d) {
  d->extensions.AddExtProperty(kFaultedKey, 1);
  ReportFault(d->hwnd, EXCEPTION_ACCESS_VIOLATION);
  if (!IsLive(d)) return;  // closed while its report was up
  JViewChildBase* page = dynamic_cast<JViewChildBase*>(d);
  JViewDlgBase* parent = page ? page->Parent() : nullptr;
  if (parent && IsLive(parent))
    parent->Destroy();
  else
    d->Destroy();
}

// Each control is destroyed in list order; one whose Destroy took it out of the list already is
// not taken out twice.
void JViewDlgAccess::DestroyControls(JViewDlgBase* d) {
  while (d->controls.Count() > 0) {
    JViewCtl* c = d->controls[0];
    if (c) c->Destroy();
    if (d->controls.Count() > 0 && d->controls[0] == c) d->controls.Delete(0, 1);
  }
}

void JViewDlgAccess::RemoveControlOf(JViewDlgBase* d, int id) {
  for (int i = 0; i < d->controls.Count(); i++)
    if (d->controls[i] && d->controls[i]->Own(id)) {
      d->controls.Delete(i, 1);
      return;
    }
}

// ---- JViewModelessBase -----------------------------------------------------------------------

JViewModelessBase::JViewModelessBase() : time(GetCOREInterface()->GetTime()), timeLock(0) {}

// A dialog deleted without its close sequence (a fault, or Destroy called directly) still gives
// up its callbacks and its controls here.
JViewModelessBase::~JViewModelessBase() {
  Interface* ip = GetCOREInterface();
  ip->UnRegisterTimeChangeCallback(this);
  ip->UnRegisterExitVANTORCallback(this);
  JViewDlgAccess::DestroyControls(this);
}

int JViewModelessBase::GetTime() { return time; }

void JViewModelessBase::SetTime(int t) {
  time = t;
  if (!timeLock) {
    ShowAllAt(this, t);
    return;
  }
  Interface* ip = GetCOREInterface();
  if (ip->GetTime() != t) ip->SetTime(t, TRUE);
}

int JViewModelessBase::GetTimeLock() { return timeLock; }
void JViewModelessBase::SetTimeLock(int lock) { timeLock = lock; }
void JViewModelessBase::SetPlayAnimation(int) {}
int JViewModelessBase::GetPlayAnimation() { return 0; }
void JViewModelessBase::NotifyProc(void*, NotifyInfo*) {}

void JViewModelessBase::TimeChanged(TimeValue t) {
  if (!timeLock) return;
  time = t;
  ShowAllAt(this, t);
}

BOOL JViewModelessBase::Exit(HWND) {
  if (hwnd) SendMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

void JViewModelessBase::RegisterCB(int on) {
  Interface* ip = GetCOREInterface();
  if (on) {
    timeLock = 1;
    time = ip->GetTime();
    ip->RegisterTimeChangeCallback(this);
    ip->RegisterExitVANTORCallback(this);
    return;
  }
  // The host finishes what the user is in the middle of (a typed number, a spinner drag), so
  // that it lands in the data while the controls still exist; then its pending messages run.
  ip->CommitPendingEdits();
  JPumpMessages();
  timeLock = 0;
  ip->UnRegisterTimeChangeCallback(this);
  ip->UnRegisterExitVANTORCallback(this);
}

// ---- JOneModelessBase ------------------------------------------------------------------------

JOneModelessBase* JOneModelessBase::CreateDlg(HWND parent, JOneModelessBase* dlg) {
  if (!dlg) return nullptr;
  Interface* ip = GetCOREInterface();
  if (!parent) parent = ip->GetMainHWnd();
  HWND w = CreateDialogParamA(dlg->GetInstanceHandle(), MAKEINTRESOURCEA((WORD)dlg->IdDlg()), parent, UniDlgProc,
                              reinterpret_cast<LPARAM>(dlg));
  // A cancelled initialisation has closed the window and deleted the dialog already.
  if (!IsLive(dlg)) return nullptr;
  if (!w || !dlg->GetHwnd()) {
    dlg->DeleteThis();
    return nullptr;
  }
  ip->RegisterDlgWnd(w);
  return dlg;
}

// Called without the close sequence (after a fault, or directly), the dialog destroys its controls
// first, as that sequence does, while its window and the children are whole: a tab view closes
// its pages itself then, instead of the window's destruction closing them behind its back and
// leaving the view with pages that are gone. After the close sequence the list is empty already.
void JOneModelessBase::Destroy() {
  extensions.AddExtProperty(kClosingKey, 1);  // nothing the controls' teardown brings closes it again
  JViewDlgAccess::DestroyControls(this);
  HWND w = hwnd;
  hwnd = nullptr;  // the WM_DESTROY that follows must not start the close sequence again
  if (w) {
    GetCOREInterface()->UnRegisterDlgWnd(w);
    DestroyWindow(w);
  }
  DeleteThis();
}

int JOneModelessBase::SwitchDlg(HWND, JDataBase* data, void* context) {
  if (!data) {
    assert1(__LINE__, kSource);
    return 0;
  }
  SwitchData(data, context);
  return 1;
}

// ---- JViewChildBase --------------------------------------------------------------------------

JViewChildBase::JViewChildBase() : parentDlg(nullptr) {}

int JViewChildBase::GetTime() { return parentDlg ? parentDlg->GetTime() : time; }

const char* JViewChildBase::ActionName() { return parentDlg ? parentDlg->ActionName() : ""; }

void JViewChildBase::RegisterCB(int on) {
  Interface* ip = GetCOREInterface();
  if (on) {
    timeLock = 1;
    time = ip->GetTime();
    ip->RegisterTimeChangeCallback(this);
    return;
  }
  timeLock = 0;
  ip->UnRegisterTimeChangeCallback(this);
}

// ---- Services --------------------------------------------------------------------------------

void JViewDlgSwitchUnsupported() { assert1(__LINE__, kSource); }
